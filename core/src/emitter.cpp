#include "vesk/core/emitter.hpp"

#include "emitter_detail.hpp"

#include "vesk/core/chars.hpp"
#include "words.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>
#include <utility>
#include <vector>

namespace vesk_core::emitter {

using namespace model;
using emitter::detail::emit_anim;
using emitter::detail::emit_annotations;
using emitter::detail::emit_font_prop;
using emitter::detail::emit_node;
using emitter::detail::emit_paint_prop;

namespace {

void indent(std::string& out, std::size_t depth) {
  for (std::size_t i = 0; i < depth; ++i) out += "  ";
}

// Recently written identifiers: resolving one takes the interner's lock, and
// the same identifiers come back often (used styles, edge ends, nodes that
// share an id). Interned texts live as long as the process.
struct ResolvedId {
  std::uint32_t value = 0;  // no handle is 0
  std::string_view text;
};
thread_local std::array<ResolvedId, 256> tl_resolved;

void append_id(std::string& out, NodeId id) {
  ResolvedId& slot = tl_resolved[(id.value() * 2654435761u) >> 24];
  if (slot.value != id.value()) slot = {id.value(), id.resolve()};
  out += slot.text;
}

template <class Int>
void append_int(std::string& out, Int value) {
  char buf[24];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, res.ptr);
}

void append_color(std::string& out, const Color& color) { out += color.to_hex(); }

// ---- annotations -----------------------------------------------------------
//
// The quoted forms cannot hold a double quote and the unquoted forms are read
// up to the line end (free text) or the next ";" (keyed values), trimmed, and
// a value that opens with a quote is read as quoted. Where neither form reads
// back as the same annotation, a leading no-break space (white space that is
// not a blank, so the reader trims it instead of taking it as a quote or a
// key) keeps the unquoted form exact.

constexpr std::string_view kGuard = "\xC2\xA0";  // U+00A0

bool has_char(std::string_view text, char c) { return text.find(c) != std::string_view::npos; }

bool has_edge_space(std::string_view text) { return chars::trim(text).size() != text.size(); }

enum class Unquoted { Exact, Guarded, Impossible };

// How an unquoted keyed value reads back.
Unquoted unquoted_value(std::string_view value) {
  if (has_char(value, ';') || has_char(value, '\n') || has_edge_space(value)) return Unquoted::Impossible;
  if (!value.empty() && value.front() == '"') return Unquoted::Guarded;
  return Unquoted::Exact;
}

std::size_t blank_prefix(std::string_view text) {
  std::size_t n = 0;
  while (n < text.size() && (text[n] == ' ' || text[n] == '\t')) ++n;
  return n;
}

bool reserved_key(std::string_view key) { return words::read(words::kAnnotationKeys, key).has_value(); }

// How a free description written unquoted after "## " reads back.
Unquoted unquoted_description(std::string_view text) {
  if (has_char(text, '\n') || has_edge_space(text)) return Unquoted::Impossible;
  const std::size_t key_len = std::min(chars::span_of(text, chars::ident_char), text.size());
  if (key_len > 0) {
    std::string_view rest = text.substr(key_len);
    rest.remove_prefix(blank_prefix(rest));
    if (!rest.empty() && rest.front() == ':') {
      // Read as a keyed annotation: exact only in its normal form.
      rest.remove_prefix(1);
      rest.remove_prefix(blank_prefix(rest));
      const std::string_view key = text.substr(0, key_len);
      if (reserved_key(key) || has_char(rest, ';') || (!rest.empty() && rest.front() == '"')) {
        return Unquoted::Guarded;
      }
      const std::string_view value = chars::trim(rest);
      const bool normal = text.size() == key_len + 2 + value.size() && text.substr(key_len, 2) == ": " &&
                          text.substr(key_len + 2) == value;
      return normal ? Unquoted::Exact : Unquoted::Guarded;
    }
  }
  if (!text.empty() && text.front() == '"') return Unquoted::Guarded;
  return Unquoted::Exact;
}

// A text that no form can carry loses its double quotes to apostrophes.
void append_quoted_lossy(std::string& out, std::string_view text) {
  out.push_back('"');
  for (const char c : text) out.push_back(c == '"' ? '\'' : c);
  out.push_back('"');
}

void append_quoted(std::string& out, std::string_view text) {
  out.push_back('"');
  out += text;
  out.push_back('"');
}

void emit_free(std::string& out, std::string_view text) {
  out += "## ";
  if (!has_char(text, '"')) {
    append_quoted(out, text);
    return;
  }
  switch (unquoted_description(text)) {
    case Unquoted::Exact: out += text; break;
    case Unquoted::Guarded:
      out += kGuard;
      out += text;
      break;
    case Unquoted::Impossible: append_quoted_lossy(out, text); break;
  }
}

void emit_keyed(std::string& out, std::string_view key, std::string_view value, bool prefer_quoted) {
  out += "## ";
  out += key;
  out += ": ";
  const bool has_quote = has_char(value, '"');
  if (prefer_quoted && !has_quote) {
    append_quoted(out, value);
    return;
  }
  switch (unquoted_value(value)) {
    case Unquoted::Exact: out += value; break;
    case Unquoted::Guarded:
      out += kGuard;
      out += value;
      break;
    case Unquoted::Impossible:
      if (has_quote) {
        append_quoted_lossy(out, value);
      } else {
        append_quoted(out, value);
      }
      break;
  }
}

// ---- other lines -----------------------------------------------------------

void emit_stroke(std::string& out, const Stroke& stroke, std::size_t depth) {
  indent(out, depth);
  out += "stroke: ";
  if (const auto* solid = std::get_if<Paint::Solid>(&stroke.paint.value)) {
    append_color(out, solid->color);
  } else {
    out += "#000";
  }
  out.push_back(' ');
  append_num(out, stroke.width);
  out.push_back('\n');
}

void emit_num_line(std::string& out, std::string_view key, float value, std::size_t depth) {
  indent(out, depth);
  out += key;
  out += ": ";
  append_num(out, value);
  out.push_back('\n');
}

void emit_head(std::string& out, const SceneNode& node) {
  if (const auto word = words::node_word(node.kind)) {
    out += *words::spelling(words::kNodeKinds, *word);
    out.push_back(' ');
  }
  if (!std::holds_alternative<NodeKind::Root>(node.kind.value)) out.push_back('@');
  append_id(out, node.id);
  if (const auto* text = std::get_if<NodeKind::Text>(&node.kind.value)) {
    out.push_back(' ');
    append_quoted(out, text->content);
  }
  out += " {\n";
}

void emit_layout_or_size(std::string& out, const NodeKind& kind, std::size_t depth) {
  auto size_line = [&](float w, float h) {
    indent(out, depth);
    out += "w: ";
    append_num(out, w);
    out += " h: ";
    append_num(out, h);
    out.push_back('\n');
  };
  if (const auto* group = std::get_if<NodeKind::Group>(&kind.value)) {
    const auto& layout = group->layout.value;
    auto gap_pad = [&](float gap, float pad) {
      out += " gap=";
      append_num(out, gap);
      out += " pad=";
      append_num(out, pad);
      out.push_back('\n');
    };
    auto head = [&](words::LayoutWord word) {
      indent(out, depth);
      out += "layout: ";
      out += *words::spelling(words::kLayouts, word);
    };
    if (const auto* column = std::get_if<LayoutMode::Column>(&layout)) {
      head(words::LayoutWord::Column);
      gap_pad(column->gap, column->pad);
    } else if (const auto* row = std::get_if<LayoutMode::Row>(&layout)) {
      head(words::LayoutWord::Row);
      gap_pad(row->gap, row->pad);
    } else if (const auto* grid = std::get_if<LayoutMode::Grid>(&layout)) {
      head(words::LayoutWord::Grid);
      out += " cols=";
      append_int(out, grid->cols);
      gap_pad(grid->gap, grid->pad);
    }
  } else if (const auto* rect = std::get_if<NodeKind::Rect>(&kind.value)) {
    size_line(rect->width, rect->height);
  } else if (const auto* ellipse = std::get_if<NodeKind::Ellipse>(&kind.value)) {
    size_line(ellipse->rx, ellipse->ry);
  }
}

void emit_comments(std::string& out, const SceneNode& node, std::size_t depth) {
  for (const std::string& comment : node.comments) {
    indent(out, depth);
    out += "# ";
    out += comment;
    out.push_back('\n');
  }
}

// Everything of a node's block before its children.
void emit_node_open(std::string& out, const SceneNode& node, std::size_t depth) {
  emit_comments(out, node, depth);
  indent(out, depth);
  emit_head(out, node);
  const std::size_t inner = depth + 1;
  emit_annotations(out, node.annotations, inner);
  emit_layout_or_size(out, node.kind, inner);
  for (const NodeId name : node.use_styles) {
    indent(out, inner);
    out += "use: ";
    append_id(out, name);
    out.push_back('\n');
  }
  const Style& style = node.style.get();
  if (style.fill) emit_paint_prop(out, *style.fill, inner);
  if (style.stroke) emit_stroke(out, *style.stroke, inner);
  if (style.corner_radius) emit_num_line(out, "corner", *style.corner_radius, inner);
  if (style.font) emit_font_prop(out, *style.font, inner);
  if (style.opacity) emit_num_line(out, "opacity", *style.opacity, inner);
}

// Everything of a node's block after its children.
void emit_node_close(std::string& out, const SceneNode& node, std::size_t depth) {
  for (const AnimKeyframe& anim : node.animations) emit_anim(out, anim, depth + 1);
  indent(out, depth);
  out += "}\n";
}

void emit_constraint(std::string& out, NodeId owner, const Constraint& constraint) {
  out.push_back('@');
  append_id(out, owner);
  out += " -> ";
  std::visit(
      [&](const auto& c) {
        using C = std::decay_t<decltype(c)>;
        if constexpr (std::is_same_v<C, Constraint::CenterIn>) {
          out += "center_in: ";
          append_id(out, c.target);
        } else if constexpr (std::is_same_v<C, Constraint::Offset>) {
          out += "offset: @";
          append_id(out, c.from);
          out.push_back(' ');
          append_num(out, c.dx);
          out += ", ";
          append_num(out, c.dy);
        } else if constexpr (std::is_same_v<C, Constraint::FillParent>) {
          out += "fill_parent: ";
          append_num(out, c.pad);
        } else {
          out += "absolute: ";
          append_num(out, c.x);
          out += ", ";
          append_num(out, c.y);
        }
      },
      constraint.value);
  out.push_back('\n');
}

void emit_edge(std::string& out, const Edge& edge) {
  out += "edge @";
  append_id(out, edge.id);
  out += " {\n";
  emit_annotations(out, edge.annotations, 1);
  out += "  from: @";
  append_id(out, edge.from);
  out += "\n  to: @";
  append_id(out, edge.to);
  out.push_back('\n');
  if (edge.label) {
    out += "  label: ";
    append_quoted(out, *edge.label);
    out.push_back('\n');
  }
  for (const NodeId name : edge.use_styles) {
    out += "  use: ";
    append_id(out, name);
    out.push_back('\n');
  }
  if (edge.style.stroke) emit_stroke(out, *edge.style.stroke, 1);
  if (edge.style.opacity) emit_num_line(out, "opacity", *edge.style.opacity, 1);
  if (const auto word = words::spelling(words::kArrows, edge.arrow)) {
    out += "  arrow: ";
    out += *word;
    out.push_back('\n');
  }
  if (const auto word = words::spelling(words::kCurves, edge.curve)) {
    out += "  curve: ";
    out += *word;
    out.push_back('\n');
  }
  if (edge.flow) {
    out += "  flow: ";
    out += *words::spelling(words::kFlows, edge.flow->kind);
    out.push_back(' ');
    append_int(out, edge.flow->duration_ms);
    out += "ms\n";
  }
  for (const AnimKeyframe& anim : edge.animations) emit_anim(out, anim, 1);
  out += "}\n";
}

}  // namespace

