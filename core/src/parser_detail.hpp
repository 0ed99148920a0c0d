#pragma once
// The readers behind parse_document, exposed for tests.
//
// Every reader takes the parse position (`Input`, the unread rest of the
// document) by reference and advances it from the front. A reader that fails
// returns an empty optional (or false) and leaves whatever its earlier steps
// consumed consumed; a caller that wants to try something else saves and
// restores the position itself. There is one kind of failure: it carries
// nothing, and prints as kFailureText.

#include "vesk/core/chars.hpp"
#include "vesk/core/model.hpp"
#include "words.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk_core::parser {

using chars::decode_utf8;
using chars::hex_digit;
using chars::ident_char;
using chars::span_of;
using chars::trim;
using chars::white_space;
using model::NodeId;

// The unread rest of the document; always starts on a character boundary.
using Input = std::string_view;

// The printed form of every failure.
inline constexpr std::string_view kFailureText = "Parsing Error: ContextError { context: [], cause: None }";

// --- small helpers -------------------------------------------------------

inline bool starts_with(Input in, char c) { return !in.empty() && in.front() == c; }
inline bool starts_with(Input in, std::string_view lit) { return in.substr(0, lit.size()) == lit; }
// Consumes `lit` when the input starts with it.
inline bool consume(Input& in, std::string_view lit) {
  if (!starts_with(in, lit)) return false;
  in.remove_prefix(lit.size());
  return true;
}
inline bool consume(Input& in, char c) {
  if (!starts_with(in, c)) return false;
  in.remove_prefix(1);
  return true;
}

// Truncation toward zero with saturation; negative values and NaN give 0.
std::uint32_t to_count(float value);
std::uint16_t to_weight(float value);

// --- scanners ------------------------------------------------------------
// Each takes the longest run of its class (up to its maximum); one with a
// minimum of 1 fails without consuming when the run is empty.

inline std::string_view take_blanks(Input& in);
std::optional<std::string_view> take_blanks1(Input& in);
inline std::optional<std::string_view> take_ident(Input& in);
// An item's key: `take_ident`, blanks, ":", blanks; the identifier, or
// nullopt when there is none or no ":" follows it.
inline std::optional<std::string_view> take_key(Input& in);
std::optional<std::string_view> take_digits1(Input& in);
std::string_view take_digits(Input& in);
std::optional<std::string_view> take_hex_digits(Input& in);  // 1 to 8
std::string_view take_till_value_end(Input& in);             // stops at "\n", "}", ";"
std::string_view take_till_separator(Input& in);             // stops at "\n", ";"
std::string_view take_till_line_end(Input& in);              // stops at "\n"
std::string_view take_till_quote(Input& in);                 // stops at '"'

// --- value readers -------------------------------------------------------

void skip_space(Input& in);
// One ";" or one newline.
void skip_opt_separator(Input& in);

// "-"? digits ("." digits?)?, correctly rounded to f32; no exponent.
std::optional<float> parse_number(Input& in);
// "@" and an identifier, interned.
std::optional<NodeId> parse_node_id(Input& in);
// "#" and 3, 4, 6 or 8 hex digits.
std::optional<model::Color> parse_hex_color(Input& in);
// The text between two double quotes, as written (a view into the input).
std::optional<std::string_view> parse_quoted_string(Input& in);
// Family, size, or weight and size, merged onto `font` (the default font when
// absent). Fails only on an unclosed family, leaving `font` untouched.
bool parse_font_value(Input& in, std::optional<model::FontSpec>& font);
// "##" and a keyed or free annotation, with its separator.
std::optional<model::Annotation> parse_annotation(Input& in);

// The "#" comment lines in front of the next item, trimmed, empty ones left
// out; appended to `out`. Stops at "##".
void collect_leading_comments(Input& in, model::List<std::string>& out);
model::List<std::string> collect_leading_comments(Input& in);
// The same walk, keeping nothing.
inline void skip_leading_comments(Input& in);

// `text` without its leading run of identifier characters.
std::string_view skip_ident_chars(std::string_view text);
// For a text starting with "@": an identifier, any white space, then "{".
bool is_node_head(std::string_view text);
// The node keyword the input starts with (a bare prefix test), or null.
const words::Word<words::NodeWord>* node_keyword_prefix(Input in);

