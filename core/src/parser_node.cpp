#include "vesk/core/parser.hpp"
#include "vesk/core/parser_detail.hpp"

#include <array>
#include <utility>

namespace vesk_core::parser {

namespace {

using model::NodeKind;

enum class Head : std::uint8_t { Group, Rect, Ellipse, Path, Text, Generic };

struct Keyword {
  std::string_view word;
  Head head;
};
constexpr std::array<Keyword, 5> kKeywords{{
    {"group", Head::Group},
    {"rect", Head::Rect},
    {"ellipse", Head::Ellipse},
    {"path", Head::Path},
    {"text", Head::Text},
}};

// The keyword the input starts with (a bare prefix test).
std::optional<Head> keyword_prefix(Input in) {
  for (const Keyword& k : kKeywords) {
    if (starts_with(in, k.word)) return k.head;
  }
  return std::nullopt;
}

// Inside a body a keyword starts a child only when a blank, '"', "@" or "{" follows.
bool child_keyword(Input in) {
  for (const Keyword& k : kKeywords) {
    if (!starts_with(in, k.word)) continue;
    if (in.size() == k.word.size()) return false;
    const char next = in[k.word.size()];
    return next == ' ' || next == '\t' || next == '"' || next == '@' || next == '{';
  }
  return false;
}

// Everything of a body that the closing step turns into the kind.
struct Slots {
  std::optional<float> width;
  std::optional<float> height;
  model::LayoutMode layout;
};

NodeKind build_kind(Head head, Slots& slots, std::string& content) {
  switch (head) {
    case Head::Group:
      return NodeKind{NodeKind::Group{std::move(slots.layout)}};
    case Head::Rect:
      return NodeKind{NodeKind::Rect{slots.width.value_or(100), slots.height.value_or(100)}};
    case Head::Ellipse:
      return NodeKind{NodeKind::Ellipse{slots.width.value_or(50), slots.height.value_or(50)}};
    case Head::Path:
      return NodeKind{NodeKind::Path{}};
    case Head::Text:
      return NodeKind{NodeKind::Text{std::move(content)}};
    case Head::Generic:
      break;
  }
  return NodeKind{NodeKind::Generic{}};
}

bool read_node(Input& in, std::size_t depth, ParsedNode& node);

// Stands in for the id until the head is read.
NodeId placeholder_id() {
  static const NodeId id = NodeId::intern("root");
  return id;
}

// Reads one body item into `node`; a child is read in place at the end of
// `node.children`.
bool parse_body_item(Input& in, ParsedNode& node, Slots& slots, std::size_t depth) {
  if (starts_with(in, "##")) {
    auto annotation = parse_annotation(in);
    if (!annotation) return false;
    node.annotations.push_back(std::move(*annotation));
    return true;
  }
  if ((starts_with(in, '@') && is_node_head(in)) || child_keyword(in)) {
    return read_node(in, depth + 1, node.children.emplace_back(placeholder_id()));
  }
  if (starts_with(in, "anim")) {
    auto frame = parse_anim_block(in);
    if (!frame) return false;
    node.animations.push_back(std::move(*frame));
    return true;
  }
  return parse_node_property(in, node.style, node.use_styles, slots.width, slots.height,
                             slots.layout);
}

// The head and body of one block, into `node`.
bool read_node(Input& in, std::size_t depth, ParsedNode& node) {
  if (depth > kMaxNestingDepth) return false;

  Head head = Head::Generic;
  if (!starts_with(in, '@')) {
    const auto keyword = keyword_prefix(in);
    if (!keyword) return false;
    head = *keyword;
    in.remove_prefix(kKeywords[static_cast<std::size_t>(head)].word.size());
  }
  take_blanks(in);

  if (consume(in, '@')) {
    const auto ident = take_ident(in);
    if (!ident) return false;
    node.id = NodeId::intern(*ident);
  } else {
    node.id = NodeId::with_prefix("_anon");
  }
  take_blanks(in);

  std::string content;
  if (head == Head::Text && starts_with(in, '"')) {
    const auto quoted = parse_quoted_string(in);
    if (!quoted) return false;
    content.assign(quoted->data(), quoted->size());
  }
  take_blanks(in);
  if (!consume(in, '{')) return false;

  Slots slots;
  for (;;) {
    skip_leading_comments(in);
    if (consume(in, '}')) break;
    if (!parse_body_item(in, node, slots, depth)) return false;
  }
  node.kind = build_kind(head, slots, content);
  return true;
}

model::SceneNode to_scene_node(ParsedNode& record) {
  model::SceneNode scene_node(record.id, std::move(record.kind));
  scene_node.style = std::move(record.style);
  for (NodeId use : record.use_styles) scene_node.use_styles.push_back(use);
  for (auto& constraint : record.constraints) scene_node.constraints.push_back(std::move(constraint));
  for (auto& frame : record.animations) scene_node.animations.push_back(std::move(frame));
  scene_node.annotations = std::move(record.annotations);
  scene_node.comments = std::move(record.comments);
  return scene_node;
}

}  // namespace

ParsedNode::~ParsedNode() {
  if (children.empty()) return;
  // Flatten the subtree onto a work list so that no destructor recurses.
  std::vector<ParsedNode> pending = std::move(children);
  children.clear();
  while (!pending.empty()) {
    ParsedNode last = std::move(pending.back());
    pending.pop_back();
    for (ParsedNode& child : last.children) pending.push_back(std::move(child));
    last.children.clear();
  }
}

std::optional<ParsedNode> parse_node(Input& in, std::size_t depth) {
  std::optional<ParsedNode> node(std::in_place, placeholder_id());
  if (!read_node(in, depth, *node)) return std::nullopt;
  return node;
}

void insert_node_recursive(model::SceneGraph& graph, model::NodeIndex parent, ParsedNode node) {
  // Pre-order with an explicit stack: a parent before its children, children
  // front to back, each subtree before the next sibling.
  struct Pending {
    model::NodeIndex parent;
    ParsedNode* record;
  };
  std::vector<Pending> stack;
  stack.push_back({parent, &node});
  while (!stack.empty()) {
    const Pending top = stack.back();
    stack.pop_back();
    ParsedNode& record = *top.record;

    const model::NodeIndex index = graph.add_node(top.parent, to_scene_node(record));

    for (auto it = record.children.rbegin(); it != record.children.rend(); ++it) {
      stack.push_back({index, &*it});
    }
  }
}

}  // namespace vesk_core::parser
