#pragma once
// The parse error of a document as LSP diagnostics.

#include "position.hpp"
#include "protocol.hpp"

#include <boost/json/array.hpp>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

namespace vesk_lsp::diagnostics {

// Empty when `text` parses, else one Error diagnostic at the end of the last line.
boost::json::array compute_diagnostics(std::string_view text);

// The Error diagnostic for `message`: parse errors carry no position, so it is
// placed one character wide at the end of the text's last line ((0,0) when the
// text has no lines).
inline protocol::Diagnostic error_diagnostic(std::string_view text, std::string message) {
  std::size_t lines = 0;
  std::string_view last;
  position::LineCursor cursor(text);
  while (auto line = cursor.next()) {
    last = *line;
    ++lines;
  }
  constexpr auto kMax = std::numeric_limits<std::uint32_t>::max();
  const auto line = static_cast<std::uint32_t>(lines == 0 ? 0 : std::min<std::size_t>(lines - 1, kMax));
  const std::uint32_t column = position::utf16_length(last);
  const std::uint32_t after = column == kMax ? kMax : column + 1;
  protocol::Diagnostic out;
  out.range = {{line, column}, {line, after}};
  out.severity = protocol::DiagnosticSeverity::Error;
  out.source = "vesk-lsp";
  out.message = std::move(message);
  return out;
}

}  // namespace vesk_lsp::diagnostics
