#pragma once
// Runs a program with pipes on its standard streams, for end-to-end tests.

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace vesk_test {

struct ProcessResult {
  std::string out;
  std::string err;
  int status = -1;         // exit status, or 128 + signal number
  bool timed_out = false;  // killed after the timeout
};

struct ProcessOptions {
  std::chrono::milliseconds timeout{10000};
  bool close_stdout = false;  // the child's stdout is a pipe nobody reads
};

// Spawns args[0] (a path) with args, writes `input` to its stdin and closes
// it, reads stdout and stderr concurrently until both end, and waits for it.
ProcessResult run_process(const std::vector<std::string>& args, std::string_view input,
                          const ProcessOptions& options = {});

}  // namespace vesk_test
