#include <cstdio>

int main() {
  std::puts("Vimbo: the desktop window is not built yet.");
  return 0;
}
