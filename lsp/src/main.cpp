// vesk-lsp: `--format` as the first argument formats stdin to stdout; any
// other invocation serves the Language Server Protocol on stdin/stdout.

#include "format_mode.hpp"
#include "server.hpp"

#include <unistd.h>

#include <csignal>
#include <cstring>

int main(int argc, char** argv) {
  // A closed pipe must turn into a failed write, not a signal.
  std::signal(SIGPIPE, SIG_IGN);
  if (argc >= 2 && std::strcmp(argv[1], "--format") == 0) {
    return vesk_lsp::format_mode::run(STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO);
  }
  return vesk_lsp::server::run_stdio();
}
