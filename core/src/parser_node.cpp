#include "parser_detail.hpp"
#include "vesk/core/parser.hpp"
#include "words.hpp"

#include <array>
#include <utility>

namespace vesk_core::parser {

namespace {

using model::NodeKind;

// What a block's head says about its kind: a keyword, or none for a generic node.
using Head = std::optional<words::NodeWord>;

// Inside a body a keyword starts a child only when a blank, '"', "@" or "{" follows.
bool child_keyword(Input in) {
  const auto* k = node_keyword_prefix(in);
  if (k == nullptr || in.size() == k->text.size()) return false;
  const char next = in[k->text.size()];
  return next == ' ' || next == '\t' || next == '"' || next == '@' || next == '{';
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
  if (!head) return;
  switch (*head) {
    case words::NodeWord::Group: kind.value = NodeKind::Group{std::move(slots.layout)}; break;
    case words::NodeWord::Rect:
      kind.value = NodeKind::Rect{slots.width.value_or(100), slots.height.value_or(100)};
      break;
    case words::NodeWord::Ellipse:
      kind.value = NodeKind::Ellipse{slots.width.value_or(50), slots.height.value_or(50)};
      break;
    case words::NodeWord::Path:
    case words::NodeWord::Text: break;
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

  Head head;
  if (!starts_with(in, '@')) {
    const auto* keyword = node_keyword_prefix(in);
    if (keyword == nullptr) return false;
    head = keyword->value;
    in.remove_prefix(keyword->text.size());
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
  if (head == words::NodeWord::Text && starts_with(in, '"')) {
    const auto quoted = parse_quoted_string(in);
    if (!quoted) return false;
    content = *quoted;
  }
  take_blanks(in);
  if (!consume(in, '{')) return false;

  NodeKind kind{NodeKind::Generic{}};
  if (head == words::NodeWord::Path) kind.value = NodeKind::Path{};
  if (head == words::NodeWord::Text) kind.value = NodeKind::Text{content};
  const model::NodeIndex index = graph.add_node(parent, *id, std::move(kind));
  open.push_back(NodeReader::Open{index, head, {}});
  return true;
}

// Reads one body item of the innermost open block; a child's head opens it.
bool read_body_item(Input& in, model::SceneGraph& graph, std::size_t depth, std::vector<NodeReader::Open>& open) {
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
  return parse_node_property(in, node.style, node.use_styles, top.slots.width, top.slots.height, top.slots.layout,
                             &graph.arena());
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

const words::Word<words::NodeWord>* node_keyword_prefix(Input in) {
  for (const auto& k : words::kNodeKinds) {
    if (starts_with(in, k.text)) return &k;
  }
  return nullptr;
}

std::optional<model::NodeIndex> parse_node(Input& in, model::SceneGraph& graph, model::NodeIndex parent,
                                           std::size_t depth) {
  NodeReader reader;
  return reader.read(in, graph, parent, depth);
}

}  // namespace vesk_core::parser