void append_num(std::string& out, float value) {
  if (value == std::floor(value)) {  // whole, or an infinity
    std::int32_t whole;
    if (value >= 2147483648.0f) {
      whole = std::numeric_limits<std::int32_t>::max();
    } else if (value < -2147483648.0f) {
      whole = std::numeric_limits<std::int32_t>::min();
    } else {
      whole = static_cast<std::int32_t>(value);
    }
    append_int(out, whole);
    return;
  }
  if (std::isnan(value)) {
    out += "NaN";
    return;
  }
  // |value| < 2^23 here, and value * 100 is exact in a double (24 + 7 bits),
  // so rounding the product rounds the exact value.
  const double scaled = std::fabs(static_cast<double>(value) * 100.0);
  double hundredths = std::floor(scaled);
  const double rest = scaled - hundredths;
  if (rest > 0.5 || (rest == 0.5 && std::fmod(hundredths, 2.0) != 0.0)) hundredths += 1.0;
  const auto h = static_cast<std::uint64_t>(hundredths);
  const std::size_t start = out.size();
  if (std::signbit(value)) out.push_back('-');
  append_int(out, h / 100);
  out.push_back('.');
  out.push_back(static_cast<char>('0' + (h / 10) % 10));
  out.push_back(static_cast<char>('0' + h % 10));
  std::size_t end = out.size();
  while (end > start && out[end - 1] == '0') --end;
  while (end > start && out[end - 1] == '.') --end;
  out.resize(end);
}

