#pragma once
// Parameters of the LSP methods the server handles, decoded from JSON.
// Required members must be present with their JSON type; optional members may
// be absent or null; unknown members are ignored.

#include "vesk/core/result.hpp"

#include <boost/json/value.hpp>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk_lsp::params {

// Turns a document URI into its normalised text, or nullopt when it does not parse.
using UriParser = std::function<std::optional<std::string>(std::string_view)>;

struct Position {
  std::uint32_t line = 0;
  std::uint32_t character = 0;
};

struct Range {
  Position start;
  Position end;
};

struct InitializeParams {};

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

// Each fails with a message naming the member at fault.
using vesk_core::Result;
Result<InitializeParams> decode_initialize(const boost::json::value& v);
Result<DidOpenParams> decode_did_open(const boost::json::value& v, const UriParser& uri);
Result<DidChangeParams> decode_did_change(const boost::json::value& v, const UriParser& uri);
Result<DidCloseParams> decode_did_close(const boost::json::value& v, const UriParser& uri);
Result<PositionParams> decode_hover(const boost::json::value& v, const UriParser& uri);
Result<PositionParams> decode_completion(const boost::json::value& v, const UriParser& uri);
Result<DocumentSymbolParams> decode_document_symbol(const boost::json::value& v, const UriParser& uri);
Result<CancelParams> decode_cancel(const boost::json::value& v);
// `initialized` carries an empty object.
Result<bool> decode_initialized(const boost::json::value& v);

}  // namespace vesk_lsp::params
