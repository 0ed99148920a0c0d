#include "methods.hpp"

#include "dispatch.hpp"

#include <algorithm>
#include <type_traits>
#include <utility>

namespace vesk_lsp::service {

namespace json = boost::json;
using protocol::Result;
using protocol::UriParser;

namespace {

template <auto Decode>
auto decode(const json::value& params, const UriParser& uri) {
  if constexpr (std::is_invocable_v<decltype(Decode), const json::value&, const UriParser&>) {
    return Decode(params, uri);
  } else {
    return Decode(params);
  }
}

// Runs the operation; one without an answer of its own answers null.
template <auto Operation, class... Params>
json::value operate(LanguageServer& server, Params&&... params) {
  if constexpr (std::is_void_v<std::invoke_result_t<decltype(Operation), LanguageServer&, Params...>>) {
    std::invoke(Operation, server, std::forward<Params>(params)...);
    return nullptr;
  } else {
    return std::invoke(Operation, server, std::forward<Params>(params)...);
  }
}

template <auto Decode, auto Operation>
Result<json::value> call(LanguageServer& server, const json::value* params, const UriParser& uri) {
  if (params == nullptr) return Result<json::value>::failure(std::string(jsonrpc::kMissingParams));
  auto decoded = decode<Decode>(*params, uri);
  if (!decoded.ok()) return Result<json::value>::failure(std::move(decoded).error());
  return Result<json::value>::success(operate<Operation>(server, std::move(decoded).value()));
}

// An operation that takes no params, whatever the message carries.
template <auto Operation>
Result<json::value> call_without_params(LanguageServer& server, const json::value*, const UriParser&) {
  return Result<json::value>::success(operate<Operation>(server));
}

template <auto Decode, auto Operation>
constexpr Binding request(std::string_view method, Step step = Step::kNone) {
  return {method, MethodKind::kRequest, &call<Decode, Operation>, step};
}

template <auto Operation>
constexpr Binding request_without_params(std::string_view method, Step step) {
  return {method, MethodKind::kRequest, &call_without_params<Operation>, step};
}

template <auto Decode, auto Operation>
constexpr Binding notification(std::string_view method) {
  return {method, MethodKind::kNotification, &call<Decode, Operation>};
}

constexpr Binding service_notification(std::string_view method, Step step) {
  return {method, MethodKind::kNotification, nullptr, step};
}

constexpr Binding unimplemented_request(std::string_view method) { return {method, MethodKind::kRequest}; }

constexpr Binding unimplemented_notification(std::string_view method) { return {method, MethodKind::kNotification}; }

using S = LanguageServer;
namespace p = protocol;

constexpr Binding kBindings[] = {
    request<p::decode_initialize, &S::initialize>("initialize", Step::kInitialize),
    notification<p::decode_initialized, &S::initialized>("initialized"),
    request_without_params<&S::shutdown>("shutdown", Step::kShutdown),
    service_notification("exit", Step::kExit),
    service_notification("$/cancelRequest", Step::kCancel),
    notification<p::decode_did_open, &S::did_open>("textDocument/didOpen"),
    notification<p::decode_did_change, &S::did_change>("textDocument/didChange"),
    notification<p::decode_did_close, &S::did_close>("textDocument/didClose"),
    request<p::decode_hover, &S::hover>("textDocument/hover"),
    request<p::decode_document_symbol, &S::document_symbol>("textDocument/documentSymbol"),
    request<p::decode_completion, &S::completion>("textDocument/completion"),

    unimplemented_request("textDocument/willSaveWaitUntil"),
    unimplemented_request("textDocument/declaration"),
    unimplemented_request("textDocument/definition"),
    unimplemented_request("textDocument/typeDefinition"),
    unimplemented_request("textDocument/implementation"),
    unimplemented_request("textDocument/references"),
    unimplemented_request("textDocument/prepareCallHierarchy"),
    unimplemented_request("callHierarchy/incomingCalls"),
    unimplemented_request("callHierarchy/outgoingCalls"),
    unimplemented_request("textDocument/prepareTypeHierarchy"),
    unimplemented_request("typeHierarchy/supertypes"),
    unimplemented_request("typeHierarchy/subtypes"),
    unimplemented_request("textDocument/documentHighlight"),
    unimplemented_request("textDocument/documentLink"),
    unimplemented_request("documentLink/resolve"),
    unimplemented_request("textDocument/codeLens"),
    unimplemented_request("codeLens/resolve"),
    unimplemented_request("textDocument/foldingRange"),
    unimplemented_request("textDocument/selectionRange"),
    unimplemented_request("textDocument/semanticTokens/full"),
    unimplemented_request("textDocument/semanticTokens/full/delta"),
    unimplemented_request("textDocument/semanticTokens/range"),
    unimplemented_request("textDocument/inlineValue"),
    unimplemented_request("textDocument/inlayHint"),
    unimplemented_request("inlayHint/resolve"),
    unimplemented_request("textDocument/moniker"),
    unimplemented_request("completionItem/resolve"),
    unimplemented_request("textDocument/diagnostic"),
    unimplemented_request("workspace/diagnostic"),
    unimplemented_request("textDocument/signatureHelp"),
    unimplemented_request("textDocument/codeAction"),
    unimplemented_request("codeAction/resolve"),
    unimplemented_request("textDocument/documentColor"),
    unimplemented_request("textDocument/colorPresentation"),
    unimplemented_request("textDocument/formatting"),
    unimplemented_request("textDocument/rangeFormatting"),
    unimplemented_request("textDocument/onTypeFormatting"),
    unimplemented_request("textDocument/rename"),
    unimplemented_request("textDocument/prepareRename"),
    unimplemented_request("textDocument/linkedEditingRange"),
    unimplemented_request("workspace/symbol"),
    unimplemented_request("workspaceSymbol/resolve"),
    unimplemented_request("workspace/willCreateFiles"),
    unimplemented_request("workspace/willRenameFiles"),
    unimplemented_request("workspace/willDeleteFiles"),
    unimplemented_request("workspace/executeCommand"),
    unimplemented_notification("textDocument/willSave"),
    unimplemented_notification("textDocument/didSave"),
    unimplemented_notification("workspace/didChangeConfiguration"),
    unimplemented_notification("workspace/didChangeWorkspaceFolders"),
    unimplemented_notification("workspace/didCreateFiles"),
    unimplemented_notification("workspace/didRenameFiles"),
    unimplemented_notification("workspace/didDeleteFiles"),
    unimplemented_notification("workspace/didChangeWatchedFiles"),
};

}  // namespace

std::span<const Binding> bindings() { return kBindings; }

const Binding* find_method(std::string_view method) {
  const auto* it =
      std::find_if(std::begin(kBindings), std::end(kBindings), [&](const Binding& b) { return b.method == method; });
  return it == std::end(kBindings) ? nullptr : it;
}

}  // namespace vesk_lsp::service
