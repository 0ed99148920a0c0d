#pragma once
// A small LSP client for tests: runs the server binary with pipes, sends raw
// bytes or framed JSON, reads frames with a timeout and collects the exit status.

#include "vesk/testing/process.hpp"

#include <boost/json/value.hpp>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk_lsp::testing {

class LspClient {
 public:
  explicit LspClient(std::vector<std::string> args = {}, std::string binary = VESK_LSP_BINARY);

  void send_raw(std::string_view bytes);
  void send(const boost::json::value& message);
  void request(const boost::json::value& id, std::string_view method, const boost::json::value* params = nullptr);
  void request(const boost::json::value& id, std::string_view method, const boost::json::value& params) {
    request(id, method, &params);
  }
  void notify(std::string_view method, const boost::json::value* params = nullptr);
  void notify(std::string_view method, const boost::json::value& params) { notify(method, &params); }

  // The next frame from the server; nullopt on timeout or end of output. A
  // malformed frame fails the test.
  std::optional<boost::json::value> read(std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Reads frames until the answer with `id`; the frames before it are kept in `skipped`.
  std::optional<boost::json::value> answer(const boost::json::value& id,
                                           std::vector<boost::json::value>* skipped = nullptr);

  // initialize (answer checked to be a result) then initialized; drops the log message.
  void initialize();

  void close_input();
  // Waits for the process to end; nullopt when it does not within the timeout.
  std::optional<int> wait(std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Everything left on standard output once the process has ended.
  std::string rest_of_output();
  // Standard error so far (read once the process has ended).
  const std::string& error_output();

 private:
  bool fill(std::chrono::milliseconds timeout);
  void drain_stderr();

  vesk_testing::Child child_;
  std::string buffer_;
  std::string stderr_;
};

}  // namespace vesk_lsp::testing
