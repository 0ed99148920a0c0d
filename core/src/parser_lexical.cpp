#include "parser_detail.hpp"
#include "words.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace vesk_core::parser {

namespace {

using scan::ascii_white_space;
using scan::kAsciiIdent;

// Byte length of the leading run of `pred` characters; ASCII bytes are tested
// directly, others decoded. Never splits a character.
template <class AsciiPred, class WidePred>
std::size_t run_length(std::string_view text, AsciiPred ascii, WidePred wide) {
  std::size_t at = 0;
  const std::size_t size = text.size();
  while (at < size) {
    const auto b = static_cast<unsigned char>(text[at]);
    if (b < 0x80) {
      if (!ascii(b)) break;
      ++at;
      continue;
    }
    std::size_t length = 1;
    const char32_t c = decode_utf8(text.substr(at), length);
    if (!wide(c)) break;
    at += length;
    if (at > size) at = size;  // only reachable with a truncated sequence
  }
  return at;
}

std::size_t ident_run(std::string_view text) {
  return run_length(
      text, [](unsigned char b) { return kAsciiIdent[b]; }, [](char32_t c) { return ident_char(c); });
}

std::size_t white_space_run(std::string_view text) {
  return run_length(
      text, [](unsigned char b) { return ascii_white_space(b); }, [](char32_t c) { return white_space(c); });
}

// Bytes before the first byte of `stops` (all ASCII, so never inside a character).
template <char... Stops>
std::size_t till(std::string_view text) {
  const char* p = text.data();
  const std::size_t size = text.size();
  for (std::size_t i = 0; i < size; ++i) {
    const char c = p[i];
    if (((c == Stops) || ...)) return i;
  }
  return size;
}

std::size_t till_byte(std::string_view text, char stop) {
  const void* hit = text.empty() ? nullptr : std::memchr(text.data(), stop, text.size());
  return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data()) : text.size();
}

std::string_view take_bytes(Input& in, std::size_t n) {
  const std::string_view taken = in.substr(0, n);
  in.remove_prefix(n);
  return taken;
}

std::optional<std::string_view> take_bytes1(Input& in, std::size_t n) {
  if (n == 0) return std::nullopt;
  return take_bytes(in, n);
}

std::size_t blank_run(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  return at;
}

constexpr std::array<std::int8_t, 256> make_hex_values() {
  std::array<std::int8_t, 256> table{};
  for (int c = 0; c < 256; ++c) {
    table[c] = c >= '0' && c <= '9'   ? static_cast<std::int8_t>(c - '0')
               : c >= 'a' && c <= 'f' ? static_cast<std::int8_t>(c - 'a' + 10)
               : c >= 'A' && c <= 'F' ? static_cast<std::int8_t>(c - 'A' + 10)
                                      : std::int8_t{-1};
  }
  return table;
}
constexpr std::array<std::int8_t, 256> kHexValue = make_hex_values();

std::size_t digit_run(std::string_view text, std::size_t max = std::string_view::npos) {
  std::size_t at = 0;
  while (at < text.size() && at < max && text[at] >= '0' && text[at] <= '9') ++at;
  return at;
}

}  // namespace

std::uint32_t to_count(float value) {
  if (!(value > 0)) return 0;
  if (value >= 4294967296.0f) return std::numeric_limits<std::uint32_t>::max();
  return static_cast<std::uint32_t>(value);
}

std::uint16_t to_weight(float value) {
  if (!(value > 0)) return 0;
  if (value >= 65535.0f) return std::numeric_limits<std::uint16_t>::max();
  return static_cast<std::uint16_t>(value);
}

// --- scanners ---------------------------------------------------------------

std::optional<std::string_view> take_blanks1(Input& in) { return take_bytes1(in, blank_run(in)); }

std::size_t scan::ident_run_from(std::string_view text, std::size_t at) { return at + ident_run(text.substr(at)); }
std::optional<std::string_view> take_digits1(Input& in) { return take_bytes1(in, digit_run(in)); }
std::string_view take_digits(Input& in) { return take_bytes(in, digit_run(in)); }

std::optional<std::string_view> take_hex_digits(Input& in) {
  std::size_t at = 0;
  while (at < in.size() && at < 8 && hex_digit(static_cast<unsigned char>(in[at]))) ++at;
  return take_bytes1(in, at);
}

std::string_view take_till_value_end(Input& in) { return take_bytes(in, till<'\n', '}', ';'>(in)); }
std::string_view take_till_separator(Input& in) { return take_bytes(in, till<'\n', ';'>(in)); }
std::string_view take_till_line_end(Input& in) { return take_bytes(in, till_byte(in, '\n')); }
std::string_view take_till_quote(Input& in) { return take_bytes(in, till_byte(in, '"')); }

// --- value readers ------------------------------------------------------------

void skip_space(Input& in) { take_blanks(in); }

void skip_opt_separator(Input& in) {
  if (starts_with(in, ';') || starts_with(in, '\n')) in.remove_prefix(1);
}

