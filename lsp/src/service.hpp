#pragma once
// The LSP service: server states, dispatch of messages to a LanguageServer,
// pending requests and cancellation, and the threaded run loop.

#include "jsonrpc.hpp"
#include "protocol.hpp"
#include "transport.hpp"

#include <boost/json/array.hpp>
#include <boost/json/value.hpp>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vesk_lsp::service {

enum class State { kUninitialized, kInitialized, kShutDown, kExited };

// Most messages handled at once, and most decoded messages waiting.
constexpr std::size_t kMaxInProgress = 4;
constexpr std::size_t kQueueCapacity = 100;

// Editor-bound notifications of the server.
class Client {
 public:
  Client(transport::Writer& writer, const std::atomic<State>& state) : writer_(writer), state_(state) {}
  // Sent only while the state is initialized or shut down.
  void publish_diagnostics(std::string_view uri, boost::json::array diagnostics);
  void log_message(int type, std::string_view message);

 private:
  transport::Writer& writer_;
  const std::atomic<State>& state_;
};

// The operations a server implements; every other method gets the default answer.
class LanguageServer {
 public:
  virtual ~LanguageServer() = default;
  virtual boost::json::value initialize(const protocol::InitializeParams& p) = 0;
  virtual void initialized() = 0;
  virtual void shutdown() = 0;
  virtual void did_open(protocol::DidOpenParams p) = 0;
  virtual void did_change(protocol::DidChangeParams p) = 0;
  virtual void did_close(const protocol::DidCloseParams& p) = 0;
  virtual boost::json::value hover(const protocol::PositionParams& p) = 0;
  virtual boost::json::value document_symbol(const protocol::DocumentSymbolParams& p) = 0;
  virtual boost::json::value completion(const protocol::PositionParams& p) = 0;
};

using ServerFactory = std::function<std::unique_ptr<LanguageServer>(Client&)>;

// Dispatches decoded messages by method and state and writes the answers.
// Single-threaded: the run loop calls it from one thread.
class Service {
 public:
  Service(transport::Writer& writer, const ServerFactory& factory, protocol::UriParser uri_parser);

  // Handles messages that are in progress together, in order: requests are
  // registered as pending first (a repeated id is refused, `$/cancelRequest`
  // cancels a pending one), then each message runs. Returns false once `exit`
  // has been handled; later messages of the batch are dropped.
  bool handle(const std::vector<jsonrpc::Message>& batch);
  bool handle(const jsonrpc::Message& message) { return handle(std::vector<jsonrpc::Message>{message}); }

  // The one answer to an undecodable message (id null).
  void answer_undecodable(int code);

  State state() const { return state_.load(); }
  // After `exit`: 0 when the server had been shut down, otherwise 1.
  int exit_status() const { return exit_status_; }

 private:
  void run_request(const jsonrpc::Message& m);
  bool run_notification(const jsonrpc::Message& m);
  void answer(const boost::json::value& id, boost::json::value result);
  void answer_error(const boost::json::value& id, int code, std::string_view message,
                    const boost::json::value* data = nullptr);

  transport::Writer& writer_;
  std::atomic<State> state_{State::kUninitialized};
  Client client_;
  std::unique_ptr<LanguageServer> server_;
  protocol::UriParser uri_parser_;
  int exit_status_ = 1;
};

// Kinds of known methods.
enum class MethodKind { kUnknown, kRequest, kNotification, kUnimplementedRequest, kUnimplementedNotification };
MethodKind classify(std::string_view method);

// Reads, decodes and dispatches until the input ends, a message cannot be
// decoded, or `exit` arrives; returns the exit status. A reader thread fills a
// bounded queue; this thread dispatches. Throws std::system_error when the
// reader thread cannot be started.
int serve(transport::ByteSource& source, transport::Sink& sink, const ServerFactory& factory,
          protocol::UriParser uri_parser);

}  // namespace vesk_lsp::service
