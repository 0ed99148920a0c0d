#pragma once
// The language server: open documents, diagnostics on every open and change,
// completion, hover and document symbols.

#include "dispatch.hpp"

#include "vesk/core/model.hpp"

#include <boost/json/value.hpp>
#include <boost/unordered/unordered_flat_map.hpp>

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace vesk_lsp::server {

// One open document: its text as last received and its parse, absent when the text does not parse.
struct DocumentState {
  std::string text;
  std::optional<vesk_core::model::SceneGraph> graph;
};

class VeskLanguageServer;

namespace detail {
// Number of documents held; for tests.
std::size_t document_count(VeskLanguageServer& server);
}  // namespace detail

class VeskLanguageServer : public service::LanguageServer {
 public:
  explicit VeskLanguageServer(service::Client& client) : client_(client) {}

  boost::json::value initialize(const protocol::InitializeParams& p) override;
  void initialized(const protocol::InitializedParams& p) override;
  void shutdown() override;
  void did_open(protocol::DidOpenParams p) override;
  void did_change(protocol::DidChangeParams p) override;
  void did_close(const protocol::DidCloseParams& p) override;
  boost::json::value hover(const protocol::PositionParams& p) override;
  boost::json::value document_symbol(const protocol::DocumentSymbolParams& p) override;
  boost::json::value completion(const protocol::PositionParams& p) override;

  friend std::size_t detail::document_count(VeskLanguageServer& server);

 private:
  // Parses `text`, stores it under `uri` (normalised) and publishes its diagnostics.
  void on_change(const std::string& uri, std::string text);

  service::Client& client_;
  std::mutex mutex_;
  boost::unordered_flat_map<std::string, DocumentState> documents_;
};

// The serialised URL of a document URI, or nullopt when it does not parse.
std::optional<std::string> normalise_uri(std::string_view uri);

// Serves LSP on standard input and output; returns the exit status.
int run_stdio();

}  // namespace vesk_lsp::server
