#include "parser_detail.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace vesk_core;
using namespace vesk_core::parser;
using namespace vesk_core::model;

namespace {

std::optional<Edge> parse_edge(std::string_view text, std::string* rest = nullptr) {
  Input in = text;
  auto edge = parse_edge_block(in);
  if (rest) *rest = std::string(in);
  return edge;
}

const Stroke kDefaultStroke{Paint::solid(Color{0.42f, 0.44f, 0.5f, 1.0f}), 1.5f};

TEST(EdgeBlockTest, EmptyBodyDefaults) {
  const id::IdNumbering numbering;
  std::string rest;
  const auto edge = parse_edge("edge {}\nx", &rest);
  ASSERT_TRUE(edge);
  EXPECT_EQ(edge->id.resolve(), "_anon_0");
  EXPECT_EQ(edge->from.resolve(), "_missing");
  EXPECT_EQ(edge->to.resolve(), "_missing");
  EXPECT_EQ(edge->style.stroke, kDefaultStroke);
  EXPECT_EQ(std::get<Paint::Solid>(edge->style.stroke->paint.value).color.to_hex(), "#6B7080");
  EXPECT_FALSE(edge->style.opacity);
  EXPECT_EQ(edge->arrow, ArrowKind::None);
  EXPECT_EQ(edge->curve, CurveKind::Straight);
  EXPECT_FALSE(edge->label);
  EXPECT_FALSE(edge->flow);
  EXPECT_TRUE(edge->use_styles.empty() && edge->annotations.empty() && edge->animations.empty());
  EXPECT_EQ(rest, "\nx");
}

TEST(EdgeBlockTest, Items) {
  struct Case {
    std::string_view body;
    std::function<void(const Edge&)> check;
  };
  const Case cases[] = {
      {"from: @a; to: @b",
       [](const Edge& e) {
         EXPECT_EQ(e.from.resolve(), "a");
         EXPECT_EQ(e.to.resolve(), "b");
       }},
      {"from: @a\nfrom: @c", [](const Edge& e) { EXPECT_EQ(e.from.resolve(), "c"); }},
      {"use: s use: s",
       [](const Edge& e) {
         ASSERT_EQ(e.use_styles.size(), 2u);
         EXPECT_EQ(e.use_styles[1].resolve(), "s");
       }},
      {"label: \"Hi\" label: \"Bye\"", [](const Edge& e) { EXPECT_EQ(e.label, "Bye"); }},
      {"stroke: #333", [](const Edge& e) { EXPECT_EQ(e.style.stroke->width, 1); }},
      {"stroke: #333 2", [](const Edge& e) { EXPECT_EQ(e.style.stroke->width, 2); }},
      {"stroke: #3332",
       [](const Edge& e) {
         EXPECT_EQ(e.style.stroke, (Stroke{Paint::solid(*Color::from_hex("#3332")), 1}));
       }},
      {"stroke: #333 -", [](const Edge& e) { EXPECT_EQ(e.style.stroke->width, 1); }},
      {"opacity: 0.25", [](const Edge& e) { EXPECT_EQ(e.style.opacity, 0.25f); }},
      {"arrow: both", [](const Edge& e) { EXPECT_EQ(e.arrow, ArrowKind::Both); }},
      {"arrow: start", [](const Edge& e) { EXPECT_EQ(e.arrow, ArrowKind::Start); }},
      {"arrow: end", [](const Edge& e) { EXPECT_EQ(e.arrow, ArrowKind::End); }},
      {"arrow: Both", [](const Edge& e) { EXPECT_EQ(e.arrow, ArrowKind::None); }},
      {"curve: smooth", [](const Edge& e) { EXPECT_EQ(e.curve, CurveKind::Smooth); }},
      {"curve: step", [](const Edge& e) { EXPECT_EQ(e.curve, CurveKind::Step); }},
      {"curve: bezier", [](const Edge& e) { EXPECT_EQ(e.curve, CurveKind::Straight); }},
      {"flow: dash 1200ms",
       [](const Edge& e) {
         EXPECT_EQ(e.flow, (FlowAnim{FlowKind::Dash, 1200}));
       }},
      {"flow: pulse",
       [](const Edge& e) {
         EXPECT_EQ(e.flow, (FlowAnim{FlowKind::Pulse, 800}));
       }},
      {"flow: pulse 1.9ms",
       [](const Edge& e) {
         EXPECT_EQ(e.flow, (FlowAnim{FlowKind::Pulse, 1}));
       }},
      {"flow: pulse -5ms",
       [](const Edge& e) {
         EXPECT_EQ(e.flow, (FlowAnim{FlowKind::Pulse, 0}));
       }},
      {"flow: pulse ms",
       [](const Edge& e) {
         EXPECT_EQ(e.flow, (FlowAnim{FlowKind::Pulse, 800}));
       }},
      {"flow: 500ms",
       [](const Edge& e) {
         EXPECT_EQ(e.flow, (FlowAnim{FlowKind::Pulse, 800}));
       }},
      {"flow: 500",
       [](const Edge& e) {
         EXPECT_EQ(e.flow, (FlowAnim{FlowKind::Pulse, 800}));
       }},
      {"color: red; weight: }", [](const Edge& e) { EXPECT_FALSE(e.label); }},
      {"# gone\n## tag: t; ## note\n anim :hover {}\n anim :press {}",
       [](const Edge& e) {
         ASSERT_EQ(e.annotations.size(), 2u);
         EXPECT_EQ(e.annotations[0], (Annotation{Annotation::Kind::Tag, "t"}));
         EXPECT_EQ(e.annotations[1], (Annotation{Annotation::Kind::Description, "note"}));
         ASSERT_EQ(e.animations.size(), 2u);
         EXPECT_EQ(e.animations[1].trigger.kind, AnimTrigger::Kind::Press);
       }},
      {"\r\n  from: @a\r\n  to: @b\r\n", [](const Edge& e) { EXPECT_EQ(e.to.resolve(), "b"); }},
  };
  for (const Case& c : cases) {
    const std::string text = "edge @e1 { " + std::string(c.body) + " }";
    const auto edge = parse_edge(text);
    ASSERT_TRUE(edge) << text;
    EXPECT_EQ(edge->id.resolve(), "e1");
    c.check(*edge);
  }
}

TEST(EdgeBlockTest, Failures) {
  for (std::string_view text : {"edge @e\n{}",
                                "edge e1 {}",
                                "edge @ {}",
                                "edge  @e {",
                                "edge {from: a}",
                                "edge {to: @}",
                                "edge {label: Hi}",
                                "edge {label: \"open}",
                                "edge {use: @s}",
                                "edge {stroke: red}",
                                "edge {opacity: x}",
                                "edge {arrow: -}",
                                "edge {curve: }",
                                "edge {flow: -5}",
                                "edge {flow: dash 500 ms}",
                                "edge {animation: x}",
                                "edge {anim :hover {};}",
                                "edge {## \"open}",
                                "edge {from @a}",
                                "edge {from: @a",
                                "edge {anim :hover { ease: }}",
                                "edge {flow: pulse 5s}"}) {
    EXPECT_FALSE(parse_edge(text)) << text;
  }
}

TEST(ConstraintLineTest, Kinds) {
  struct Case {
    std::string_view line;
    Constraint constraint;
    std::string_view rest;
  };
  const NodeId b = NodeId::intern("b");
  const Case cases[] = {
      {"@a -> center_in: b", {Constraint::CenterIn{b}}, ""},
      {"@a -> offset: @b 10, -5\nx", {Constraint::Offset{b, 10, -5}}, "x"},
      {"@a->offset:@b\t1 ,2", {Constraint::Offset{b, 1, 2}}, ""},
      {"@a -> fill_parent:", {Constraint::FillParent{0}}, ""},
      {"@a -> fill_parent: 8", {Constraint::FillParent{8}}, ""},
      {"@a -> fill_parent: -x", {Constraint::FillParent{0}}, "-x"},
      {"@a -> absolute:10,20;", {Constraint::Absolute{10, 20}}, ";"},
      {"@a -> absolute: 1 , 2\r\n", {Constraint::Absolute{1, 2}}, "\r\n"},
      {"@a -> spin: 90 turns\nnext", {Constraint::Absolute{0, 0}}, "next"},
  };
  for (const Case& c : cases) {
    SceneGraph graph;
    graph.add_node(SceneGraph::root, SceneNode(NodeId::intern("a"), NodeKind{NodeKind::Rect{}}));
    Input in = c.line;
    ASSERT_TRUE(parse_constraint_line(in, graph)) << c.line;
    EXPECT_EQ(in, c.rest) << c.line;
    ASSERT_EQ(graph.node(1).constraints.size(), 1u) << c.line;
    EXPECT_EQ(graph.node(1).constraints[0], c.constraint) << c.line;
  }
}

TEST(ConstraintLineTest, AttachesToExistingNodesOnly) {
  SceneGraph graph;
  Input in = "@ghost -> absolute: 1, 2";
  EXPECT_TRUE(parse_constraint_line(in, graph));
  in = "@root -> absolute: 0, 0\n@root -> fill_parent: 1";
  EXPECT_TRUE(parse_constraint_line(in, graph));
  EXPECT_TRUE(parse_constraint_line(in, graph));
  ASSERT_EQ(graph.node(0).constraints.size(), 2u);
  EXPECT_EQ(graph.node(0).constraints[1], Constraint{Constraint::FillParent{1}});
  EXPECT_EQ(graph.node_count(), 1u);
}

TEST(ConstraintLineTest, Failures) {
  for (std::string_view text :
       {"@", "@ a -> absolute: 1, 2", "@{", "@a b", "@a", "@a ->", "@a -> : 1", "@a -> spin 90", "@a -> center_in: @b",
        "@a -> offset: @b10, 5", "@a -> offset: b 1, 2", "@a -> offset: @b 1 2", "@a -> absolute: 10 20",
        "@a -> absolute: 10,", "@a - > absolute: 1,2"}) {
    SceneGraph graph;
    Input in = text;
    EXPECT_FALSE(parse_constraint_line(in, graph)) << text;
  }
}

}  // namespace
