#include "service.hpp"

#include <boost/json/object.hpp>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_set>

namespace vesk_lsp::service {

namespace json = boost::json;
namespace code = jsonrpc::code;
using jsonrpc::Message;

namespace {

constexpr int kInternalError = -32603;

constexpr std::array<std::string_view, 5> kRequests = {
    "initialize", "shutdown", "textDocument/hover", "textDocument/documentSymbol", "textDocument/completion",
};

constexpr std::array<std::string_view, 6> kNotifications = {
    "initialized",          "exit", "textDocument/didOpen", "textDocument/didChange", "textDocument/didClose",
    "$/cancelRequest",
};

constexpr std::array<std::string_view, 46> kUnimplementedRequests = {
    "textDocument/willSaveWaitUntil",
    "textDocument/declaration",
    "textDocument/definition",
    "textDocument/typeDefinition",
    "textDocument/implementation",
    "textDocument/references",
    "textDocument/prepareCallHierarchy",
    "callHierarchy/incomingCalls",
    "callHierarchy/outgoingCalls",
    "textDocument/prepareTypeHierarchy",
    "typeHierarchy/supertypes",
    "typeHierarchy/subtypes",
    "textDocument/documentHighlight",
    "textDocument/documentLink",
    "documentLink/resolve",
    "textDocument/codeLens",
    "codeLens/resolve",
    "textDocument/foldingRange",
    "textDocument/selectionRange",
    "textDocument/semanticTokens/full",
    "textDocument/semanticTokens/full/delta",
    "textDocument/semanticTokens/range",
    "textDocument/inlineValue",
    "textDocument/inlayHint",
    "inlayHint/resolve",
    "textDocument/moniker",
    "completionItem/resolve",
    "textDocument/diagnostic",
    "workspace/diagnostic",
    "textDocument/signatureHelp",
    "textDocument/codeAction",
    "codeAction/resolve",
    "textDocument/documentColor",
    "textDocument/colorPresentation",
    "textDocument/formatting",
    "textDocument/rangeFormatting",
    "textDocument/onTypeFormatting",
    "textDocument/rename",
    "textDocument/prepareRename",
    "textDocument/linkedEditingRange",
    "workspace/symbol",
    "workspaceSymbol/resolve",
    "workspace/willCreateFiles",
    "workspace/willRenameFiles",
    "workspace/willDeleteFiles",
    "workspace/executeCommand",
};

constexpr std::array<std::string_view, 8> kUnimplementedNotifications = {
    "textDocument/willSave",          "textDocument/didSave",           "workspace/didChangeConfiguration",
    "workspace/didChangeWorkspaceFolders", "workspace/didCreateFiles", "workspace/didRenameFiles",
    "workspace/didDeleteFiles",       "workspace/didChangeWatchedFiles",
};

template <std::size_t N>
bool in(const std::array<std::string_view, N>& list, std::string_view method) {
  return std::find(list.begin(), list.end(), method) != list.end();
}

}  // namespace

MethodKind classify(std::string_view method) {
  if (method.empty()) return MethodKind::kUnknown;
  if (in(kRequests, method)) return MethodKind::kRequest;
  if (in(kNotifications, method)) return MethodKind::kNotification;
  if (in(kUnimplementedRequests, method)) return MethodKind::kUnimplementedRequest;
  if (in(kUnimplementedNotifications, method)) return MethodKind::kUnimplementedNotification;
  return MethodKind::kUnknown;
}

void Client::publish_diagnostics(std::string_view uri, json::array diagnostics) {
  const State s = state_.load();
  if (s != State::kInitialized && s != State::kShutDown) return;
  json::object p;
  p["uri"] = json::string_view(uri.data(), uri.size());
  p["diagnostics"] = std::move(diagnostics);
  writer_.send(jsonrpc::encode_notification("textDocument/publishDiagnostics", std::move(p)));
}

void Client::log_message(int type, std::string_view message) {
  json::object p;
  p["type"] = type;
  p["message"] = json::string_view(message.data(), message.size());
  writer_.send(jsonrpc::encode_notification("window/logMessage", std::move(p)));
}

Service::Service(transport::Writer& writer, const ServerFactory& factory, protocol::UriParser uri_parser)
    : writer_(writer), client_(writer, state_), server_(factory(client_)), uri_parser_(std::move(uri_parser)) {}

void Service::answer(const json::value& id, json::value result) {
  writer_.send(jsonrpc::encode_result(id, std::move(result)));
}

void Service::answer_error(const json::value& id, int error_code, std::string_view message, const json::value* data) {
  writer_.send(jsonrpc::encode_error(id, error_code, message, data));
}

void Service::answer_undecodable(int error_code) {
  answer_error(nullptr, error_code, jsonrpc::error_message(error_code));
}

bool Service::handle(const std::vector<Message>& batch) {
  // Start: every request of the batch is pending until it is answered.
  std::unordered_map<std::string, std::size_t> pending;
  std::vector<bool> duplicate(batch.size(), false);
  std::vector<bool> cancelled(batch.size(), false);
  for (std::size_t i = 0; i < batch.size(); ++i) {
    const Message& m = batch[i];
    if (m.kind == Message::Kind::kRequest) {
      if (!pending.emplace(jsonrpc::id_key(m.id), i).second) duplicate[i] = true;
    } else if (m.kind == Message::Kind::kNotification && m.method == "$/cancelRequest" &&
               state_.load() == State::kInitialized && m.params) {
      auto p = protocol::decode_cancel(*m.params);
      if (!p.ok()) continue;
      auto it = pending.find(jsonrpc::id_key(p.value().id));
      if (it != pending.end()) cancelled[it->second] = true;
    }
  }
  // Run, in the order read.
  for (std::size_t i = 0; i < batch.size(); ++i) {
    const Message& m = batch[i];
    switch (m.kind) {
      case Message::Kind::kResponse:
        break;  // the server sends no requests, so no answer is awaited
      case Message::Kind::kRequest:
        if (duplicate[i]) {
          answer_error(m.id, code::kInvalidRequest, "Invalid request");
        } else if (cancelled[i]) {
          answer_error(m.id, code::kRequestCancelled, "Canceled");
        } else {
          try {
            run_request(m);
          } catch (const std::exception&) {
            answer_error(m.id, kInternalError, "Internal error");
          }
        }
        break;
      case Message::Kind::kNotification:
        try {
          if (!run_notification(m)) return false;
        } catch (const std::exception&) {
          // A failed notification has no one to tell.
        }
        break;
    }
  }
  return true;
}

void Service::run_request(const Message& m) {
  const State s = state_.load();
  if (s == State::kShutDown || s == State::kExited) {
    answer_error(m.id, code::kInvalidRequest, "Invalid request");
    return;
  }
  if (s == State::kUninitialized && m.method != "initialize") {
    answer_error(m.id, code::kServerNotInitialized, "Server not initialized");
    return;
  }
  if (m.method == "initialize" && s == State::kInitialized) {
    answer_error(m.id, code::kInvalidRequest, "Invalid request");
    return;
  }
  if (m.method == "shutdown") {
    state_.store(State::kShutDown);
    server_->shutdown();
    answer(m.id, nullptr);
    return;
  }

  switch (classify(m.method)) {
    case MethodKind::kRequest:
      break;
    case MethodKind::kNotification:
    case MethodKind::kUnimplementedNotification:
      answer_error(m.id, code::kInvalidRequest, "Invalid request");
      return;
    case MethodKind::kUnimplementedRequest:
      answer_error(m.id, code::kMethodNotFound, "Method not found");
      return;
    case MethodKind::kUnknown: {
      const json::value data(json::string_view(m.method.data(), m.method.size()));
      answer_error(m.id, code::kMethodNotFound, "Method not found", &data);
      return;
    }
  }

  if (!m.params) {
    answer_error(m.id, code::kInvalidParams, "Missing params field");
    return;
  }
  const json::value& p = *m.params;
  auto reply = [&](auto decoded, auto&& op) {
    if (!decoded.ok()) {
      answer_error(m.id, code::kInvalidParams, decoded.error());
      return;
    }
    answer(m.id, op(decoded.value()));
  };
  if (m.method == "initialize") {
    reply(protocol::decode_initialize(p), [&](const protocol::InitializeParams& v) {
      json::value result = server_->initialize(v);
      state_.store(State::kInitialized);
      return result;
    });
  } else if (m.method == "textDocument/hover") {
    reply(protocol::decode_hover(p, uri_parser_), [&](const protocol::PositionParams& v) { return server_->hover(v); });
  } else if (m.method == "textDocument/completion") {
    reply(protocol::decode_completion(p, uri_parser_),
          [&](const protocol::PositionParams& v) { return server_->completion(v); });
  } else if (m.method == "textDocument/documentSymbol") {
    reply(protocol::decode_document_symbol(p, uri_parser_),
          [&](const protocol::DocumentSymbolParams& v) { return server_->document_symbol(v); });
  }
}

bool Service::run_notification(const Message& m) {
  if (m.method == "exit") {
    exit_status_ = state_.load() == State::kShutDown ? 0 : 1;
    state_.store(State::kExited);
    return false;
  }
  if (state_.load() != State::kInitialized || !m.params) return true;
  const json::value& p = *m.params;
  if (m.method == "initialized") {
    if (protocol::decode_initialized(p).ok()) server_->initialized();
  } else if (m.method == "textDocument/didOpen") {
    auto d = protocol::decode_did_open(p, uri_parser_);
    if (d.ok()) server_->did_open(std::move(d).value());
  } else if (m.method == "textDocument/didChange") {
    auto d = protocol::decode_did_change(p, uri_parser_);
    if (d.ok()) server_->did_change(std::move(d).value());
  } else if (m.method == "textDocument/didClose") {
    auto d = protocol::decode_did_close(p, uri_parser_);
    if (d.ok()) server_->did_close(d.value());
  }
  return true;
}

namespace {

struct Incoming {
  enum class Kind { kMessage, kEnd, kUndecodable };
  Kind kind = Kind::kEnd;
  Message message;
  int error_code = 0;
};

Incoming read_incoming(transport::MessageReader& reader) {
  transport::ReadResult r = reader.next();
  Incoming in;
  switch (r.status) {
    case transport::ReadStatus::kEnd:
      in.kind = Incoming::Kind::kEnd;
      break;
    case transport::ReadStatus::kUndecodable:
      in.kind = Incoming::Kind::kUndecodable;
      in.error_code = code::kParseError;
      break;
    case transport::ReadStatus::kMessage: {
      auto decoded = jsonrpc::decode(r.body);
      if (auto* e = std::get_if<jsonrpc::DecodeError>(&decoded)) {
        in.kind = Incoming::Kind::kUndecodable;
        in.error_code = e->code;
      } else {
        in.kind = Incoming::Kind::kMessage;
        in.message = std::move(std::get<Message>(decoded));
      }
      break;
    }
  }
  return in;
}

// The bounded queue between the reader thread and the dispatcher.
class Queue {
 public:
  // Waits while full; false once stopped.
  bool push(Incoming in) {
    std::unique_lock lock(mutex_);
    not_full_.wait(lock, [&] { return stopped_ || items_.size() < kQueueCapacity; });
    if (stopped_) return false;
    items_.push_back(std::move(in));
    not_empty_.notify_one();
    return true;
  }

