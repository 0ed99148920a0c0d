#include "encoding.hpp"

namespace vesk_url::detail {

char32_t decode_utf8(std::string_view s, std::size_t& i) {
  const unsigned char lead = static_cast<unsigned char>(s[i++]);
  if (lead < 0x80) return lead;
  int need = 0;
  char32_t cp = 0;
  unsigned char lo = 0x80;
  unsigned char hi = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    need = 1;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 2;
    cp = lead & 0x0F;
    if (lead == 0xE0) lo = 0xA0;
    if (lead == 0xED) hi = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 3;
    cp = lead & 0x07;
    if (lead == 0xF0) lo = 0x90;
    if (lead == 0xF4) hi = 0x8F;
  } else {
    return U'\uFFFD';
  }
  for (int k = 0; k < need; ++k) {
    if (i >= s.size()) return U'\uFFFD';
    const unsigned char next = static_cast<unsigned char>(s[i]);
    if (next < lo || next > hi) return U'\uFFFD';  // the byte starts the next sequence
    lo = 0x80;
    hi = 0xBF;
    cp = (cp << 6) | (next & 0x3F);
    ++i;
  }
  return cp;
}

bool valid_utf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const std::size_t start = i;
    if (decode_utf8(s, i) == U'\uFFFD') {
      // A literal U+FFFD is EF BF BD; anything else that decoded to it was ill-formed.
      if (i - start != 3 || s.compare(start, 3, "\xEF\xBF\xBD") != 0) return false;
    }
  }
  return true;
}

std::string percent_decode(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '%' && i + 2 < s.size() && hex_value(static_cast<unsigned char>(s[i + 1])) >= 0 &&
        hex_value(static_cast<unsigned char>(s[i + 2])) >= 0) {
      out += static_cast<char>(hex_value(static_cast<unsigned char>(s[i + 1])) * 16 +
                               hex_value(static_cast<unsigned char>(s[i + 2])));
      i += 2;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace vesk_url::detail
