#include "vesk/core/chars.hpp"

#include <unicode/uchar.h>

namespace vesk_core::chars {

bool ident_char(char32_t c) {
  if (c < 0x80) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  }
  const auto cp = static_cast<UChar32>(c);
  if (u_hasBinaryProperty(cp, UCHAR_ALPHABETIC)) return true;
  const auto type = u_charType(cp);
  return type == U_DECIMAL_DIGIT_NUMBER || type == U_LETTER_NUMBER || type == U_OTHER_NUMBER;
}

bool white_space(char32_t c) {
  if (c < 0x80) return (c >= 0x09 && c <= 0x0D) || c == 0x20;
  switch (c) {
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000: return true;
    default: return c >= 0x2000 && c <= 0x200A;
  }
}

char32_t decode_utf8(std::string_view text, std::size_t& length) {
  const auto b0 = static_cast<unsigned char>(text[0]);
  auto cont = [&](std::size_t i) -> char32_t {
    return i < text.size() ? static_cast<unsigned char>(text[i]) & 0x3F : 0;
  };
  if (b0 < 0x80) {
    length = 1;
    return b0;
  }
  if (b0 < 0xE0) {
    length = 2;
    return (char32_t{b0 & 0x1Fu} << 6) | cont(1);
  }
  if (b0 < 0xF0) {
    length = 3;
    return (char32_t{b0 & 0x0Fu} << 12) | (cont(1) << 6) | cont(2);
  }
  length = 4;
  return (char32_t{b0 & 0x07u} << 18) | (cont(1) << 12) | (cont(2) << 6) | cont(3);
}

std::string_view trim(std::string_view text) {
  const std::size_t start = span_of(text, white_space);
  text.remove_prefix(start);
  // Walk back over trailing white space; continuation bytes start no character.
  std::size_t end = text.size();
  while (end > 0) {
    std::size_t begin = end - 1;
    while (begin > 0 && (static_cast<unsigned char>(text[begin]) & 0xC0) == 0x80) --begin;
    std::size_t length = 1;
    if (!white_space(decode_utf8(text.substr(begin), length))) break;
    end = begin;
  }
  return text.substr(0, end);
}

}  // namespace vesk_core::chars
