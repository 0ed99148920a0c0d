#include "host.hpp"

#include <unicode/uidna.h>

#include <array>
#include <climits>
#include <vector>

#include "encoding.hpp"

namespace vesk_url::detail {
namespace {

bool forbidden_host_code_point(unsigned char c) {
  switch (c) {
    case 0x00:
    case '\t':
    case '\n':
    case '\r':
    case ' ':
    case '#':
    case '/':
    case ':':
    case '<':
    case '>':
    case '?':
    case '@':
    case '[':
    case '\\':
    case ']':
    case '^':
    case '|': return true;
    default: return false;
  }
}

bool forbidden_domain_code_point(unsigned char c) {
  return forbidden_host_code_point(c) || c < 0x20 || c == '%' || c == 0x7F;
}

bool is_ascii_digit(unsigned char c) { return c >= '0' && c <= '9'; }

// Strict split on '.': "a..b." gives {"a", "", "b", ""}.
std::vector<std::string_view> split_dots(std::string_view s) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t dot = s.find('.', start);
    if (dot == std::string_view::npos) {
      parts.push_back(s.substr(start));
      return parts;
    }
    parts.push_back(s.substr(start, dot - start));
    start = dot + 1;
  }
}

// The IPv4 number parser: the value (saturated well above 2^32) or nullopt.
std::optional<std::uint64_t> parse_ipv4_number(std::string_view input) {
  if (input.empty()) return std::nullopt;
  unsigned radix = 10;
  if (input.size() >= 2 && input[0] == '0' && (input[1] == 'x' || input[1] == 'X')) {
    input.remove_prefix(2);
    radix = 16;
  } else if (input.size() >= 2 && input[0] == '0') {
    input.remove_prefix(1);
    radix = 8;
  }
  constexpr std::uint64_t kCap = std::uint64_t{1} << 40;
  std::uint64_t value = 0;
  for (unsigned char c : input) {
    int digit = hex_value(c);
    if (digit < 0 || static_cast<unsigned>(digit) >= radix) return std::nullopt;
    value = value * radix + static_cast<unsigned>(digit);
    if (value > kCap) value = kCap;
  }
  return value;
}

const UIDNA* uts46() {
  static const UIDNA* const idna = [] {
    UErrorCode error = U_ZERO_ERROR;
    // CheckHyphens, UseSTD3ASCIIRules and VerifyDnsLength are off: ICU has no switch for the
    // hyphen and length checks, so their error bits are ignored in to_ascii below.
    UIDNA* made = uidna_openUTS46(
        UIDNA_CHECK_BIDI | UIDNA_CHECK_CONTEXTJ | UIDNA_NONTRANSITIONAL_TO_ASCII | UIDNA_NONTRANSITIONAL_TO_UNICODE,
        &error);
    return U_FAILURE(error) ? nullptr : made;
  }();
  return idna;
}

constexpr std::uint32_t kIgnoredIdnaErrors = UIDNA_ERROR_LEADING_HYPHEN | UIDNA_ERROR_TRAILING_HYPHEN |
                                             UIDNA_ERROR_HYPHEN_3_4 | UIDNA_ERROR_EMPTY_LABEL |
                                             UIDNA_ERROR_LABEL_TOO_LONG | UIDNA_ERROR_DOMAIN_NAME_TOO_LONG;

// Unicode ToASCII of a non-ASCII, well-formed UTF-8 domain.
std::optional<std::string> to_ascii(std::string_view domain) {
  const UIDNA* idna = uts46();
  if (idna == nullptr || domain.size() > INT32_MAX / 8) return std::nullopt;
  std::string out(domain.size() * 2 + 64, '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    UIDNAInfo info = UIDNA_INFO_INITIALIZER;
    UErrorCode error = U_ZERO_ERROR;
    int32_t length = uidna_nameToASCII_UTF8(idna, domain.data(), static_cast<int32_t>(domain.size()), out.data(),
                                            static_cast<int32_t>(out.size()), &info, &error);
    if (error == U_BUFFER_OVERFLOW_ERROR && attempt == 0 && length > 0) {
      out.assign(static_cast<std::size_t>(length), '\0');
      continue;
    }
    if (U_FAILURE(error) || length < 0 || (info.errors & ~kIgnoredIdnaErrors) != 0) return std::nullopt;
    out.resize(static_cast<std::size_t>(length));
    return out;
  }
  return std::nullopt;
}