  // Waits for the first item, then takes further messages that are already
  // there, up to `max` in all. A marker (end, undecodable) comes alone.
  std::vector<Incoming> pop_batch(std::size_t max) {
    std::unique_lock lock(mutex_);
    not_empty_.wait(lock, [&] { return !items_.empty() || finished_; });
    std::vector<Incoming> out;
    if (items_.empty()) {
      out.emplace_back();  // the reader is gone: an end
      return out;
    }
    while (!items_.empty() && out.size() < max) {
      const bool marker = items_.front().kind != Incoming::Kind::kMessage;
      if (marker && !out.empty()) break;
      out.push_back(std::move(items_.front()));
      items_.pop_front();
      if (marker) break;
    }
    not_full_.notify_one();
    return out;
  }

  // The reader has ended (also when it failed without a marker).
  void finish() {
    std::lock_guard lock(mutex_);
    finished_ = true;
    not_empty_.notify_all();
  }

  void stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    not_full_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable not_full_;
  std::condition_variable not_empty_;
  std::deque<Incoming> items_;
  bool stopped_ = false;
  bool finished_ = false;
};

}  // namespace

int serve(transport::ByteSource& source, transport::Sink& sink, const ServerFactory& factory,
          protocol::UriParser uri_parser) {
  transport::Writer writer(sink);
  Service service(writer, factory, std::move(uri_parser));
  Queue queue;
  std::atomic<bool> stopping{false};

