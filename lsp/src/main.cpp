#include "server.hpp"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--format") == 0) {
    std::puts("vesk-lsp " VESK_VERSION " (formatter not built yet)");
    return 0;
  }
  return vesk_lsp::server::run_stdio();
}