std::string format_num(float value) {
  std::string out;
  append_num(out, value);
  return out;
}

namespace detail {

void emit_paint_prop(std::string& out, const Paint& paint, std::size_t depth) {
  indent(out, depth);
  out += "fill: ";
  if (const auto* solid = std::get_if<Paint::Solid>(&paint.value)) {
    append_color(out, solid->color);
  } else if (const auto* linear = std::get_if<Paint::LinearGradient>(&paint.value)) {
    out += "linear(";
    append_num(out, linear->angle);
    out += "deg";
    for (const GradientStop& stop : linear->stops) {
      out += ", ";
      append_color(out, stop.color);
      out.push_back(' ');
      append_num(out, stop.offset);
    }
    out.push_back(')');
  } else if (const auto* radial = std::get_if<Paint::RadialGradient>(&paint.value)) {
    out += "radial(";
    bool first = true;
    for (const GradientStop& stop : radial->stops) {
      if (!first) out += ", ";
      first = false;
      append_color(out, stop.color);
      out.push_back(' ');
      append_num(out, stop.offset);
    }
    out.push_back(')');
  }
  out.push_back('\n');
}

void emit_font_prop(std::string& out, const FontSpec& font, std::size_t depth) {
  indent(out, depth);
  out += "font: ";
  append_quoted(out, font.family);
  out.push_back(' ');
  append_int(out, font.weight);
  out.push_back(' ');
  append_num(out, font.size);
  out.push_back('\n');
}

void emit_annotations(std::string& out, std::span<const Annotation> annotations, std::size_t depth) {
  for (const Annotation& annotation : annotations) {
    indent(out, depth);
    if (const auto key = words::spelling(words::kAnnotationKeys, annotation.kind)) {
      // Acceptance texts are usually sentences: quoted when they can be.
      emit_keyed(out, *key, annotation.text, annotation.kind == Annotation::Kind::Accept);
    } else {
      emit_free(out, annotation.text);
    }
    out.push_back('\n');
  }
}

void emit_anim(std::string& out, const AnimKeyframe& anim, std::size_t depth) {
  indent(out, depth);
  out += "anim :";
  out += words::spelling(words::kTriggers, anim.trigger.kind).value_or(anim.trigger.custom);
  out += " {\n";
  const std::size_t inner = depth + 1;
  if (anim.fill) emit_paint_prop(out, *anim.fill, inner);
  if (anim.opacity) emit_num_line(out, "opacity", *anim.opacity, inner);
  if (anim.scale) emit_num_line(out, "scale", *anim.scale, inner);
  if (anim.rotate) emit_num_line(out, "rotate", *anim.rotate, inner);
  indent(out, inner);
  out += "ease: ";
  out += *words::spelling(words::kEasings, anim.easing.kind);
  out.push_back(' ');
  append_int(out, anim.duration_ms);
  out += "ms\n";
  indent(out, depth);
  out += "}\n";
}

void emit_node(std::string& out, const SceneGraph& graph, NodeIndex index, std::size_t depth) {
  // The open blocks, innermost last, each with the child to write next.
  struct Frame {
    NodeIndex node;
    NodeIndex next_child;
  };
  std::vector<Frame> stack;
  auto open = [&](NodeIndex at, std::size_t level) {
    const SceneNode& node = graph.node(at);
    if (std::holds_alternative<NodeKind::Root>(node.kind.value)) {
      emit_comments(out, node, level);
      indent(out, level);  // the root has no head: its block stops here
      return;
    }
    emit_node_open(out, node, level);
    stack.push_back(Frame{at, graph.first_child(at)});
  };
  open(index, depth);
  while (!stack.empty()) {
    Frame& top = stack.back();
    const std::size_t level = depth + stack.size() - 1;
    if (top.next_child != SceneGraph::none) {
      const NodeIndex child = top.next_child;
      top.next_child = graph.next_sibling(child);
      open(child, level + 1);  // may reallocate the stack: `top` is dead here
      continue;
    }
    emit_node_close(out, graph.node(top.node), level);
    stack.pop_back();
  }
}

}  // namespace detail

