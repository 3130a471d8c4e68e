// The process-start floor: a Windows executable that does nothing.
int main() {
  return 0;
}