// --- node properties and anim blocks --------------------------------------

// One `name: value` item of a node body. New style and list memory comes
// from `arena` when one is given.
bool parse_node_property(Input& in, model::NodeStyle& style, model::List<NodeId>& use_styles,
                         std::optional<float>& width, std::optional<float>& height, model::LayoutMode& layout,
                         model::detail::Arena* arena = nullptr);
// "anim" " "+ ":" trigger "{" items "}".
std::optional<model::AnimKeyframe> parse_anim_block(Input& in);

// --- node blocks ------------------------------------------------------------

// Reads node blocks straight into a graph. Blocks nest up to
// kMaxNestingDepth, read with a stack of open blocks rather than by
// recursion; the stack is kept from one block to the next.
class NodeReader {
 public:
  // A node block at a keyword or "@", added under `parent` with its subtree
  // in pre-order (a parent before its children, each subtree before the next
  // sibling); its index. `depth` is 1 for a top-level block, and a block
  // deeper than kMaxNestingDepth fails. A block that fails may leave the
  // nodes read before the failure in the graph.
  std::optional<model::NodeIndex> read(Input& in, model::SceneGraph& graph, model::NodeIndex parent,
                                       std::size_t depth = 1);

  // A block whose body is being read.
  struct Open;

  NodeReader();
  ~NodeReader();
  NodeReader(const NodeReader&) = delete;
  NodeReader& operator=(const NodeReader&) = delete;

 private:
  std::vector<Open> open_;
};

// One block with a reader of its own.
std::optional<model::NodeIndex> parse_node(Input& in, model::SceneGraph& graph, model::NodeIndex parent,
                                           std::size_t depth = 1);

// --- edges and constraints --------------------------------------------------

// "edge " [@id] "{" items "}".
std::optional<model::Edge> parse_edge_block(Input& in);
// "@id -> kind: args", attached to the node of that id if it exists yet.
bool parse_constraint_line(Input& in, model::SceneGraph& graph);

// --- inline scanners ----------------------------------------------------------
// The hot paths of the scanners above, for ASCII; anything else goes on in
// the general code.

namespace scan {

constexpr std::array<bool, 256> make_ascii_ident() {
  std::array<bool, 256> table{};
  for (int c = 0; c < 128; ++c) {
    table[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  }
  return table;
}
inline constexpr std::array<bool, 256> kAsciiIdent = make_ascii_ident();

inline bool ascii_white_space(unsigned char c) { return (c >= 0x09 && c <= 0x0D) || c == 0x20; }

// The identifier run of `text` from byte `at` on, `at` being the end of its
// ASCII start.
std::size_t ident_run_from(std::string_view text, std::size_t at);
// skip_leading_comments where the input starts with "#" or a non-ASCII byte.
void skip_leading_comments_from(Input& in);

}  // namespace scan

inline std::string_view take_blanks(Input& in) {
  std::size_t at = 0;
  while (at < in.size() && (in[at] == ' ' || in[at] == '\t')) ++at;
  const std::string_view taken = in.substr(0, at);
  in.remove_prefix(at);
  return taken;
}

inline std::optional<std::string_view> take_ident(Input& in) {
  std::size_t at = 0;
  while (at < in.size() && scan::kAsciiIdent[static_cast<unsigned char>(in[at])]) ++at;
  if (at < in.size() && static_cast<unsigned char>(in[at]) >= 0x80) at = scan::ident_run_from(in, at);
  if (at == 0) return std::nullopt;
  const std::string_view taken = in.substr(0, at);
  in.remove_prefix(at);
  return taken;
}

inline std::optional<std::string_view> take_key(Input& in) {
  const auto key = take_ident(in);
  if (!key) return std::nullopt;
  take_blanks(in);
  if (!consume(in, ':')) return std::nullopt;
  take_blanks(in);
  return key;
}

inline void skip_leading_comments(Input& in) {
  std::size_t at = 0;
  while (at < in.size() && scan::ascii_white_space(static_cast<unsigned char>(in[at]))) ++at;
  in.remove_prefix(at);
  if (!in.empty() && (in.front() == '#' || static_cast<unsigned char>(in.front()) >= 0x80)) {
    scan::skip_leading_comments_from(in);
  }
}

}  // namespace vesk_core::parser
