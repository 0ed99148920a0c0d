#include "server.hpp"

#include "completion.hpp"
#include "diagnostics.hpp"
#include "hover.hpp"
#include "service.hpp"
#include "symbols.hpp"
#include "vesk/core/parser.hpp"
#include "vesk/url/url.hpp"

#include <boost/json/array.hpp>
#include <boost/json/object.hpp>

#include <malloc.h>

#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <system_error>

namespace vesk_lsp::server {

namespace json = boost::json;

namespace {

// The fixed answer of `initialize`.
json::value initialize_result() {
  json::object completion;
  completion["triggerCharacters"] = json::array{":", "@", "#"};
  json::object capabilities;
  capabilities["textDocumentSync"] = 1;
  capabilities["completionProvider"] = std::move(completion);
  capabilities["hoverProvider"] = true;
  capabilities["documentSymbolProvider"] = true;
  json::object result;
  result["capabilities"] = std::move(capabilities);
  return result;
}

}  // namespace

std::optional<std::string> normalise_uri(std::string_view uri) {
  auto url = vesk_url::parse(uri);
  if (!url) return std::nullopt;
  return url->href();
}

json::value VeskLanguageServer::initialize(const protocol::InitializeParams&) { return initialize_result(); }

void VeskLanguageServer::initialized(const protocol::InitializedParams&) {
  client_.log_message(3, "vesk-lsp initialized");
}

void VeskLanguageServer::shutdown() {}

void VeskLanguageServer::did_open(protocol::DidOpenParams p) { on_change(p.uri, std::move(p.text)); }

void VeskLanguageServer::did_change(protocol::DidChangeParams p) {
  if (p.changes.empty()) return;
  on_change(p.uri, std::move(p.changes.back().text));
}

void VeskLanguageServer::did_close(const protocol::DidCloseParams& p) {
  std::lock_guard lock(mutex_);
  documents_.erase(p.uri);
}

void VeskLanguageServer::on_change(const std::string& uri, std::string text) {
  json::array diagnostics = diagnostics::compute_diagnostics(text);
  auto parsed = vesk_core::parser::parse_document(text);
  DocumentState state{std::move(text), std::nullopt};
  if (parsed.ok()) state.graph.emplace(std::move(parsed).value());
  {
    std::lock_guard lock(mutex_);
    documents_.insert_or_assign(uri, std::move(state));
  }
  client_.publish_diagnostics(uri, std::move(diagnostics));
}

std::size_t detail::document_count(VeskLanguageServer& server) {
  std::lock_guard lock(server.mutex_);
  return server.documents_.size();
}

json::value VeskLanguageServer::hover(const protocol::PositionParams& p) {
  std::lock_guard lock(mutex_);
  auto it = documents_.find(p.uri);
  if (it == documents_.end()) return nullptr;
  const DocumentState& doc = it->second;
  return hover::compute_hover(doc.text, p.position.line, p.position.character, doc.graph ? &*doc.graph : nullptr);
}

json::value VeskLanguageServer::document_symbol(const protocol::DocumentSymbolParams& p) {
  std::lock_guard lock(mutex_);
  auto it = documents_.find(p.uri);
  if (it == documents_.end()) return json::array{};
  const DocumentState& doc = it->second;
  return symbols::compute_symbols(doc.text, doc.graph ? &*doc.graph : nullptr, p.uri);
}

json::value VeskLanguageServer::completion(const protocol::PositionParams& p) {
  std::lock_guard lock(mutex_);
  auto it = documents_.find(p.uri);
  if (it == documents_.end()) return json::array{};
  return completion::compute_completions(it->second.text, p.position.line, p.position.character);
}

int run_stdio() {
  // A closed standard output must not end the process; writes then fail quietly.
  std::signal(SIGPIPE, SIG_IGN);
  // Keep freed memory for the next change rather than giving it back: each
  // change is read twice and replaces a graph and a text, and faulting the
  // same megabytes in again costs more than reading them.
  ::mallopt(M_MMAP_THRESHOLD, 4 << 20);
  ::mallopt(M_TRIM_THRESHOLD, 16 << 20);
  transport::FdSource input(STDIN_FILENO);
  transport::FdSink output(STDOUT_FILENO);
  try {
    return service::serve(
        input, output, [](service::Client& client) { return std::make_unique<VeskLanguageServer>(client); },
        normalise_uri);
  } catch (const std::system_error& e) {
    std::fprintf(stderr, "Failed building the Runtime: %s\n", e.what());
    return 1;
  }
}

}  // namespace vesk_lsp::server
