#include "parser_detail.hpp"
#include "words.hpp"

namespace vesk_core::parser {

namespace {

using model::ArrowKind;
using model::Constraint;
using model::CurveKind;
using model::Edge;
using model::FlowKind;
using model::Paint;

model::Stroke default_edge_stroke() {
  return model::Stroke{Paint::solid(model::Color{0.42f, 0.44f, 0.5f, 1.0f}), 1.5f};
}

ArrowKind arrow_of(std::string_view word) { return words::read(words::kArrows, word).value_or(ArrowKind::None); }

CurveKind curve_of(std::string_view word) { return words::read(words::kCurves, word).value_or(CurveKind::Straight); }

struct EdgeDraft {
  std::optional<NodeId> from;
  std::optional<NodeId> to;
  bool stroke_set = false;
};

// One `key: value` item of an edge block, without its separator.
bool parse_edge_item(Input& in, Edge& edge, EdgeDraft& draft) {
  const auto name = take_key(in);
  if (!name) return false;

  const std::string_view key = *name;
  if (key == "from" || key == "to") {
    const auto id = parse_node_id(in);
    if (!id) return false;
    (key == "from" ? draft.from : draft.to) = *id;
  } else if (key == "label") {
    const auto text = parse_quoted_string(in);
    if (!text) return false;
    edge.label = std::string(*text);
  } else if (key == "use") {
    const auto ident = take_ident(in);
    if (!ident) return false;
    edge.use_styles.push_back(NodeId::intern(*ident));
  } else if (key == "stroke") {
    const auto color = parse_hex_color(in);
    if (!color) return false;
    skip_space(in);
    // A missing width is 1; whatever the attempt consumed stays consumed.
    const auto width = parse_number(in);
    edge.style.stroke = model::Stroke{Paint::solid(*color), width.value_or(1.0f)};
    draft.stroke_set = true;
  } else if (key == "opacity") {
    const auto n = parse_number(in);
    if (!n) return false;
    edge.style.opacity = *n;
  } else if (key == "arrow") {
    const auto word = take_ident(in);
    if (!word) return false;
    edge.arrow = arrow_of(*word);
  } else if (key == "curve") {
    const auto word = take_ident(in);
    if (!word) return false;
    edge.curve = curve_of(*word);
  } else if (key == "flow") {
    const auto word = take_ident(in);
    if (!word) return false;
    model::FlowAnim flow;
    flow.kind = words::read(words::kFlows, *word).value_or(FlowKind::Pulse);
    take_blanks(in);
    if (const auto duration = parse_number(in)) flow.duration_ms = to_count(*duration);
    consume(in, "ms");
    edge.flow = flow;
  } else {
    take_till_value_end(in);
  }
  return true;
}

}  // namespace

std::optional<Edge> parse_edge_block(Input& in) {
  if (!consume(in, "edge")) return std::nullopt;
  if (!take_blanks1(in)) return std::nullopt;

  std::optional<NodeId> id;
  if (consume(in, '@')) {
    const auto ident = take_ident(in);
    if (!ident) return std::nullopt;
    id = NodeId::intern(*ident);
  } else {
    id = NodeId::with_prefix("_anon");
  }
  take_blanks(in);
  if (!consume(in, '{')) return std::nullopt;

  // `from` and `to` are placeholders until the closing step fills them.
  Edge edge{*id, *id, *id, {}, {}, {}, ArrowKind::None, CurveKind::Straight, {}, {}, {}};
  EdgeDraft draft;
  skip_leading_comments(in);
  for (;;) {
    if (consume(in, '}')) break;
    if (starts_with(in, "##")) {
      auto annotation = parse_annotation(in);
      if (!annotation) return std::nullopt;
      edge.annotations.push_back(std::move(*annotation));
    } else if (starts_with(in, "anim")) {
      auto frame = parse_anim_block(in);
      if (!frame) return std::nullopt;
      edge.animations.push_back(std::move(*frame));
    } else {
      if (!parse_edge_item(in, edge, draft)) return std::nullopt;
      skip_opt_separator(in);
    }
    skip_leading_comments(in);
  }

  if (!draft.stroke_set) edge.style.stroke = default_edge_stroke();
  edge.from = draft.from ? *draft.from : NodeId::intern("_missing");
  edge.to = draft.to ? *draft.to : NodeId::intern("_missing");
  return edge;
}

bool parse_constraint_line(Input& in, model::SceneGraph& graph) {
  if (!consume(in, '@')) return false;
  const auto ident = take_ident(in);
  if (!ident) return false;
  const NodeId owner = NodeId::intern(*ident);
  take_blanks(in);
  if (!consume(in, "->")) return false;
  take_blanks(in);
  const auto kind = take_key(in);
  if (!kind) return false;

  Constraint constraint{Constraint::Absolute{0, 0}};
  if (*kind == "center_in") {
    const auto target = take_ident(in);
    if (!target) return false;
    constraint.value = Constraint::CenterIn{NodeId::intern(*target)};
  } else if (*kind == "offset") {
    const auto from = parse_node_id(in);
    if (!from || !take_blanks1(in)) return false;
    const auto dx = parse_number(in);
    if (!dx) return false;
    skip_space(in);
    if (!consume(in, ',')) return false;
    skip_space(in);
    const auto dy = parse_number(in);
    if (!dy) return false;
    constraint.value = Constraint::Offset{*from, *dx, *dy};
  } else if (*kind == "fill_parent") {
    const Input saved = in;
    auto pad = parse_number(in);
    if (!pad) in = saved;
    constraint.value = Constraint::FillParent{pad.value_or(0.0f)};
  } else if (*kind == "absolute") {
    const auto x = parse_number(in);
    if (!x) return false;
    skip_space(in);
    if (!consume(in, ',')) return false;
    skip_space(in);
    const auto y = parse_number(in);
    if (!y) return false;
    constraint.value = Constraint::Absolute{*x, *y};
  } else {
    // An unknown kind skips its line and places the node at the origin.
    take_till_line_end(in);
  }
  consume(in, '\n');

  if (model::SceneNode* node = graph.get_by_id_mut(owner)) {
    node->constraints.emplace_back_in(&graph.arena(), std::move(constraint));
  }
  return true;
}

}  // namespace vesk_core::parser