  std::thread reader_thread([&] {
    try {
      transport::MessageReader reader(source);
      for (;;) {
        Incoming in;
        try {
          in = read_incoming(reader);
        } catch (const std::exception&) {
          in = Incoming{Incoming::Kind::kUndecodable, {}, code::kParseError};
        }
        if (stopping.load()) in = Incoming{};  // interrupted: an end, whatever was read
        const bool last = in.kind != Incoming::Kind::kMessage;
        if (!queue.push(std::move(in)) || last) break;
      }
    } catch (...) {
      // Out of memory while queueing: the dispatcher sees an end.
    }
    queue.finish();
  });

  // Stop the reader however the loop ends: wake it from a full queue or a blocked read.
  struct StopReader {
    std::atomic<bool>& stopping;
    Queue& queue;
    transport::ByteSource& source;
    std::thread& thread;
    ~StopReader() {
      stopping.store(true);
      queue.stop();
      source.interrupt();
      thread.join();
    }
  } stop_reader{stopping, queue, source, reader_thread};

  int status = 0;
  for (;;) {
    std::vector<Incoming> batch = queue.pop_batch(kMaxInProgress);
    const Incoming& first = batch.front();
    if (first.kind == Incoming::Kind::kEnd) break;
    if (first.kind == Incoming::Kind::kUndecodable) {
      service.answer_undecodable(first.error_code);
      break;
    }
    std::vector<Message> messages;
    messages.reserve(batch.size());
    for (Incoming& in : batch) messages.push_back(std::move(in.message));
    if (!service.handle(messages)) {
      status = service.exit_status();
      break;
    }
  }

  return status;
}

}  // namespace vesk_lsp::service
