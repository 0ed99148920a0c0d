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

// The kind of a closed block; Path, Text and Generic blocks get theirs with
// the head.
void close_kind(Head head, Slots& slots, NodeKind& kind) {
  switch (head) {
    case Head::Group:
      kind.value = NodeKind::Group{std::move(slots.layout)};
      break;
    case Head::Rect:
      kind.value = NodeKind::Rect{slots.width.value_or(100), slots.height.value_or(100)};
      break;
    case Head::Ellipse:
      kind.value = NodeKind::Ellipse{slots.width.value_or(50), slots.height.value_or(50)};
      break;
    case Head::Path:
    case Head::Text:
    case Head::Generic:
      break;
  }
}

}  // namespace

struct NodeReader::Open {
  model::NodeIndex index;
  Head head;
  Slots slots;
};

NodeReader::NodeReader() = default;
NodeReader::~NodeReader() = default;

namespace {

// The head of a block up to its "{", added to the graph under `parent` and
// opened on `open`.
bool open_block(Input& in, model::SceneGraph& graph, model::NodeIndex parent, std::size_t depth,
                std::vector<NodeReader::Open>& open) {
  if (depth > kMaxNestingDepth) return false;

  Head head = Head::Generic;
  if (!starts_with(in, '@')) {
    const auto keyword = keyword_prefix(in);
    if (!keyword) return false;
    head = *keyword;
    in.remove_prefix(kKeywords[static_cast<std::size_t>(head)].word.size());
  }
  take_blanks(in);

  std::optional<NodeId> id;
  if (consume(in, '@')) {
    const auto ident = take_ident(in);
    if (!ident) return false;
    id = NodeId::intern(*ident);
  } else {
    id = NodeId::with_prefix("_anon");
  }
  take_blanks(in);

  std::string_view content;
  if (head == Head::Text && starts_with(in, '"')) {
    const auto quoted = parse_quoted_string(in);
    if (!quoted) return false;
    content = *quoted;
  }
  take_blanks(in);
  if (!consume(in, '{')) return false;

  NodeKind kind{NodeKind::Generic{}};
  if (head == Head::Path) kind.value = NodeKind::Path{};
  if (head == Head::Text) kind.value = NodeKind::Text{std::string(content)};
  const model::NodeIndex index = graph.add_node(parent, *id, std::move(kind));
  open.push_back(NodeReader::Open{index, head, {}});
  return true;
}

// Reads one body item of the innermost open block; a child's head opens it.
bool read_body_item(Input& in, model::SceneGraph& graph, std::size_t depth,
                    std::vector<NodeReader::Open>& open) {
  NodeReader::Open& top = open.back();
  model::SceneNode& node = graph.node(top.index);
  if (starts_with(in, "##")) {
    auto annotation = parse_annotation(in);
    if (!annotation) return false;
    node.annotations.emplace_back_in(&graph.arena(), std::move(*annotation));
    return true;
  }
  if ((starts_with(in, '@') && is_node_head(in)) || child_keyword(in)) {
    return open_block(in, graph, top.index, depth + 1, open);
  }
  if (starts_with(in, "anim")) {
    auto frame = parse_anim_block(in);
    if (!frame) return false;
    node.animations.emplace_back_in(&graph.arena(), std::move(*frame));
    return true;
  }
  return parse_node_property(in, node.style, node.use_styles, top.slots.width, top.slots.height,
                             top.slots.layout, &graph.arena());
}

}  // namespace

std::optional<model::NodeIndex> NodeReader::read(Input& in, model::SceneGraph& graph, model::NodeIndex parent,
                                                 std::size_t depth) {
  open_.clear();
  if (!open_block(in, graph, parent, depth, open_)) return std::nullopt;
  const model::NodeIndex first = open_.front().index;
  while (!open_.empty()) {
    skip_leading_comments(in);
    if (consume(in, '}')) {
      Open& top = open_.back();
      close_kind(top.head, top.slots, graph.node(top.index).kind);
      open_.pop_back();
      continue;
    }
    // The innermost open block is at depth + open_.size() - 1.
    if (!read_body_item(in, graph, depth + open_.size() - 1, open_)) return std::nullopt;
  }
  return first;
}

std::optional<model::NodeIndex> parse_node(Input& in, model::SceneGraph& graph, model::NodeIndex parent,
                                           std::size_t depth) {
  NodeReader reader;
  return reader.read(in, graph, parent, depth);
}

}  // namespace vesk_core::parser