std::optional<float> parse_number(Input& in) {
  const Input start = in;
  const bool negative = consume(in, '-');
  const auto integer = take_digits1(in);
  if (!integer) return std::nullopt;
  std::string_view fraction;
  if (consume(in, '.')) fraction = take_digits(in);

  // Up to 7 digits: the digits as an integer and the power of ten are both
  // exact in f32, so one division rounds correctly.
  if (integer->size() + fraction.size() <= 7) {
    std::uint32_t mantissa = 0;
    for (char c : *integer) mantissa = mantissa * 10 + static_cast<std::uint32_t>(c - '0');
    for (char c : fraction) mantissa = mantissa * 10 + static_cast<std::uint32_t>(c - '0');
    static constexpr float kPowers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f};
    const float value = static_cast<float>(mantissa) / kPowers[fraction.size()];
    return negative ? -value : value;
  }

  const std::string_view text = start.substr(0, start.size() - in.size());
  float value = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  (void)ptr;
  if (ec == std::errc::result_out_of_range) {
    // Out of range either way: a non-zero integer part overflows, anything
    // else rounds to zero. Both keep the sign.
    const bool large = integer->find_first_not_of('0') != std::string_view::npos;
    value = large ? std::numeric_limits<float>::infinity() : 0.0f;
    if (negative) value = -value;
  }
  return value;
}

std::optional<NodeId> parse_node_id(Input& in) {
  if (!consume(in, '@')) return std::nullopt;
  const auto ident = take_ident(in);
  if (!ident) return std::nullopt;
  return NodeId::intern(*ident);
}

std::optional<model::Color> parse_hex_color(Input& in) {
  if (!consume(in, '#')) return std::nullopt;
  // Up to 8 hex digits, as in take_hex_digits, with their values.
  std::uint8_t values[8];
  std::size_t count = 0;
  for (; count < 8 && count < in.size(); ++count) {
    const int v = kHexValue[static_cast<unsigned char>(in[count])];
    if (v < 0) break;
    values[count] = static_cast<std::uint8_t>(v);
  }
  if (count == 0) return std::nullopt;
  in.remove_prefix(count);
  return model::Color::from_hex_values(std::span<const std::uint8_t>(values, count));
}

std::optional<std::string_view> parse_quoted_string(Input& in) {
  if (!consume(in, '"')) return std::nullopt;
  const std::string_view inner = take_till_quote(in);
  if (!consume(in, '"')) return std::nullopt;
  return inner;
}

bool parse_font_value(Input& in, std::optional<model::FontSpec>& font) {
  model::FontSpec working = font ? *font : model::FontSpec{"Inter", 400, 14};
  if (starts_with(in, '"')) {
    const auto family = parse_quoted_string(in);
    if (!family) return false;
    working.family.assign(family->data(), family->size());
    take_blanks(in);
  }
  if (const auto first = parse_number(in)) {
    working.size = *first;
    take_blanks(in);
    if (const auto second = parse_number(in)) {
      working.weight = to_weight(*first);
      working.size = *second;
    }
  }
  font = std::move(working);
  return true;
}

namespace {

model::Annotation keyed_annotation(std::string_view key, std::string_view value) {
  if (const auto kind = words::read(words::kAnnotationKeys, key)) return {*kind, std::string(value)};
  std::string described;
  described.reserve(key.size() + 2 + value.size());
  described.append(key).append(": ").append(value);
  return {model::Annotation::Kind::Description, std::move(described)};
}

}  // namespace

std::optional<model::Annotation> parse_annotation(Input& in) {
  if (!consume(in, "##")) return std::nullopt;
  take_blanks(in);
  const Input saved = in;

  if (const auto key = take_ident(in)) {
    take_blanks(in);
    if (consume(in, ':')) {
      take_blanks(in);
      std::string_view value;
      if (starts_with(in, '"')) {
        const auto quoted = parse_quoted_string(in);
        if (!quoted) return std::nullopt;
        value = *quoted;
      } else {
        value = trim(take_till_separator(in));
      }
      model::Annotation annotation = keyed_annotation(*key, value);
      skip_opt_separator(in);
      return annotation;
    }
  }

  in = saved;
  take_blanks(in);
  std::string_view text;
  if (starts_with(in, '"')) {
    const auto quoted = parse_quoted_string(in);
    if (!quoted) return std::nullopt;
    text = *quoted;
  } else {
    text = trim(take_till_line_end(in));
  }
  model::Annotation annotation{model::Annotation::Kind::Description, std::string(text)};
  skip_opt_separator(in);
  return annotation;
}

namespace {

// One step of the comment walk: drops white space, then takes one "#" line.
// Returns false when the walk stops.
template <class Sink>
bool next_comment(Input& in, Sink&& sink) {
  in.remove_prefix(white_space_run(in));
  if (!starts_with(in, '#') || starts_with(in, "##")) return false;
  in.remove_prefix(1);
  const std::size_t end = till_byte(in, '\n');
  sink(in.substr(0, end));
  in.remove_prefix(end < in.size() ? end + 1 : end);
  return true;
}

}  // namespace

void collect_leading_comments(Input& in, model::List<std::string>& out) {
  while (next_comment(in, [&](std::string_view line) {
    const std::string_view text = trim(line);
    if (!text.empty()) out.emplace_back(text);
  })) {
  }
}

model::List<std::string> collect_leading_comments(Input& in) {
  model::List<std::string> out;
  collect_leading_comments(in, out);
  return out;
}

void scan::skip_leading_comments_from(Input& in) {
  while (next_comment(in, [](std::string_view) {})) {
  }
}

std::string_view skip_ident_chars(std::string_view text) { return text.substr(ident_run(text)); }

bool is_node_head(std::string_view text) {
  if (!starts_with(text, '@')) return false;
  const std::string_view rest = text.substr(1);
  std::string_view after = skip_ident_chars(rest);
  if (after.size() == rest.size()) return false;
  after.remove_prefix(white_space_run(after));
  return starts_with(after, '{');
}

}  // namespace vesk_core::parser
