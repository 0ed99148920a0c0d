#pragma once
// Child processes with pipes on their standard streams, for end-to-end tests
// and benchmarks.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk_testing {

// A running program whose standard input and output, and standard error
// unless inherited, are pipes held here. The descriptors are blocking and
// close on exec. Destroying a child that was not waited for kills it.
class Child {
 public:
  enum class Stderr { Pipe, Inherit };

  // Starts args[0] (a path) with `args`; throws std::runtime_error when it cannot.
  explicit Child(const std::vector<std::string>& args, Stderr err = Stderr::Pipe);
  ~Child();
  Child(Child&& other) noexcept;
  Child& operator=(Child&&) = delete;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return pid_; }
  // The parent's ends: the child's stdin, stdout and stderr; -1 once closed.
  int in() const { return in_; }
  int out() const { return out_; }
  int err() const { return err_; }
  void close_in();
  void close_out();
  void close_err();

  // Writes all of `bytes` to the child's stdin; false once it is closed or
  // the child stops reading (SIGPIPE must be ignored).
  bool write(std::string_view bytes);

  // The exit status, or 128 + the signal number: waits for the end.
  int wait();
  // The same without waiting; nullopt while it runs.
  std::optional<int> try_wait();
  void kill();

 private:
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  int err_ = -1;
  std::optional<int> status_;
};

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

}  // namespace vesk_testing
