#include "lsp_client.hpp"

#include "vesk/testing/frames.hpp"

#include <gtest/gtest.h>
#include <boost/json/object.hpp>
#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace vesk_lsp::testing {

namespace json = boost::json;
using Clock = std::chrono::steady_clock;

namespace {

std::vector<std::string> command(std::string binary, std::vector<std::string> args) {
  args.insert(args.begin(), std::move(binary));
  return args;
}

}  // namespace

LspClient::LspClient(std::vector<std::string> args, std::string binary)
    : child_(command(std::move(binary), std::move(args))) {
  ::fcntl(child_.out(), F_SETFL, O_NONBLOCK);
  ::fcntl(child_.err(), F_SETFL, O_NONBLOCK);
}

void LspClient::send_raw(std::string_view bytes) {
  (void)child_.write(bytes);  // false when the server has gone; what it wrote still tells the test
}

void LspClient::send(const json::value& message) { send_raw(vesk_testing::frame_json(message)); }

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
    pollfd p{child_.out(), POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    char chunk[65536];
    const ssize_t n = ::read(child_.out(), chunk, sizeof chunk);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return false;
    buffer_.append(chunk, static_cast<std::size_t>(n));
    return true;
  }
}

std::optional<json::value> LspClient::read(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const vesk_testing::FrameSplit split = vesk_testing::split_frame(buffer_);
    if (split.kind == vesk_testing::FrameSplit::Malformed) {
      ADD_FAILURE() << "malformed frame (" << split.error << "): " << buffer_.substr(0, 200);
      return std::nullopt;
    }
    if (split.kind == vesk_testing::FrameSplit::Whole) {
      boost::system::error_code ec;
      json::value v = json::parse(json::string_view(buffer_.data() + split.header, split.body), ec);
      if (ec) ADD_FAILURE() << "frame body is not JSON: " << buffer_.substr(split.header, split.body);
      buffer_.erase(0, split.header + split.body);
      if (ec) return std::nullopt;
      return v;
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

void LspClient::close_input() { child_.close_in(); }

void LspClient::drain_stderr() {
  char chunk[4096];
  for (;;) {
    const ssize_t n = ::read(child_.err(), chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    stderr_.append(chunk, static_cast<std::size_t>(n));
  }
}

std::optional<int> LspClient::wait(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    drain_stderr();
    if (const std::optional<int> status = child_.try_wait()) {
      drain_stderr();
      return status;
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
