#include <cstdio>

int main(int, char**) {
  std::puts("vesk-lsp " VESK_VERSION " (formatter not built yet)");
  return 0;
}
