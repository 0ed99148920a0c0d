#pragma once
// Percent-encode sets, percent-encoding and UTF-8 helpers of the URL parser.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace vesk_url::detail {

// The ASCII members of a percent-encode set; every set also holds all code points above U+007E.
struct EncodeSet {
  std::array<bool, 128> ascii{};

  constexpr bool contains(unsigned char c) const { return c >= 0x80 || ascii[c]; }
};

constexpr EncodeSet with(EncodeSet set, std::initializer_list<char> extra) {
  for (char c : extra) set.ascii[static_cast<unsigned char>(c)] = true;
  return set;
}

constexpr EncodeSet c0_control_set() {
  EncodeSet set;
  for (int c = 0; c < 0x20; ++c) set.ascii[c] = true;
  set.ascii[0x7F] = true;
  return set;
}

inline constexpr EncodeSet kC0ControlSet = c0_control_set();
inline constexpr EncodeSet kFragmentSet = with(kC0ControlSet, {' ', '"', '<', '>', '`'});
inline constexpr EncodeSet kQuerySet = with(kC0ControlSet, {' ', '"', '#', '<', '>'});
inline constexpr EncodeSet kSpecialQuerySet = with(kQuerySet, {'\''});
inline constexpr EncodeSet kPathSet = with(kQuerySet, {'?', '^', '`', '{', '}'});
inline constexpr EncodeSet kUserinfoSet = with(kPathSet, {'/', ':', ';', '=', '@', '[', '\\', ']', '|'});

inline int hex_value(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

inline void append_byte_encoded(std::string& out, unsigned char byte, const EncodeSet& set) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  if (set.contains(byte)) {
    out += '%';
    out += kHex[byte >> 4];
    out += kHex[byte & 0xF];
  } else {
    out += static_cast<char>(byte);
  }
}

// Writes the UTF-8 form of `c` to `buf` and returns its length (1 to 4).
inline int encode_utf8(char32_t c, unsigned char* buf) {
  if (c < 0x80) {
    buf[0] = static_cast<unsigned char>(c);
    return 1;
  }
  if (c < 0x800) {
    buf[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
    buf[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    buf[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
    buf[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    buf[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 3;
  }
  buf[0] = static_cast<unsigned char>(0xF0 | (c >> 18));
  buf[1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
  buf[2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
  buf[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
  return 4;
}

inline void append_utf8(std::string& out, char32_t c) {
  unsigned char buf[4];
  int n = encode_utf8(c, buf);
  out.append(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(n));
}

// UTF-8 percent-encode of one code point.
inline void append_encoded(std::string& out, char32_t c, const EncodeSet& set) {
  unsigned char buf[4];
  int n = encode_utf8(c, buf);
  for (int i = 0; i < n; ++i) append_byte_encoded(out, buf[i], set);
}

// Decodes one code point at `i` and advances past it; an ill-formed sequence gives U+FFFD for
// its maximal subpart (the WHATWG UTF-8 decoder's replacement).
char32_t decode_utf8(std::string_view s, std::size_t& i);

bool valid_utf8(std::string_view s);

std::string percent_decode(std::string_view s);

}  // namespace vesk_url::detail
