#include "vesk/core/parser.hpp"
#include "vesk/core/parser_detail.hpp"

#include <gtest/gtest.h>

#include <string>

using namespace vesk_core;
using namespace vesk_core::parser;
using namespace vesk_core::model;

namespace {

std::optional<ParsedNode> parse(std::string_view text, std::string* rest = nullptr) {
  Input in = text;
  auto node = parse_node(in);
  if (rest) *rest = std::string(in);
  return node;
}

std::string anon(std::uint64_t n) { return "_anon_" + std::to_string(n); }

TEST(NodeBlockTest, KindsAndDefaults) {
  struct Case {
    std::string_view input;
    NodeKind kind;
  };
  const Case cases[] = {
      {"rect {}", {NodeKind::Rect{100, 100}}},
      {"rect@r{w:3}", {NodeKind::Rect{3, 100}}},
      {"rect @r { width: 0 height: -2 }", {NodeKind::Rect{0, -2}}},
      {"ellipse { w: 10 }", {NodeKind::Ellipse{10, 50}}},
      {"ellipse { h: 7 }", {NodeKind::Ellipse{50, 7}}},
      {"group { w: 5 layout: row gap=2\n layout: column pad=1 }", {NodeKind::Group{{LayoutMode::Column{0, 1}}}}},
      {"group {}", {NodeKind::Group{{LayoutMode::Free{}}}}},
      {"path @p { w: 4 }", {NodeKind::Path{}}},
      {"text @t \"Hi there\" {}", {NodeKind::Text{"Hi there"}}},
      {"text\"two\nlines\"{}", {NodeKind::Text{"two\nlines"}}},
      {"text @t { layout: row }", {NodeKind::Text{""}}},
      {"@card { w: 1 }", {NodeKind::Generic{}}},
  };
  for (const Case& c : cases) {
    std::string rest;
    const auto node = parse(c.input, &rest);
    ASSERT_TRUE(node) << c.input;
    EXPECT_EQ(node->kind, c.kind) << c.input;
    EXPECT_EQ(rest, "") << c.input;
  }
}

TEST(NodeBlockTest, NothingAfterTheBraceIsConsumed) {
  std::string rest;
  ASSERT_TRUE(parse("rect @r { }\n;x", &rest));
  EXPECT_EQ(rest, "\n;x");
}

TEST(NodeBlockTest, BodyItems) {
  const auto node = parse(
      "group @g {\r\n"
      "  # a comment that vanishes\r\n"
      "  fill: #fff corner: 4 # trailing comment\r\n"
      "  use: a\n  use: b; use: a\n"
      "  opacity: 0.5 ## inline note\n"
      "  ## status: wip\n"
      "  anim :hover { scale: 2 }\n"
      "  text_size: 12\n  groups: 3\n  rect: x\n"
      "  rect @child { }\n"
      "  @generic { }\n"
      "  text \"t\" {}\n"
      "}");
  ASSERT_TRUE(node);
  EXPECT_EQ(node->id.resolve(), "g");
  EXPECT_EQ(node->style.fill, Paint::solid(Color{1, 1, 1, 1}));
  EXPECT_EQ(node->style.corner_radius, 4);
  EXPECT_EQ(node->style.opacity, 0.5f);
  ASSERT_EQ(node->use_styles.size(), 3u);
  EXPECT_EQ(node->use_styles[0].resolve(), "a");
  EXPECT_EQ(node->use_styles[1].resolve(), "b");
  EXPECT_EQ(node->use_styles[2].resolve(), "a");
  ASSERT_EQ(node->annotations.size(), 2u);
  EXPECT_EQ(node->annotations[0], (Annotation{Annotation::Kind::Description, "inline note"}));
  EXPECT_EQ(node->annotations[1], (Annotation{Annotation::Kind::Status, "wip"}));
  ASSERT_EQ(node->animations.size(), 1u);
  EXPECT_EQ(node->animations[0].scale, 2);
  ASSERT_EQ(node->children.size(), 3u);
  EXPECT_EQ(node->children[0].id.resolve(), "child");
  EXPECT_EQ(node->children[1].id.resolve(), "generic");
  EXPECT_EQ(node->children[1].kind, NodeKind{NodeKind::Generic{}});
  EXPECT_EQ(node->children[2].kind, NodeKind{NodeKind::Text{"t"}});
  EXPECT_TRUE(node->comments.empty());
  EXPECT_TRUE(node->constraints.empty());
}

TEST(NodeBlockTest, ChildHeads) {
  // A keyword followed by a tab, space, quote, "@" or "{" starts a child.
  for (std::string_view body : {"rect\t{}", "rect {}", "text\"x\"{}", "ellipse@e{}", "path{}", "group {}"}) {
    const std::string text = "group {" + std::string(body) + "}";
    const auto node = parse(text);
    ASSERT_TRUE(node) << text;
    EXPECT_EQ(node->children.size(), 1u) << text;
  }
}

TEST(NodeBlockTest, Failures) {
  for (std::string_view text : {
           "rectangle {}", "Rect {}", "x {}", "rect @ {}", "rect @r\n{}", "rect @r\r\n{}",
           "rect \"x\" {}", "rect word {}", "text \"open {}", "rect {", "rect { w: 1",
           "group { rect { }", "rect { - }", "rect { = }", "rect { ; }", "rect { , }", "rect { @ x }",
           "group { @child\n{ } }", "group { animate: 1 }", "group { rect {}; }",
           "group { anim :hover {}; }", "rect { fill: #ggg }", "rect { ## \"open }",
           "group { group { rect { fill: #12 } } }", "@a b {}",
           "rect { use: a b }", "rect { use: a, b }", "rect { fill: #fff ; }", "rect { h: 1 ; }"}) {
    EXPECT_FALSE(parse(text)) << text;
  }
}

TEST(NodeBlockTest, GeneratedIdsFollowHeadOrder) {
  const id::IdNumbering numbering;
  const auto node = parse("group { rect { } @named { } ellipse { group { } } }");
  ASSERT_TRUE(node);
  EXPECT_EQ(node->id.resolve(), anon(0));
  EXPECT_EQ(node->children[0].id.resolve(), anon(1));
  EXPECT_EQ(node->children[1].id.resolve(), "named");
  EXPECT_EQ(node->children[2].id.resolve(), anon(2));
  EXPECT_EQ(node->children[2].children[0].id.resolve(), anon(3));

  // A failed block has still used its numbers.
  EXPECT_FALSE(parse("group { rect { fill: x } }"));
  EXPECT_EQ(NodeId::with_prefix("_anon").resolve(), anon(6));
}

std::string nested_groups(std::size_t depth) {
  std::string text;
  text.reserve(depth * 10);
  for (std::size_t i = 0; i < depth; ++i) text += "group {\n";
  for (std::size_t i = 0; i < depth; ++i) text += "}\n";
  return text;
}

TEST(NodeBlockTest, NestingIsBounded) {
  const auto at_limit = parse_document(nested_groups(kMaxNestingDepth));
  ASSERT_TRUE(at_limit.ok());
  EXPECT_EQ(at_limit.value().node_count(), kMaxNestingDepth + 1);
  // Each group is the only child of the one before it.
  EXPECT_EQ(at_limit.value().children(kMaxNestingDepth - 1),
            std::vector<NodeIndex>{static_cast<NodeIndex>(kMaxNestingDepth)});

  const std::string message = "Node parse error: Parsing Error: ContextError { context: [], cause: None }";
  const auto over = parse_document(nested_groups(kMaxNestingDepth + 1));
  ASSERT_FALSE(over.ok());
  EXPECT_EQ(over.error(), message);
  const auto deep = parse_document(nested_groups(100000));
  ASSERT_FALSE(deep.ok());
  EXPECT_EQ(deep.error(), message);
}

TEST(NodeBlockTest, DeepTreeIsFreedWithoutRecursion) {
  // Built by hand: far deeper than the parser allows.
  auto root = std::make_unique<ParsedNode>(NodeId::intern("deep"));
  ParsedNode* at = root.get();
  for (int i = 0; i < 100000; ++i) {
    at->children.emplace_back(NodeId::intern("deep"));
    at = &at->children.back();
  }
  root.reset();
  SUCCEED();
}

TEST(InsertNodeTest, PreOrderAndMovedFields) {
  auto node = parse(
      "group @a { rect @b { rect @c { } } fill: #fff\n ## tag: x\n anim :press {} use: s "
      "ellipse @d { } }");
  ASSERT_TRUE(node);
  ParsedNode record = std::move(*node);
  record.comments = {"one", "two"};
  record.constraints.push_back(Constraint{Constraint::FillParent{3}});
  SceneGraph graph;
  insert_node_recursive(graph, SceneGraph::root, std::move(record));

  ASSERT_EQ(graph.node_count(), 5u);
  const char* order[] = {"root", "a", "b", "c", "d"};
  for (NodeIndex i = 0; i < 5; ++i) EXPECT_EQ(graph.node(i).id.resolve(), order[i]);
  EXPECT_EQ(graph.children(0), std::vector<NodeIndex>{1});
  EXPECT_EQ(graph.children(1), (std::vector<NodeIndex>{2, 4}));
  EXPECT_EQ(graph.children(2), std::vector<NodeIndex>{3});

  const SceneNode& a = graph.node(1);
  EXPECT_EQ(a.kind, NodeKind{NodeKind::Group{}});
  EXPECT_EQ(a.style.fill, Paint::solid(Color{1, 1, 1, 1}));
  EXPECT_EQ(a.comments, (std::vector<std::string>{"one", "two"}));
  ASSERT_EQ(a.constraints.size(), 1u);
  ASSERT_EQ(a.annotations.size(), 1u);
  ASSERT_EQ(a.animations.size(), 1u);
  ASSERT_EQ(a.use_styles.size(), 1u);
  EXPECT_EQ(a.use_styles[0].resolve(), "s");
  EXPECT_TRUE(graph.node(2).comments.empty());
}

}  // namespace
