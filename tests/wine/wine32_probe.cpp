// The trivial 32-bit Windows program by which the x86 tests find out whether
// this host runs Wine's 32-bit side at all.
#include <cstdio>

int main() {
  std::puts("wine32 ok");
  return 42;
}
