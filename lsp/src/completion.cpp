#include "completion.hpp"

#include "position.hpp"
#include "protocol.hpp"

#include "vesk/core/chars.hpp"

#include <span>

namespace vesk_lsp::completion {

namespace {

using protocol::CompletionItem;
using Kind = protocol::CompletionItemKind;
constexpr auto kSnippet = protocol::InsertTextFormat::Snippet;

constexpr CompletionItem snippet(std::string_view label, Kind kind, std::string_view detail, std::string_view insert) {
  return {label, kind, detail, insert, kSnippet};
}
constexpr CompletionItem plain(std::string_view label, Kind kind, std::string_view detail) {
  return {label, kind, detail, std::nullopt, std::nullopt};
}

const CompletionItem kTopLevelSnippets[] = {
    snippet("import", Kind::Keyword, "Import another .vesk file", "import \"${1:path.vesk}\" as ${2:name}"),
    snippet("group", Kind::Keyword, "Group container for child nodes", "group @${1:name} {\n  $0\n}"),
    snippet("rect", Kind::Keyword, "Rectangle shape",
            "rect @${1:name} {\n  w: ${2:100} h: ${3:50}\n  fill: #${4:6C5CE7}\n}"),
    snippet("ellipse", Kind::Keyword, "Ellipse / circle shape",
            "ellipse @${1:name} {\n  w: ${2:50} h: ${3:50}\n  fill: #${4:FF6B6B}\n}"),
    snippet("text", Kind::Keyword, "Text label", "text @${1:name} \"${2:Hello}\" {\n  fill: #${3:333333}\n}"),
    snippet("path", Kind::Keyword, "Freeform path", "path @${1:name} {\n  $0\n}"),
    snippet("style", Kind::Keyword, "Reusable style block", "style ${1:name} {\n  fill: #${2:6C5CE7}\n}"),
};

// Properties, nested node keywords and block snippets, in answer order.
const CompletionItem kInBlockItems[] = {
    plain("w:", Kind::Property, "Width"),
    plain("h:", Kind::Property, "Height"),
    plain("fill:", Kind::Property, "Fill color"),
    plain("stroke:", Kind::Property, "Stroke color and width"),
    plain("corner:", Kind::Property, "Corner radius"),
    plain("opacity:", Kind::Property, "Opacity (0.0\u20131.0)"),
    plain("font:", Kind::Property, "Font family, weight, size"),
    plain("bg:", Kind::Property, "Background with inline shadow/corner"),
    plain("use:", Kind::Reference, "Reference a named style"),
    plain("layout:", Kind::Property, "Layout mode for children"),
    plain("group", Kind::Keyword, "Nested group"),
    plain("rect", Kind::Keyword, "Nested rectangle"),
    plain("ellipse", Kind::Keyword, "Nested ellipse"),
    plain("text", Kind::Keyword, "Nested text"),
    plain("path", Kind::Keyword, "Nested path"),
    snippet("anim", Kind::Snippet, "Animation block", "anim :${1|hover,press,enter|} {\n  $0\n}"),
    snippet("##", Kind::Snippet, "Annotation", "## \"${1:description}\""),
};

const CompletionItem kLayoutValues[] = {
    plain("column", Kind::EnumMember, "Vertical stack layout"),
    plain("row", Kind::EnumMember, "Horizontal stack layout"),
    plain("grid", Kind::EnumMember, "Grid layout"),
    plain("free", Kind::EnumMember, "Free / absolute positioning"),
};

const CompletionItem kEaseValues[] = {
    plain("linear", Kind::EnumMember, "Linear easing"),  plain("ease_in", Kind::EnumMember, "Ease in"),
    plain("ease_out", Kind::EnumMember, "Ease out"),     plain("ease_in_out", Kind::EnumMember, "Ease in-out"),
    plain("spring", Kind::EnumMember, "Spring physics"),
};

const CompletionItem kStatusValues[] = {
    plain("draft", Kind::EnumMember, "Draft status"),
    plain("in_progress", Kind::EnumMember, "In progress"),
    plain("review", Kind::EnumMember, "Under review"),
    plain("done", Kind::EnumMember, "Completed"),
};

const CompletionItem kPriorityValues[] = {
    plain("low", Kind::EnumMember, "Low priority"),
    plain("medium", Kind::EnumMember, "Medium priority"),
    plain("high", Kind::EnumMember, "High priority"),
    plain("critical", Kind::EnumMember, "Critical priority"),
};

boost::json::array to_array(std::span<const CompletionItem> items) {
  boost::json::array out;
  out.reserve(items.size());
  for (const auto& item : items) out.push_back(protocol::to_json(item));
  return out;
}

// The last whitespace-separated piece of `text` (empty when there is none).
std::string_view last_piece(std::string_view text) {
  using vesk_core::chars::decode_utf8;
  using vesk_core::chars::white_space;
  text = vesk_core::chars::trim(text);
  std::size_t start = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t length = 1;
    const char32_t c = decode_utf8(text.substr(at), length);
    at += length;
    if (white_space(c)) start = at;
  }
  // A piece that ends in a cut-off character still ends at the text's end.
  return start < text.size() ? text.substr(start) : std::string_view{};
}

std::span<const CompletionItem> values_for(std::string_view key) {
  if (key == "layout") return kLayoutValues;
  if (key == "ease") return kEaseValues;
  if (key == "status") return kStatusValues;
  if (key == "priority") return kPriorityValues;
  return {};
}

}  // namespace

boost::json::array compute_completions(std::string_view text, std::uint32_t line, std::uint32_t character) {
  // Everything before the cursor: the whole text when the line does not exist.
  std::string_view before = text;
  std::string_view prefix;
  if (const auto cursor_line = position::line_at(text, line)) {
    prefix = cursor_line->substr(0, position::byte_offset(*cursor_line, character));
    const auto line_start = static_cast<std::size_t>(cursor_line->data() - text.data());
    before = text.substr(0, line_start + prefix.size());
  }

  const std::string_view trimmed = vesk_core::chars::trim(prefix);
  if (!trimmed.empty() && trimmed.back() == ':') {
    return to_array(values_for(last_piece(trimmed.substr(0, trimmed.size() - 1))));
  }

  std::int64_t depth = 0;
  for (const char c : before) depth += static_cast<int>(c == '{') - static_cast<int>(c == '}');
  return depth < 1 ? to_array(kTopLevelSnippets) : to_array(kInBlockItems);
}

}  // namespace vesk_lsp::completion
