#pragma once
// Character classes of the text format, decided per code point.

#include <cstddef>
#include <string_view>

namespace vesk_core::chars {

// Space and tab only.
inline bool blank(char32_t c) { return c == ' ' || c == '\t'; }
inline bool ascii_digit(char32_t c) { return c >= '0' && c <= '9'; }
inline bool hex_digit(char32_t c) { return ascii_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
// "_", Alphabetic, or general category Nd/Nl/No.
bool ident_char(char32_t c);
// The Unicode White_Space set.
bool white_space(char32_t c);

// Decodes the character at the front of `text` (valid UTF-8, not empty) and
// stores its byte length in `length`.
char32_t decode_utf8(std::string_view text, std::size_t& length);

// Bytes of the longest leading run of characters of `pred`.
template <class Pred>
std::size_t span_of(std::string_view text, Pred pred) {
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t length = 1;
    const char32_t c = decode_utf8(text.substr(at), length);
    if (!pred(c)) break;
    at += length;
  }
  // A character cut off at the end of `text` ends the run at the end.
  return at < text.size() ? at : text.size();
}

// `text` without its leading and trailing white_space characters.
std::string_view trim(std::string_view text);

}  // namespace vesk_core::chars
