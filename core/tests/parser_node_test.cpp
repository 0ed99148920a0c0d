#include "parser_detail.hpp"
#include "vesk/core/parser.hpp"
#include "vesk/testing/scene_gen.hpp"

#include <gtest/gtest.h>

#include <string>

using namespace vesk_core;
using namespace vesk_core::parser;
using namespace vesk_core::model;
using vesk_testing::nested_groups;

namespace {

// One block read under the root of a fresh graph.
struct Parsed {
  SceneGraph graph;
  NodeIndex index = SceneGraph::root;

  const SceneNode& node() const { return graph.node(index); }
  std::vector<NodeIndex> children() const { return graph.children(index); }
  // Child `i` of the block, or of `parent`.
  const SceneNode& child(std::size_t i) const { return graph.node(children().at(i)); }
};

std::optional<Parsed> parse(std::string_view text, std::string* rest = nullptr) {
  Input in = text;
  std::optional<Parsed> parsed(std::in_place);
  const auto index = parse_node(in, parsed->graph, SceneGraph::root);
  if (rest) *rest = std::string(in);
  if (!index) return std::nullopt;
  parsed->index = *index;
  return parsed;
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
    EXPECT_EQ(node->node().kind, c.kind) << c.input;
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
  const SceneNode& g = node->node();
  EXPECT_EQ(g.id.resolve(), "g");
  EXPECT_EQ(g.style->fill, Paint::solid(Color{1, 1, 1, 1}));
  EXPECT_EQ(g.style->corner_radius, 4);
  EXPECT_EQ(g.style->opacity, 0.5f);
  ASSERT_EQ(g.use_styles.size(), 3u);
  EXPECT_EQ(g.use_styles[0].resolve(), "a");
  EXPECT_EQ(g.use_styles[1].resolve(), "b");
  EXPECT_EQ(g.use_styles[2].resolve(), "a");
  ASSERT_EQ(g.annotations.size(), 2u);
  EXPECT_EQ(g.annotations[0], (Annotation{Annotation::Kind::Description, "inline note"}));
  EXPECT_EQ(g.annotations[1], (Annotation{Annotation::Kind::Status, "wip"}));
  ASSERT_EQ(g.animations.size(), 1u);
  EXPECT_EQ(g.animations[0].scale, 2);
  ASSERT_EQ(node->children().size(), 3u);
  EXPECT_EQ(node->child(0).id.resolve(), "child");
  EXPECT_EQ(node->child(1).id.resolve(), "generic");
  EXPECT_EQ(node->child(1).kind, NodeKind{NodeKind::Generic{}});
  EXPECT_EQ(node->child(2).kind, NodeKind{NodeKind::Text{"t"}});
  EXPECT_TRUE(g.comments.empty());
  EXPECT_TRUE(g.constraints.empty());
}

TEST(NodeBlockTest, ChildHeads) {
  // A keyword followed by a tab, space, quote, "@" or "{" starts a child.
  for (std::string_view body : {"rect\t{}", "rect {}", "text\"x\"{}", "ellipse@e{}", "path{}", "group {}"}) {
    const std::string text = "group {" + std::string(body) + "}";
    const auto node = parse(text);
    ASSERT_TRUE(node) << text;
    EXPECT_EQ(node->children().size(), 1u) << text;
  }
}

TEST(NodeBlockTest, Failures) {
  for (std::string_view text : {"rectangle {}",
                                "Rect {}",
                                "x {}",
                                "rect @ {}",
                                "rect @r\n{}",
                                "rect @r\r\n{}",
                                "rect \"x\" {}",
                                "rect word {}",
                                "text \"open {}",
                                "rect {",
                                "rect { w: 1",
                                "group { rect { }",
                                "rect { - }",
                                "rect { = }",
                                "rect { ; }",
                                "rect { , }",
                                "rect { @ x }",
                                "group { @child\n{ } }",
                                "group { animate: 1 }",
                                "group { rect {}; }",
                                "group { anim :hover {}; }",
                                "rect { fill: #ggg }",
                                "rect { ## \"open }",
                                "group { group { rect { fill: #12 } } }",
                                "@a b {}",
                                "rect { use: a b }",
                                "rect { use: a, b }",
                                "rect { fill: #fff ; }",
                                "rect { h: 1 ; }"}) {
    EXPECT_FALSE(parse(text)) << text;
  }
}

TEST(NodeBlockTest, GeneratedIdsFollowHeadOrder) {
  const id::IdNumbering numbering;
  const auto node = parse("group { rect { } @named { } ellipse { group { } } }");
  ASSERT_TRUE(node);
  EXPECT_EQ(node->node().id.resolve(), anon(0));
  EXPECT_EQ(node->child(0).id.resolve(), anon(1));
  EXPECT_EQ(node->child(1).id.resolve(), "named");
  EXPECT_EQ(node->child(2).id.resolve(), anon(2));
  const NodeIndex third = node->children()[2];
  EXPECT_EQ(node->graph.node(node->graph.children(third).at(0)).id.resolve(), anon(3));

  // A failed block has still used its numbers.
  EXPECT_FALSE(parse("group { rect { fill: x } }"));
  EXPECT_EQ(NodeId::with_prefix("_anon").resolve(), anon(6));
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

TEST(NodeBlockTest, DeepGraphIsFreedWithoutRecursion) {
  // Built by hand: far deeper than the parser allows.
  auto graph = std::make_unique<SceneGraph>();
  NodeIndex at = SceneGraph::root;
  for (int i = 0; i < 100000; ++i) at = graph->add_node(at, NodeId::intern("deep"), NodeKind{NodeKind::Group{}});
  EXPECT_EQ(graph->node_count(), 100001u);
  graph.reset();
  SUCCEED();
}

TEST(NodeBlockTest, ReadInPreOrderUnderItsParent) {
  SceneGraph graph;
  const NodeIndex holder = graph.add_node(SceneGraph::root, NodeId::intern("holder"), NodeKind{NodeKind::Group{}});
  graph.node(holder).comments = {"one", "two"};
  Input in =
      "group @a { rect @b { rect @c { } } fill: #fff\n ## tag: x\n anim :press {} use: s "
      "ellipse @d { } }";
  NodeReader reader;
  const auto index = reader.read(in, graph, holder, 2);
  ASSERT_TRUE(index);
  EXPECT_EQ(*index, 2u);
  EXPECT_TRUE(in.empty());

  ASSERT_EQ(graph.node_count(), 6u);
  const char* order[] = {"root", "holder", "a", "b", "c", "d"};
  for (NodeIndex i = 0; i < 6; ++i) EXPECT_EQ(graph.node(i).id.resolve(), order[i]);
  EXPECT_EQ(graph.children(0), std::vector<NodeIndex>{1});
  EXPECT_EQ(graph.children(1), std::vector<NodeIndex>{2});
  EXPECT_EQ(graph.children(2), (std::vector<NodeIndex>{3, 5}));
  EXPECT_EQ(graph.children(3), std::vector<NodeIndex>{4});
  EXPECT_EQ(graph.get_by_id(NodeId::intern("d")), &graph.node(5));

  const SceneNode& a = graph.node(2);
  EXPECT_EQ(a.kind, NodeKind{NodeKind::Group{}});
  EXPECT_EQ(a.style->fill, Paint::solid(Color{1, 1, 1, 1}));
  EXPECT_TRUE(a.comments.empty());
  EXPECT_EQ(graph.node(holder).comments, (List<std::string>{"one", "two"}));
  ASSERT_EQ(a.annotations.size(), 1u);
  ASSERT_EQ(a.animations.size(), 1u);
  ASSERT_EQ(a.use_styles.size(), 1u);
  EXPECT_EQ(a.use_styles[0].resolve(), "s");
  EXPECT_EQ(graph.node(3).kind, (NodeKind{NodeKind::Rect{100, 100}}));

  // The reader keeps nothing from one block to the next; the nesting bound
  // counts from the depth it is given.
  Input second = "rect @e { }";
  ASSERT_TRUE(reader.read(second, graph, SceneGraph::root));
  EXPECT_EQ(graph.children(0), (std::vector<NodeIndex>{1, 6}));
  Input too_deep = "rect @f { }";
  EXPECT_FALSE(reader.read(too_deep, graph, SceneGraph::root, kMaxNestingDepth + 1));
}

}  // namespace
