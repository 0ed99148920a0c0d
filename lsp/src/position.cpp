#include "position.hpp"

#include <cstring>

namespace vesk_lsp::position {

namespace {

// Bytes of the UTF-8 sequence that starts with `lead` (the text is valid UTF-8).
std::size_t sequence_length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return 4;
}

}  // namespace

std::optional<std::string_view> LineCursor::next() {
  if (rest_.empty()) return std::nullopt;
  const void* nl = std::memchr(rest_.data(), '\n', rest_.size());
  std::string_view line;
  if (nl == nullptr) {
    line = rest_;
    rest_ = {};
    return line;
  }
  const auto len = static_cast<std::size_t>(static_cast<const char*>(nl) - rest_.data());
  line = rest_.substr(0, len);
  rest_.remove_prefix(len + 1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

std::optional<std::string_view> line_at(std::string_view text, std::uint32_t number) {
  LineCursor lines(text);
  for (std::uint32_t i = 0;; ++i) {
    auto line = lines.next();
    if (!line || i == number) return line;
  }
}

std::size_t byte_offset(std::string_view line, std::uint32_t character) {
  std::size_t bytes = 0;
  std::uint64_t units = 0;
  while (bytes < line.size()) {
    const std::size_t len = sequence_length(static_cast<unsigned char>(line[bytes]));
    const unsigned width = len == 4 ? 2 : 1;
    if (units + width > character) break;
    units += width;
    bytes += len;
  }
  return bytes < line.size() ? bytes : line.size();
}

std::uint32_t utf16_length(std::string_view text) {
  std::uint32_t units = 0;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80) units += byte >= 0xF0 ? 2 : 1;  // count lead bytes
  }
  return units;
}

}  // namespace vesk_lsp::position