std::string emit_document(const SceneGraph& graph) {
  std::string out;
  out.reserve(1024);
  emit_document_into(graph, out);
  return out;
}

void emit_document_into(const SceneGraph& graph, std::string& out) {
  out.clear();
  // Every node but the root writes at least "@" + id + " {\n}\n": room for
  // that much at once rather than growing (and copying) along the way.
  const std::size_t least = 8 * (graph.node_count() - 1);
  if (least > out.capacity()) out.reserve(std::bit_ceil(least));

  for (const Import& import : graph.imports) {
    out += "import ";
    append_quoted(out, import.path);
    out += " as ";
    out += import.alias;
    out.push_back('\n');
  }
  if (!graph.imports.empty()) out.push_back('\n');

  std::vector<std::pair<std::string_view, const Style*>> styles;
  styles.reserve(graph.styles.size());
  for (const auto& [name, style] : graph.styles) styles.emplace_back(name.resolve(), &style);
  // string_view compares bytes as unsigned values.
  std::sort(styles.begin(), styles.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [name, style] : styles) {
    out += "style ";
    out += name;
    out += " {\n";
    if (style->fill) emit_paint_prop(out, *style->fill, 1);
    if (style->font) emit_font_prop(out, *style->font, 1);
    if (style->corner_radius) emit_num_line(out, "corner", *style->corner_radius, 1);
    if (style->opacity) emit_num_line(out, "opacity", *style->opacity, 1);
    out += "}\n\n";
  }

  for (NodeIndex child = graph.first_child(graph.root); child != SceneGraph::none; child = graph.next_sibling(child)) {
    emit_node(out, graph, child, 0);
    out.push_back('\n');
  }

  for (const SceneNode& node : graph.nodes()) {
    for (const Constraint& constraint : node.constraints) emit_constraint(out, node.id, constraint);
  }

  for (const Edge& edge : graph.edges) emit_edge(out, edge);
}

}  // namespace vesk_core::emitter
