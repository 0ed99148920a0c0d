#include "parser_detail.hpp"
#include "vesk/core/parser.hpp"

#include <new>
#include <string>
#include <utility>

namespace vesk_core::parser {

namespace {

enum class Construct : std::uint8_t { Node, Style, Edge, Import, Constraint };

Result<model::SceneGraph> failure(Construct construct) {
  std::string_view prefix;
  switch (construct) {
    case Construct::Node: prefix = "Node parse error: "; break;
    case Construct::Style: prefix = "Style parse error: "; break;
    case Construct::Edge: prefix = "Edge parse error: "; break;
    case Construct::Import: prefix = "Import parse error: "; break;
    case Construct::Constraint: prefix = "Constraint parse error: "; break;
  }
  std::string message;
  message.reserve(prefix.size() + kFailureText.size());
  message.append(prefix).append(kFailureText);
  return Result<model::SceneGraph>::failure(std::move(message));
}

// import "path" as alias
bool parse_import_line(Input& in, model::SceneGraph& graph) {
  consume(in, "import");
  if (!take_blanks1(in)) return false;
  const auto path = parse_quoted_string(in);
  if (!path || !take_blanks1(in)) return false;
  if (!consume(in, "as") || !take_blanks1(in)) return false;
  const auto alias = take_ident(in);
  if (!alias) return false;
  skip_opt_separator(in);
  graph.imports.push_back(model::Import{std::string(*path), std::string(*alias)});
  return true;
}

// style name { fill / font / corner / opacity items }
bool parse_style_block(Input& in, model::SceneGraph& graph) {
  consume(in, "style");
  if (!take_blanks1(in)) return false;
  const auto name = take_ident(in);
  if (!name) return false;
  const NodeId style_id = NodeId::intern(*name);
  take_blanks(in);
  if (!consume(in, '{')) return false;

  model::Style style;
  skip_leading_comments(in);
  for (;;) {
    if (consume(in, '}')) break;
    const auto key = take_key(in);
    if (!key) return false;
    if (*key == "fill") {
      const auto color = parse_hex_color(in);
      if (!color) return false;
      style.fill = model::Paint::solid(*color);
    } else if (*key == "font") {
      if (!parse_font_value(in, style.font)) return false;
    } else if (*key == "corner") {
      const auto n = parse_number(in);
      if (!n) return false;
      style.corner_radius = *n;
    } else if (*key == "opacity") {
      const auto n = parse_number(in);
      if (!n) return false;
      style.opacity = *n;
    } else {
      take_till_value_end(in);
    }
    skip_opt_separator(in);
    skip_leading_comments(in);
  }
  graph.styles.insert_or_assign(style_id, std::move(style));
  return true;
}

// The rest of the line and its newline.
void skip_line(Input& in) {
  take_till_line_end(in);
  consume(in, '\n');
}

bool parse_top_level_node(Input& in, model::SceneGraph& graph, NodeReader& reader, model::List<std::string>& pending) {
  const auto index = reader.read(in, graph, model::SceneGraph::root, 1);
  if (!index) return false;
  graph.node(*index).comments = std::move(pending);
  return true;
}

// Room for the nodes of `text`, from its size alone: scanning the text to
// count them costs more than the index's growth that a good guess saves
// (node records never move, whatever the guess). A generated scene runs at
// about 190 bytes per node.
std::size_t node_estimate(std::string_view text) { return text.size() / 256 + 1; }

// Room for the edges, from the size alone too (a generated scene runs at about
// 1,800 bytes per edge); an edge list that outgrows it moves its records.
std::size_t edge_estimate(std::string_view text) { return text.size() / 1024; }

}  // namespace

Result<model::SceneGraph> parse_document(std::string_view text) {
  // Unnamed nodes and edges are numbered from 0 in every parse.
  const id::IdNumbering numbering;
  model::SceneGraph graph;
  try {
    graph.reserve(node_estimate(text));
    graph.edges.reserve(edge_estimate(text));
  } catch (const std::bad_alloc&) {
    // Only a hint: the lists grow as they are filled.
  }
  Input in = text;
  // One byte-order mark at the very start is not part of the document.
  consume(in, "\xEF\xBB\xBF");
  NodeReader reader;
  model::List<std::string> pending;
  collect_leading_comments(in, pending);

  while (!in.empty()) {
    if (starts_with(in, "import ")) {
      if (!parse_import_line(in, graph)) return failure(Construct::Import);
    } else if (starts_with(in, "style ")) {
      if (!parse_style_block(in, graph)) return failure(Construct::Style);
    } else if (starts_with(in, "##")) {
      skip_line(in);
    } else if (starts_with(in, '@')) {
      if (is_node_head(in)) {
        if (!parse_top_level_node(in, graph, reader, pending)) return failure(Construct::Node);
      } else if (!parse_constraint_line(in, graph)) {
        return failure(Construct::Constraint);
      }
    } else if (starts_with(in, "edge ")) {
      auto edge = parse_edge_block(in);
      if (!edge) return failure(Construct::Edge);
      graph.edges.push_back(std::move(*edge));
    } else if (node_keyword_prefix(in) != nullptr) {
      if (!parse_top_level_node(in, graph, reader, pending)) return failure(Construct::Node);
    } else {
      skip_line(in);
    }
    pending.clear();
    collect_leading_comments(in, pending);
  }
  return Result<model::SceneGraph>::success(std::move(graph));
}

}  // namespace vesk_core::parser
