#include "vesk/testing/process.hpp"

#include "fd_io.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>

extern char** environ;

namespace vesk_testing {

namespace {

void close_fd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// Both ends close on exec: the child gets its own end through dup2 alone.
struct Pipe {
  int read = -1;
  int write = -1;
  Pipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error(std::string("pipe2: ") + std::strerror(errno));
    read = fds[0];
    write = fds[1];
  }
  ~Pipe() {
    close_fd(read);
    close_fd(write);
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
};

int decode(int raw) { return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw); }

}  // namespace

Child::Child(const std::vector<std::string>& args, Stderr err) {
  if (args.empty()) throw std::invalid_argument("no program to start");
  Pipe in, out;
  std::optional<Pipe> error;
  if (err == Stderr::Pipe) error.emplace();

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in.read, STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out.write, STDOUT_FILENO);
  if (error) posix_spawn_file_actions_adddup2(&actions, error->write, STDERR_FILENO);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const int spawned = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(spawned));
  in_ = std::exchange(in.write, -1);
  out_ = std::exchange(out.read, -1);
  if (error) err_ = std::exchange(error->read, -1);
}

Child::Child(Child&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      in_(std::exchange(other.in_, -1)),
      out_(std::exchange(other.out_, -1)),
      err_(std::exchange(other.err_, -1)),
      status_(std::exchange(other.status_, std::nullopt)) {}

Child::~Child() {
  close_in();
  close_out();
  close_err();
  if (pid_ > 0 && !status_) {
    kill();
    wait();
  }
}

void Child::close_in() { close_fd(in_); }
void Child::close_out() { close_fd(out_); }
void Child::close_err() { close_fd(err_); }

bool Child::write(std::string_view bytes) { return in_ >= 0 && vesk_lsp::fd_io::write_all(in_, bytes); }

int Child::wait() {
  if (status_) return *status_;
  if (pid_ <= 0) return -1;
  int raw = 0;
  while (::waitpid(pid_, &raw, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  status_ = decode(raw);
  return *status_;
}

std::optional<int> Child::try_wait() {
  if (status_ || pid_ <= 0) return status_;
  int raw = 0;
  if (::waitpid(pid_, &raw, WNOHANG) == pid_) status_ = decode(raw);
  return status_;
}

void Child::kill() {
  if (pid_ > 0 && !status_) ::kill(pid_, SIGKILL);
}

ProcessResult run_process(const std::vector<std::string>& args, std::string_view input, const ProcessOptions& options) {
  // Writing to a child that closed its stdin must not kill the test.
  ::signal(SIGPIPE, SIG_IGN);
  ProcessResult result;
  std::optional<Child> started;
  try {
    started.emplace(args);
  } catch (const std::exception&) {
    result.err = "posix_spawn failed";
    return result;
  }
  Child& child = *started;
  if (options.close_stdout) child.close_out();
  ::fcntl(child.in(), F_SETFL, O_NONBLOCK);
  if (input.empty()) child.close_in();

  const auto deadline = std::chrono::steady_clock::now() + options.timeout;
  char buf[65536];
  while (child.in() >= 0 || child.out() >= 0 || child.err() >= 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      child.kill();
      result.timed_out = true;
      break;
    }
    pollfd fds[3];
    int count = 0;
    if (child.in() >= 0) fds[count++] = {child.in(), POLLOUT, 0};
    if (child.out() >= 0) fds[count++] = {child.out(), POLLIN, 0};
    if (child.err() >= 0) fds[count++] = {child.err(), POLLIN, 0};
    const int ready = ::poll(fds, static_cast<nfds_t>(count), static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR) break;
    for (int k = 0; k < count && ready > 0; ++k) {
      if (fds[k].revents == 0) continue;
      const int fd = fds[k].fd;
      if (fd == child.in()) {
        const ssize_t n = ::write(fd, input.data(), input.size());
        if (n > 0) input.remove_prefix(static_cast<std::size_t>(n));
        if ((n < 0 && errno != EAGAIN && errno != EINTR) || input.empty()) child.close_in();
      } else {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
          (fd == child.out() ? result.out : result.err).append(buf, static_cast<std::size_t>(n));
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
          fd == child.out() ? child.close_out() : child.close_err();
        }
      }
    }
  }
  child.close_in();
  child.close_out();
  child.close_err();
  result.status = child.wait();
  return result;
}

}  // namespace vesk_testing
