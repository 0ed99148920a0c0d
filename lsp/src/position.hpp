#pragma once
// Lines of a document and LSP positions (UTF-16 code units) within a line.

#include <cstdint>
#include <optional>
#include <string_view>

namespace vesk_lsp::position {

// Walks the lines of a text: cut after every "\n", a "\r" directly before it
// dropped with it; the piece after the last "\n" is a line only when not empty.
class LineCursor {
 public:
  explicit LineCursor(std::string_view text) : rest_(text) {}
  // The next line without its line break, or nullopt after the last one.
  std::optional<std::string_view> next();

 private:
  std::string_view rest_;
};

// Line `number` of `text` (from 0), or nullopt when the text has fewer lines.
std::optional<std::string_view> line_at(std::string_view text, std::uint32_t number);

// Byte offset in `line` of UTF-16 column `character`, clamped to the line's
// end; a column inside a surrogate pair maps to the boundary before it.
std::size_t byte_offset(std::string_view line, std::uint32_t character);

// Length of `text` in UTF-16 code units.
std::uint32_t utf16_length(std::string_view text);

}  // namespace vesk_lsp::position
