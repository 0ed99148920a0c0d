// peak-rss FILE PROGRAM ARGS...: runs PROGRAM on the inherited standard
// streams, writes its peak resident set size in KiB to FILE and exits with its
// status (128 + signal number when it was killed).
//
// The kernel carries the resident size of the process image an exec replaces
// into the new program's peak; a child spawned straight from a large test
// process would report the test's memory. This small process forks first, so
// the program starts from its own small image.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: peak-rss FILE PROGRAM ARGS...\n");
    return 2;
  }
  const pid_t pid = ::fork();
  if (pid < 0) return 2;
  if (pid == 0) {
    ::execv(argv[2], argv + 2);
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  while (::wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) return 2;
  }
  std::FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr) return 2;
  std::fprintf(out, "%ld\n", usage.ru_maxrss);
  std::fclose(out);
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
