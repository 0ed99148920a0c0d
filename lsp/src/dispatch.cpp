#include "dispatch.hpp"

#include "methods.hpp"

#include <boost/json/object.hpp>

#include <algorithm>
#include <exception>
#include <optional>
#include <utility>

namespace vesk_lsp::service {

namespace json = boost::json;
namespace code = jsonrpc::code;
using jsonrpc::Message;

namespace {

// A null params member counts as an absent one.
const json::value* params_of(const Message& m) { return m.params && !m.params->is_null() ? &*m.params : nullptr; }

}  // namespace

std::size_t Outbox::send(std::string body) {
  if (!holding_) {
    writer_.send(body);
    return 0;
  }
  held_.push_back(std::move(body));
  return held_.size() - 1;
}

void Outbox::replace(std::size_t place, std::string body) {
  if (place < held_.size()) held_[place] = std::move(body);
}

void Outbox::release() {
  holding_ = false;
  std::vector<std::string> held = std::exchange(held_, {});
  for (const std::string& body : held) writer_.send(body);
}

void Client::publish_diagnostics(std::string_view uri, json::array diagnostics) {
  const State s = state_.load();
  if (s != State::kInitialized && s != State::kShutDown) return;
  json::object p;
  p["uri"] = json::string_view(uri.data(), uri.size());
  p["diagnostics"] = std::move(diagnostics);
  outbox_.send(jsonrpc::encode_notification("textDocument/publishDiagnostics", std::move(p)));
}

void Client::log_message(int type, std::string_view message) {
  json::object p;
  p["type"] = type;
  p["message"] = json::string_view(message.data(), message.size());
  outbox_.send(jsonrpc::encode_notification("window/logMessage", std::move(p)));
}

Service::Service(transport::Writer& writer, const ServerFactory& factory, protocol::UriParser uri_parser)
    : outbox_(writer), client_(outbox_, state_), server_(factory(client_)), uri_parser_(std::move(uri_parser)) {}

void Service::refuse(const json::value& id, int error_code) { outbox_.send(jsonrpc::encode_error(id, error_code)); }

void Service::answer_undecodable(int error_code) { refuse(nullptr, error_code); }

bool Service::handle(const std::vector<Message>& batch) {
  // Ends the batch however it ends: nothing stays in progress, everything held is written.
  struct EndBatch {
    Service& s;
    ~EndBatch() {
      s.in_progress_.clear();
      s.outbox_.release();
    }
  };
  outbox_.hold();
  EndBatch end{*this};
  for (const Message& m : batch) {
    switch (m.kind) {
      case Message::Kind::kResponse: break;  // the server sends no requests, so no answer is awaited
      case Message::Kind::kRequest: {
        try {
          run_request(m);
        } catch (const std::exception&) {
          refuse(m.id, code::kInternalError);
        }
        break;
      }
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
  const Binding* b = find_method(m.method);
  const bool initializes = b != nullptr && b->step == Step::kInitialize;
  if (s == State::kShutDown || s == State::kExited) return refuse(m.id, code::kInvalidRequest);
  if (s == State::kUninitialized && !initializes) return refuse(m.id, code::kServerNotInitialized);
  if (initializes && s != State::kUninitialized) return refuse(m.id, code::kInvalidRequest);
  if (b == nullptr) {
    const json::value data(json::string_view(m.method.data(), m.method.size()));
    outbox_.send(jsonrpc::encode_error(m.id, code::kMethodNotFound, &data));
    return;
  }
  if (b->kind != MethodKind::kRequest) return refuse(m.id, code::kInvalidRequest);
  if (b->call == nullptr) return refuse(m.id, code::kMethodNotFound);
  if (find_in_progress(m.id) != in_progress_.end()) return refuse(m.id, code::kInvalidRequest);

  if (b->step == Step::kShutdown) state_.store(State::kShutDown);
  auto answer = b->call(*server_, params_of(m), uri_parser_);
  if (!answer.ok()) {
    outbox_.send(jsonrpc::encode_error(m.id, code::kInvalidParams, answer.error()));
    return;
  }
  if (initializes) state_.store(State::kInitialized);
  const std::size_t place = outbox_.send(jsonrpc::encode_result(m.id, std::move(answer).value()));
  if (s == State::kInitialized) in_progress_.push_back({m.id, place});
}

bool Service::run_notification(const Message& m) {
  const Binding* b = find_method(m.method);
  if (b == nullptr || b->kind != MethodKind::kNotification) return true;
  if (b->step == Step::kExit) {
    exit_status_ = state_.load() == State::kShutDown ? 0 : 1;
    state_.store(State::kExited);
    return false;
  }
  if (state_.load() != State::kInitialized) return true;
  const json::value* params = params_of(m);
  if (b->step == Step::kCancel) {
    if (params == nullptr) return true;
    auto p = protocol::decode_cancel(*params);
    if (p.ok()) cancel(p.value().id);
    return true;
  }
  // A notification whose params do not decode is dropped.
  if (b->call != nullptr) b->call(*server_, params, uri_parser_);
  return true;
}

std::vector<Service::InProgress>::iterator Service::find_in_progress(const json::value& id) {
  const std::string key = jsonrpc::id_key(id);
  return std::find_if(in_progress_.begin(), in_progress_.end(),
                      [&](const InProgress& r) { return jsonrpc::id_key(r.id) == key; });
}

void Service::cancel(const json::value& id) {
  const auto it = find_in_progress(id);
  if (it == in_progress_.end()) return;
  outbox_.replace(it->place, jsonrpc::encode_error(it->id, code::kRequestCancelled));
  in_progress_.erase(it);
}

}  // namespace vesk_lsp::service
