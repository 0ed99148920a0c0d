#pragma once
// Dispatch of decoded messages: server states, the operations of a
// LanguageServer, requests in progress and their cancellation.

#include "jsonrpc.hpp"
#include "protocol.hpp"
#include "transport.hpp"

#include <boost/json/array.hpp>
#include <boost/json/value.hpp>

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vesk_lsp::service {

enum class State { kUninitialized, kInitialized, kShutDown, kExited };

// Messages to the editor. Written at once, or, while held, kept in order
// until release() writes them.
class Outbox {
 public:
  explicit Outbox(transport::Writer& writer) : writer_(writer) {}
  // Returns the message's place among the held ones (0 when not holding).
  std::size_t send(std::string body);
  // Puts `body` in place of a held message.
  void replace(std::size_t place, std::string body);
  void hold() { holding_ = true; }
  void release();

 private:
  transport::Writer& writer_;
  bool holding_ = false;
  std::vector<std::string> held_;
};

// Editor-bound notifications of the server.
class Client {
 public:
  Client(Outbox& outbox, const std::atomic<State>& state) : outbox_(outbox), state_(state) {}
  // Sent only while the state is initialized or shut down.
  void publish_diagnostics(std::string_view uri, boost::json::array diagnostics);
  void log_message(int type, std::string_view message);

 private:
  Outbox& outbox_;
  const std::atomic<State>& state_;
};

// The operations a server implements; every other method gets the default answer.
class LanguageServer {
 public:
  virtual ~LanguageServer() = default;
  virtual boost::json::value initialize(const protocol::InitializeParams& p) = 0;
  virtual void initialized(const protocol::InitializedParams& p) = 0;
  virtual void shutdown() = 0;
  virtual void did_open(protocol::DidOpenParams p) = 0;
  virtual void did_change(protocol::DidChangeParams p) = 0;
  virtual void did_close(const protocol::DidCloseParams& p) = 0;
  virtual boost::json::value hover(const protocol::PositionParams& p) = 0;
  virtual boost::json::value document_symbol(const protocol::DocumentSymbolParams& p) = 0;
  virtual boost::json::value completion(const protocol::PositionParams& p) = 0;
};

using ServerFactory = std::function<std::unique_ptr<LanguageServer>(Client&)>;

// Judges each message by its method and the server state and runs it.
// Single-threaded: the run loop calls it from one thread.
class Service {
 public:
  Service(transport::Writer& writer, const ServerFactory& factory, protocol::UriParser uri_parser);

  // Handles messages that are in progress together, in the order read, each
  // judged by the state that the ones before it left. A request that reaches
  // its operation in the initialized state stays in progress until the whole
  // batch is handled: a later request with its id is refused, and a
  // `$/cancelRequest` of it handled in the initialized state turns its answer
  // into -32800. What the batch writes leaves when the batch is done, in the
  // order written. Returns false once `exit` has been handled; the messages
  // after it are not handled.
  bool handle(const std::vector<jsonrpc::Message>& batch);
  bool handle(const jsonrpc::Message& message) { return handle(std::vector<jsonrpc::Message>{message}); }

  // The one answer to an undecodable message (id null).
  void answer_undecodable(int code);

  State state() const { return state_.load(); }
  // After `exit`: 0 when the server had been shut down, otherwise 1.
  int exit_status() const { return exit_status_; }

 private:
  // A request of the current batch that reached its operation.
  struct InProgress {
    boost::json::value id;
    std::size_t place;  // of its answer in the outbox
  };

  void run_request(const jsonrpc::Message& m);
  bool run_notification(const jsonrpc::Message& m);
  void cancel(const boost::json::value& id);
  std::vector<InProgress>::iterator find_in_progress(const boost::json::value& id);
  void refuse(const boost::json::value& id, int code);

  Outbox outbox_;
  std::atomic<State> state_{State::kUninitialized};
  Client client_;
  std::unique_ptr<LanguageServer> server_;
  protocol::UriParser uri_parser_;
  std::vector<InProgress> in_progress_;
  int exit_status_ = 1;
};

}  // namespace vesk_lsp::service
