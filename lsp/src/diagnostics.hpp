#pragma once
// The parse error of a document as LSP diagnostics.

#include <boost/json/array.hpp>

#include <string_view>

namespace vesk_lsp::diagnostics {

// Empty when `text` parses, else one Error diagnostic at the end of the last line.
boost::json::array compute_diagnostics(std::string_view text);

}  // namespace vesk_lsp::diagnostics
