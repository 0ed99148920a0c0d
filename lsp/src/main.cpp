// vesk-lsp: `--format` as the first argument formats stdin to stdout; any
// other invocation serves the Language Server Protocol on stdin/stdout.

#include "format_mode.hpp"

#include <unistd.h>

#include <csignal>
#include <cstring>
#include <string_view>

namespace {

// Server mode is not built yet.
int run_server_mode() {
  constexpr std::string_view usage = "usage: vesk-lsp --format < input.vesk > output.vesk\n";
  (void)!::write(STDERR_FILENO, usage.data(), usage.size());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // A closed pipe must turn into a failed write, not a signal.
  std::signal(SIGPIPE, SIG_IGN);
  if (argc >= 2 && std::strcmp(argv[1], "--format") == 0) {
    return vesk_lsp::format_mode::run(STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO);
  }
  return run_server_mode();
}