std::optional<Host> parse_opaque_host(std::string_view input) {
  for (unsigned char c : input) {
    if (forbidden_host_code_point(c)) return std::nullopt;
  }
  Host host{HostKind::opaque, {}};
  host.text.reserve(input.size());
  for (unsigned char c : input) append_byte_encoded(host.text, c, kC0ControlSet);
  if (host.text.empty()) host.kind = HostKind::empty;
  return host;
}

}  // namespace

bool ends_in_a_number(std::string_view input) {
  std::vector<std::string_view> parts = split_dots(input);
  if (parts.back().empty() && parts.size() > 1) parts.pop_back();
  std::string_view last = parts.back();
  if (last.empty()) return false;
  bool digits = true;
  for (unsigned char c : last) digits = digits && is_ascii_digit(c);
  return digits || parse_ipv4_number(last).has_value();
}

std::optional<std::uint32_t> parse_ipv4(std::string_view input) {
  std::vector<std::string_view> parts = split_dots(input);
  if (parts.back().empty() && parts.size() > 1) parts.pop_back();
  if (parts.size() > 4) return std::nullopt;
  std::array<std::uint64_t, 4> numbers{};
  for (std::size_t i = 0; i < parts.size(); ++i) {
    std::optional<std::uint64_t> n = parse_ipv4_number(parts[i]);
    if (!n) return std::nullopt;
    numbers[i] = *n;
  }
  const std::size_t count = parts.size();
  for (std::size_t i = 0; i + 1 < count; ++i) {
    if (numbers[i] > 255) return std::nullopt;
  }
  if (numbers[count - 1] >= (std::uint64_t{1} << (8 * (5 - count)))) return std::nullopt;
  std::uint64_t ipv4 = numbers[count - 1];
  for (std::size_t i = 0; i + 1 < count; ++i) ipv4 += numbers[i] << (8 * (3 - i));
  return static_cast<std::uint32_t>(ipv4);
}

std::string serialize_ipv4(std::uint32_t address) {
  std::string out;
  for (int shift = 24; shift >= 0; shift -= 8) {
    out += std::to_string((address >> shift) & 0xFF);
    if (shift != 0) out += '.';
  }
  return out;
}

