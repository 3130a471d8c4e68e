// The trivial Windows program by which the x86 and ARM64 tests find out
// whether this host runs that side of Wine at all.
#include <cstdio>

int main() {
  std::puts("wine ok");
  return 42;
}
