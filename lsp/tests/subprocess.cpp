#include "subprocess.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

extern char** environ;

namespace vesk_test {

namespace {

struct Pipe {
  int read = -1;
  int write = -1;
  Pipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
    read = fds[0];
    write = fds[1];
  }
};

void close_fd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

ProcessResult run_process(const std::vector<std::string>& args, std::string_view input,
                          const ProcessOptions& options) {
  // Writing to a child that closed its stdin must not kill the test.
  ::signal(SIGPIPE, SIG_IGN);
  Pipe in, out, err;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in.read, STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out.write, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err.write, STDERR_FILENO);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close_fd(in.read);
  close_fd(out.write);
  close_fd(err.write);
  ProcessResult result;
  if (spawned != 0) {
    close_fd(in.write);
    close_fd(out.read);
    close_fd(err.read);
    result.err = "posix_spawn failed";
    return result;
  }
  if (options.close_stdout) close_fd(out.read);
  ::fcntl(in.write, F_SETFL, O_NONBLOCK);
  if (input.empty()) close_fd(in.write);

  const auto deadline = std::chrono::steady_clock::now() + options.timeout;
  char buf[65536];
  while (in.write >= 0 || out.read >= 0 || err.read >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      ::kill(pid, SIGKILL);
      result.timed_out = true;
      break;
    }
    pollfd fds[3];
    int count = 0;
    if (in.write >= 0) fds[count++] = {in.write, POLLOUT, 0};
    if (out.read >= 0) fds[count++] = {out.read, POLLIN, 0};
    if (err.read >= 0) fds[count++] = {err.read, POLLIN, 0};
    const int ready = ::poll(fds, static_cast<nfds_t>(count), static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR) break;
    for (int k = 0; k < count && ready > 0; ++k) {
      if (fds[k].revents == 0) continue;
      const int fd = fds[k].fd;
      if (fd == in.write) {
        const ssize_t n = ::write(fd, input.data(), input.size());
        if (n > 0) input.remove_prefix(static_cast<std::size_t>(n));
        if ((n < 0 && errno != EAGAIN && errno != EINTR) || input.empty()) close_fd(in.write);
      } else {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
          (fd == out.read ? result.out : result.err).append(buf, static_cast<std::size_t>(n));
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
          close_fd(fd == out.read ? out.read : err.read);
        }
      }
    }
  }
  close_fd(in.write);
  close_fd(out.read);
  close_fd(err.read);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) {
    result.status = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.status = 128 + WTERMSIG(status);
  }
  return result;
}

}  // namespace vesk_test