std::optional<std::string> parse_ipv6(std::string_view input) {
  std::array<std::uint16_t, 8> address{};
  std::size_t piece = 0;
  std::optional<std::size_t> compress;
  std::size_t p = 0;
  const std::size_t n = input.size();
  auto at = [&](std::size_t i) -> int { return i < n ? static_cast<unsigned char>(input[i]) : -1; };

  if (at(p) == ':') {
    if (at(p + 1) != ':') return std::nullopt;
    p += 2;
    compress = ++piece;
  }
  while (at(p) != -1) {
    if (piece == 8) return std::nullopt;
    if (at(p) == ':') {
      if (compress) return std::nullopt;
      ++p;
      compress = ++piece;
      continue;
    }
    unsigned value = 0;
    std::size_t length = 0;
    while (length < 4 && at(p) != -1 && hex_value(static_cast<unsigned char>(at(p))) >= 0) {
      value = value * 0x10 + static_cast<unsigned>(hex_value(static_cast<unsigned char>(at(p))));
      ++p;
      ++length;
    }
    if (at(p) == '.') {
      if (length == 0) return std::nullopt;
      p -= length;
      if (piece > 6) return std::nullopt;
      int numbers_seen = 0;
      while (at(p) != -1) {
        int ipv4_piece = -1;
        if (numbers_seen > 0) {
          if (at(p) == '.' && numbers_seen < 4) {
            ++p;
          } else {
            return std::nullopt;
          }
        }
        if (at(p) == -1 || !is_ascii_digit(static_cast<unsigned char>(at(p)))) return std::nullopt;
        while (at(p) != -1 && is_ascii_digit(static_cast<unsigned char>(at(p)))) {
          int number = at(p) - '0';
          if (ipv4_piece == -1) {
            ipv4_piece = number;
          } else if (ipv4_piece == 0) {
            return std::nullopt;
          } else {
            ipv4_piece = ipv4_piece * 10 + number;
          }
          if (ipv4_piece > 255) return std::nullopt;
          ++p;
        }
        address[piece] = static_cast<std::uint16_t>(address[piece] * 0x100 + ipv4_piece);
        ++numbers_seen;
        if (numbers_seen == 2 || numbers_seen == 4) ++piece;
      }
      if (numbers_seen != 4) return std::nullopt;
      break;
    }
    if (at(p) == ':') {
      ++p;
      if (at(p) == -1) return std::nullopt;
    } else if (at(p) != -1) {
      return std::nullopt;
    }
    address[piece] = static_cast<std::uint16_t>(value);
    ++piece;
  }
  if (compress) {
    std::size_t swaps = piece - *compress;
    piece = 7;
    while (piece != 0 && swaps > 0) {
      std::swap(address[piece], address[*compress + swaps - 1]);
      --piece;
      --swaps;
    }
  } else if (piece != 8) {
    return std::nullopt;
  }

  // Serialise, compressing the first longest run of two or more zero pieces.
  std::optional<std::size_t> longest;
  std::size_t longest_size = 1;
  for (std::size_t i = 0; i < 8;) {
    if (address[i] != 0) {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < 8 && address[j] == 0) ++j;
    if (j - i > longest_size) {
      longest = i;
      longest_size = j - i;
    }
    i = j;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  bool ignore0 = false;
  for (std::size_t i = 0; i < 8; ++i) {
    if (ignore0 && address[i] == 0) continue;
    ignore0 = false;
    if (longest && *longest == i) {
      out += i == 0 ? "::" : ":";
      ignore0 = true;
      continue;
    }
    unsigned v = address[i];
    char digits[4];
    int count = 0;
    do {
      digits[count++] = kHex[v & 0xF];
      v >>= 4;
    } while (v != 0);
    while (count > 0) out += digits[--count];
    if (i != 7) out += ':';
  }
  return out;
}

std::optional<Host> parse_host(std::string_view input, bool opaque) {
  if (!input.empty() && input.front() == '[') {
    if (input.size() < 2 || input.back() != ']') return std::nullopt;
    std::optional<std::string> v6 = parse_ipv6(input.substr(1, input.size() - 2));
    if (!v6) return std::nullopt;
    return Host{HostKind::ipv6, '[' + *v6 + ']'};
  }
  if (opaque) return parse_opaque_host(input);
  if (input.empty()) return std::nullopt;

  std::string decoded = percent_decode(input);
  // Ill-formed UTF-8 would decode to U+FFFD, which domain to ASCII always rejects.
  if (!valid_utf8(decoded)) return std::nullopt;
  bool ascii = true;
  for (unsigned char c : decoded) ascii = ascii && c < 0x80;
  std::string domain;
  if (ascii) {
    domain = std::move(decoded);
    for (char& c : domain) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
  } else {
    std::optional<std::string> converted = to_ascii(decoded);
    if (!converted) return std::nullopt;
    domain = std::move(*converted);
  }
  if (domain.empty()) return std::nullopt;
  for (unsigned char c : domain) {
    if (forbidden_domain_code_point(c) || c >= 0x80) return std::nullopt;
  }
  if (ends_in_a_number(domain)) {
    std::optional<std::uint32_t> v4 = parse_ipv4(domain);
    if (!v4) return std::nullopt;
    return Host{HostKind::ipv4, serialize_ipv4(*v4)};
  }
  return Host{HostKind::domain, std::move(domain)};
}

}  // namespace vesk_url::detail
