#include "hover.hpp"

#include "position.hpp"
#include "protocol.hpp"

#include "vesk/core/id.hpp"
#include "vesk/core/transform.hpp"

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace vesk_lsp::hover {

namespace {

using vesk_core::model::NodeKind;

struct KeywordDoc {
  std::string_view word;
  std::string_view text;
};

constexpr std::string_view kHeightDoc = "**h:** \u2014 Height of the element in pixels.";
constexpr std::string_view kWidthDoc = "**w:** \u2014 Width of the element in pixels.";

constexpr KeywordDoc kKeywordDocs[] = {
    {"h", kHeightDoc},
    {"height", kHeightDoc},
    {"w", kWidthDoc},
    {"width", kWidthDoc},
    {"bg",
     "**bg:** \u2014 Background fill with inline corner/shadow.\n\n"
     "Format: `bg: #COLOR corner=N shadow=(x,y,blur,#COL)`"},
    {"use", "**use:** \u2014 Reference a named style definition.\n\nExample: `use: accent`"},
    {"row", "**row** \u2014 Horizontal stack layout.\n\nModifiers: `gap=N` `pad=N`"},
    {"tag", "**## tag:** \u2014 Tag annotation.\n\nFormat: `## tag: category_name`"},
    {"rect",
     "**rect** \u2014 Rectangle shape.\n\n"
     "Properties: `w:` `h:` `fill:` `stroke:` `corner:` `opacity:`"},
    {"text",
     "**text** \u2014 Text label node.\n\n"
     "Inline content: `text @id \"content\" { ... }`\nProperties: `font:` `fill:` `opacity:`"},
    {"path", "**path** \u2014 Freeform vector path.\n\nSupports SVG-like path commands."},
    {"fill", "**fill:** \u2014 Fill color.\n\nAccepts hex: `#RGB`, `#RRGGBB`, `#RRGGBBAA`"},
    {"font",
     "**font:** \u2014 Font specification.\n\n"
     "Format: `font: \"Family\" weight size`\nExample: `font: \"Inter\" 600 24`"},
    {"grid", "**grid** \u2014 Grid layout.\n\nModifiers: `cols=N` `gap=N` `pad=N`"},
    {"anim",
     "**anim** \u2014 Animation block.\n\n"
     "Format: `anim :trigger { props }`\nTriggers: `:hover`, `:press`, `:enter`"},
    {"ease",
     "**ease:** \u2014 Easing function.\n\n"
     "Values: `linear`, `ease_in`, `ease_out`, `ease_in_out`, `spring`\nFormat: `ease: spring 300ms`"},
    {"group",
     "**group** \u2014 Container node for child elements.\n\n"
     "Supports `layout:` for automatic arrangement of children."},
    {"style",
     "**style** \u2014 Reusable style definition.\n\n"
     "Define once, apply to nodes with `use: style_name`."},
    {"stroke", "**stroke:** \u2014 Stroke color and width.\n\nFormat: `stroke: #COLOR width`"},
    {"corner", "**corner:** \u2014 Corner radius for rounded shapes."},
    {"layout",
     "**layout:** \u2014 Children arrangement mode.\n\n"
     "Values: `column`, `row`, `grid`, `free`\nModifiers: `gap=N`, `pad=N`, `cols=N`"},
    {"column", "**column** \u2014 Vertical stack layout.\n\nModifiers: `gap=N` `pad=N`"},
    {"spring", "**spring** \u2014 Spring physics easing.\n\nnatural bounce animation."},
    {"accept",
     "**## accept:** \u2014 Acceptance criterion annotation.\n\n"
     "Format: `## accept: \"description\"`"},
    {"status",
     "**## status:** \u2014 Status annotation.\n\n"
     "Values: `draft`, `in_progress`, `review`, `done`"},
    {"ellipse",
     "**ellipse** \u2014 Ellipse or circle shape.\n\n"
     "Properties: `w:` (rx) `h:` (ry) `fill:` `stroke:` `opacity:`"},
    {"opacity", "**opacity:** \u2014 Opacity value from 0.0 (transparent) to 1.0 (opaque)."},
    {"priority",
     "**## priority:** \u2014 Priority annotation.\n\n"
     "Values: `low`, `medium`, `high`, `critical`"},
};

// ASCII letters and digits, "_", "#" and "@"; no byte of a non-ASCII character.
constexpr bool word_byte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '#' || c == '@';
}

std::optional<std::string_view> keyword_doc(std::string_view word) {
  for (const auto& doc : kKeywordDocs) {
    if (doc.word == word) return doc.text;
  }
  return std::nullopt;
}

std::string named(std::string_view name, std::string_view id) {
  std::string out = "**";
  out.append(name).append("** `@").append(id).append("`");
  return out;
}

std::string node_summary(const NodeKind& kind, std::string_view id) {
  using vesk_core::transform::append_plain_float;
  struct Visitor {
    std::string_view id;
    std::string operator()(const NodeKind::Root&) const { return named("Root", id); }
    std::string operator()(const NodeKind::Generic&) const { return named("Generic (placeholder)", id); }
    std::string operator()(const NodeKind::Group&) const { return named("Group", id); }
    std::string operator()(const NodeKind::Rect& rect) const {
      std::string out = "**Rect** \u2014 ";
      append_plain_float(out, rect.width);
      out.append("\u00D7");
      append_plain_float(out, rect.height);
      return out;
    }
    std::string operator()(const NodeKind::Ellipse& ellipse) const {
      std::string out = "**Ellipse** \u2014 rx=";
      append_plain_float(out, ellipse.rx);
      out.append(", ry=");
      append_plain_float(out, ellipse.ry);
      return out;
    }
    std::string operator()(const NodeKind::Path& path) const {
      return "**Path** \u2014 " + std::to_string(path.commands.size()) + " commands";
    }
    std::string operator()(const NodeKind::Text& text) const {
      std::string out = "**Text** \u2014 \"";
      out.append(text.content).append("\"");
      return out;
    }
  };
  return std::visit(Visitor{id}, kind.value);
}

std::optional<std::string> hover_text(std::string_view text, std::uint32_t line_number, std::uint32_t character,
                                      const vesk_core::model::SceneGraph* graph) {
  const auto line = position::line_at(text, line_number);
  if (!line) return std::nullopt;
  const std::size_t cursor = position::byte_offset(*line, character);
  std::size_t start = cursor;
  while (start > 0 && word_byte((*line)[start - 1])) --start;
  std::size_t end = cursor;
  while (end < line->size() && word_byte((*line)[end])) ++end;
  const std::string_view word = line->substr(start, end - start);
  if (word.empty()) return std::nullopt;

  if (word.front() == '@') {
    if (graph == nullptr) return std::nullopt;
    const std::string_view id = word.substr(1);
    const auto known = vesk_core::id::NodeId::lookup(id);
    const auto* node = known ? graph->get_by_id(*known) : nullptr;
    if (node == nullptr) return std::nullopt;
    return node_summary(node->kind, id);
  }
  if (const auto doc = keyword_doc(word)) return std::string(*doc);
  return std::nullopt;
}

}  // namespace

boost::json::value compute_hover(std::string_view text, std::uint32_t line, std::uint32_t character,
                                 const vesk_core::model::SceneGraph* graph) {
  auto value = hover_text(text, line, character, graph);
  if (!value) return nullptr;
  protocol::Hover hover;
  hover.contents = {protocol::MarkupKind::Markdown, std::move(*value)};
  return protocol::to_json(hover);
}

}  // namespace vesk_lsp::hover
