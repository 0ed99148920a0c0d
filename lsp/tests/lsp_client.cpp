#include "lsp_client.hpp"

#include <boost/json/object.hpp>
#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace vesk_lsp::testing {

namespace json = boost::json;
using Clock = std::chrono::steady_clock;

LspClient::LspClient(std::vector<std::string> args, std::string binary) {
  int in[2], out[2], err[2];
  if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) posix_spawn_file_actions_addclose(&actions, fd);
  std::vector<char*> argv;
  argv.push_back(binary.data());
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int rc = ::posix_spawn(&pid_, binary.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  in_ = in[1];
  out_ = out[0];
  err_ = err[0];
  if (rc != 0) throw std::runtime_error("posix_spawn failed");
  ::fcntl(out_, F_SETFL, O_NONBLOCK);
  ::fcntl(err_, F_SETFL, O_NONBLOCK);
  ::fcntl(in_, F_SETFD, FD_CLOEXEC);
  ::fcntl(out_, F_SETFD, FD_CLOEXEC);
  ::fcntl(err_, F_SETFD, FD_CLOEXEC);
}

LspClient::~LspClient() {
  if (!status_ && pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  for (int fd : {in_, out_, err_}) {
    if (fd >= 0) ::close(fd);
  }
}

void LspClient::send_raw(std::string_view bytes) {
  while (!bytes.empty() && in_ >= 0) {
    const ssize_t n = ::write(in_, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return;  // the server has gone; what it wrote still tells the test
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

void LspClient::send(const json::value& message) {
  const std::string body = json::serialize(message);
  send_raw("Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
}

void LspClient::request(const json::value& id, std::string_view method, const json::value* params) {
  json::object o;
  o["jsonrpc"] = "2.0";
  o["id"] = id;
  o["method"] = json::string_view(method.data(), method.size());
  if (params) o["params"] = *params;
  send(o);
}

void LspClient::notify(std::string_view method, const json::value* params) {
  json::object o;
  o["jsonrpc"] = "2.0";
  o["method"] = json::string_view(method.data(), method.size());
  if (params) o["params"] = *params;
  send(o);
}

bool LspClient::fill(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd p{out_, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    char chunk[65536];
    const ssize_t n = ::read(out_, chunk, sizeof chunk);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return false;
    buffer_.append(chunk, static_cast<std::size_t>(n));
    return true;
  }
}

std::optional<json::value> LspClient::read(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  constexpr std::string_view kHead = "Content-Length: ";
  for (;;) {
    const std::size_t end = buffer_.find("\r\n\r\n");
    if (end != std::string::npos) {
      if (!buffer_.starts_with(kHead)) {
        ADD_FAILURE() << "malformed frame header: " << buffer_.substr(0, end);
        return std::nullopt;
      }
      const std::string digits = buffer_.substr(kHead.size(), end - kHead.size());
      if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) {
        ADD_FAILURE() << "malformed frame length: " << digits;
        return std::nullopt;
      }
      const std::size_t n = std::stoul(digits);
      if (buffer_.size() >= end + 4 + n) {
        boost::system::error_code ec;
        json::value v = json::parse(json::string_view(buffer_.data() + end + 4, n), ec);
        if (ec) ADD_FAILURE() << "frame body is not JSON: " << buffer_.substr(end + 4, n);
        buffer_.erase(0, end + 4 + n);
        if (ec) return std::nullopt;
        return v;
      }
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0 || !fill(left)) return std::nullopt;
  }
}

std::optional<json::value> LspClient::answer(const json::value& id, std::vector<json::value>* skipped) {
  for (;;) {
    auto m = read();
    if (!m) return std::nullopt;
    const json::object* o = m->if_object();
    if (o && !o->contains("method") && o->contains("id") && o->at("id") == id) return m;
    if (skipped) skipped->push_back(std::move(*m));
  }
}

void LspClient::initialize() {
  request(0, "initialize", json::parse(R"({"capabilities":{}})"));
  auto a = answer(0);
  ASSERT_TRUE(a && a->as_object().contains("result"));
  notify("initialized", json::object{});
  auto log = read();
  ASSERT_TRUE(log && log->at("method") == "window/logMessage");
}

void LspClient::close_input() {
  if (in_ >= 0) ::close(in_);
  in_ = -1;
}

void LspClient::drain_stderr() {
  char chunk[4096];
  for (;;) {
    const ssize_t n = ::read(err_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    stderr_.append(chunk, static_cast<std::size_t>(n));
  }
}

std::optional<int> LspClient::wait(std::chrono::milliseconds timeout) {
  if (status_) return status_;
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    drain_stderr();
    int raw = 0;
    const pid_t r = ::waitpid(pid_, &raw, WNOHANG);
    if (r == pid_) {
      drain_stderr();
      status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
      return status_;
    }
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

std::string LspClient::rest_of_output() {
  while (fill(std::chrono::milliseconds(2000))) {
  }
  return std::exchange(buffer_, {});
}

const std::string& LspClient::error_output() {
  drain_stderr();
  return stderr_;
}

}  // namespace vesk_lsp::testing
