#pragma once
// The LSP structures the server reads and writes, with their JSON forms.
//
// Decoding (the parameters of the handled methods): required members must be
// present with their JSON type; optional members may be absent or null;
// unknown members are ignored. A failure names the member at fault.
//
// Encoding (the results): members are written in a fixed order; absent
// optional members are left out. Values are built with the memory resource `sp`.

#include "vesk/core/result.hpp"

#include <boost/json/storage_ptr.hpp>
#include <boost/json/value.hpp>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk_lsp::protocol {

using vesk_core::Result;

// Turns a document URI into its normalised text, or nullopt when it does not parse.
using UriParser = std::function<std::optional<std::string>(std::string_view)>;

struct Position {
  std::uint32_t line = 0;
  std::uint32_t character = 0;  // UTF-16 code units
  bool operator==(const Position&) const = default;
};

struct Range {
  Position start;
  Position end;
  bool operator==(const Range&) const = default;
};

// Parameters of the handled methods.

struct InitializeParams {};

struct InitializedParams {};

struct DidOpenParams {
  std::string uri;  // normalised
  std::string language_id;
  std::int32_t version = 0;
  std::string text;
};

struct ContentChange {
  std::optional<Range> range;
  std::optional<std::uint32_t> range_length;
  std::string text;
};

struct DidChangeParams {
  std::string uri;
  std::int32_t version = 0;
  std::vector<ContentChange> changes;
};

struct DidCloseParams {
  std::string uri;
};

// Hover and completion.
struct PositionParams {
  std::string uri;
  Position position;
};

struct DocumentSymbolParams {
  std::string uri;
};

struct CancelParams {
  boost::json::value id;  // integer or string
};

Result<InitializeParams> decode_initialize(const boost::json::value& v);
// `initialized` carries an empty object.
Result<InitializedParams> decode_initialized(const boost::json::value& v);
Result<DidOpenParams> decode_did_open(const boost::json::value& v, const UriParser& uri);
Result<DidChangeParams> decode_did_change(const boost::json::value& v, const UriParser& uri);
Result<DidCloseParams> decode_did_close(const boost::json::value& v, const UriParser& uri);
Result<PositionParams> decode_hover(const boost::json::value& v, const UriParser& uri);
Result<PositionParams> decode_completion(const boost::json::value& v, const UriParser& uri);
Result<DocumentSymbolParams> decode_document_symbol(const boost::json::value& v, const UriParser& uri);
Result<CancelParams> decode_cancel(const boost::json::value& v);

// Results.

struct Location {
  std::string uri;
  Range range;
  bool operator==(const Location&) const = default;
};

enum class DiagnosticSeverity : std::uint8_t { Error = 1, Warning = 2, Information = 3, Hint = 4 };

struct Diagnostic {
  Range range;
  std::optional<DiagnosticSeverity> severity;
  std::optional<std::string> source;
  std::string message;
  bool operator==(const Diagnostic&) const = default;
};

enum class CompletionItemKind : std::uint8_t {
  Property = 10,
  Keyword = 14,
  Snippet = 15,
  Reference = 18,
  EnumMember = 20,
};

enum class InsertTextFormat : std::uint8_t { PlainText = 1, Snippet = 2 };

// The server's completion items are constant data, so the texts are views.
struct CompletionItem {
  std::string_view label;
  std::optional<CompletionItemKind> kind;
  std::optional<std::string_view> detail;
  std::optional<std::string_view> insert_text;
  std::optional<InsertTextFormat> insert_text_format;
  bool operator==(const CompletionItem&) const = default;
};

enum class MarkupKind : std::uint8_t { PlainText, Markdown };

struct MarkupContent {
  MarkupKind kind = MarkupKind::Markdown;
  std::string value;
  bool operator==(const MarkupContent&) const = default;
};

struct Hover {
  MarkupContent contents;
  std::optional<Range> range;
  bool operator==(const Hover&) const = default;
};

enum class SymbolKind : std::uint8_t { Namespace = 3, Class = 5, String = 15, Object = 19 };

struct SymbolInformation {
  std::string name;
  SymbolKind kind = SymbolKind::Object;
  Location location;
  bool operator==(const SymbolInformation&) const = default;
};

boost::json::value to_json(const Position& position, boost::json::storage_ptr sp = {});
boost::json::value to_json(const Range& range, boost::json::storage_ptr sp = {});
boost::json::value to_json(const Location& location, boost::json::storage_ptr sp = {});
boost::json::value to_json(const Diagnostic& diagnostic, boost::json::storage_ptr sp = {});
boost::json::value to_json(const CompletionItem& item, boost::json::storage_ptr sp = {});
boost::json::value to_json(const MarkupContent& content, boost::json::storage_ptr sp = {});
boost::json::value to_json(const Hover& hover, boost::json::storage_ptr sp = {});
boost::json::value to_json(const SymbolInformation& symbol, boost::json::storage_ptr sp = {});

}  // namespace vesk_lsp::protocol
