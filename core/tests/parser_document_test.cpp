#include "parser_detail.hpp"
#include "vesk/core/emitter.hpp"
#include "vesk/core/parser.hpp"

#include "vesk/testing/scene_gen.hpp"

#include <gtest/gtest.h>

#include <string>

using namespace vesk_core;
using namespace vesk_core::parser;
using namespace vesk_core::model;

namespace {

const std::string kTail = "Parsing Error: ContextError { context: [], cause: None }";
const std::string kNode = "Node parse error: " + kTail;
const std::string kStyle = "Style parse error: " + kTail;
const std::string kEdge = "Edge parse error: " + kTail;
const std::string kImport = "Import parse error: " + kTail;
const std::string kConstraint = "Constraint parse error: " + kTail;

SceneGraph parse_ok(std::string_view text) {
  auto result = parse_document(text);
  EXPECT_TRUE(result.ok()) << text << "\n-> " << (result.ok() ? "" : result.error());
  return result.ok() ? std::move(result).value() : SceneGraph();
}

const SceneNode& by_id(const SceneGraph& graph, std::string_view id) {
  const SceneNode* node = graph.get_by_id(NodeId::intern(id));
  EXPECT_NE(node, nullptr) << id;
  static const SceneNode missing(NodeId::intern("_missing"), NodeKind{});
  return node ? *node : missing;
}

bool only_root(const SceneGraph& g) {
  return g.node_count() == 1 && g.styles.empty() && g.edges.empty() && g.imports.empty();
}

TEST(DocumentTest, EmptyAndCommentOnlyDocuments) {
  for (std::string_view text : {"", " \n\t\r\n", "# a\n# b\n", "## top note\n", "}\nfill: #fff\n", "Rect @r { }",
                                "import\t\"x\" as y", "\xEF\xBB\xBF", "\xEF\xBB\xBF\xEF\xBB\xBFrect @r {}"}) {
    EXPECT_TRUE(only_root(parse_ok(text))) << text;
  }
}

TEST(DocumentTest, MessageNamesTheConstruct) {
  struct Case {
    std::string_view text;
    const std::string& message;
  };
  const Case cases[] = {
      {"rect @r { fill: #12 }", kNode},
      {"group {\n  group {\n    rect { bg: #fff shadow=(1,2,3,#xyz) }\n  }\n}", kNode},
      {"rectangle @r { }", kNode},
      {"texture", kNode},
      {"@card\n{ }", kNode},
      {"@a { rect @b { anim :hover { scale: x } } }", kNode},
      {"group { rect {} ", kNode},
      {"style s\n{ fill: #fff }", kStyle},
      {"style s { fill: #fff", kStyle},
      {"style @s { }", kStyle},
      {"style s { corner: x }", kStyle},
      {"style s { font: \"open }", kStyle},
      {"edge @e { ## \"unclosed }", kEdge},
      {"edge @e { anim :hover { fill: #1 } }", kEdge},
      {"edge @e { from: a }", kEdge},
      {"import \"a.vesk\"", kImport},
      {"import \"a.vesk\" AS a", kImport},
      {"import \"a.vesk\" as", kImport},
      {"import \"a.vesk\" as  ", kImport},
      {"import \"a.vesk\" ask a", kImport},
      {"import a.vesk as a", kImport},
      {"import \"a.vesk as a", kImport},
      {"@a b", kConstraint},
      {"@", kConstraint},
      {"@ a {", kConstraint},
      {"@a -> absolute: 10 20", kConstraint},
      // The first failure wins and discards everything before it.
      {"rect @ok { }\nstyle s { }\nedge { }\nimport \"x\" as y\n@ok -> absolute: 1 2\nrect { fill: x }", kConstraint},
  };
  for (const Case& c : cases) {
    const auto result = parse_document(c.text);
    ASSERT_FALSE(result.ok()) << c.text;
    EXPECT_EQ(result.error(), c.message) << c.text;
  }
}

TEST(DocumentTest, MixedDocument) {
  const auto graph = parse_ok(R"(# scene header
import "shared.vesk" as shared;
import "with space #.vesk" as other
style card {
  fill: #fafafa; corner: 8
  # comment inside a style
  font: "Inter" 600 16 opacity: 0.9
  stroke: #000 1
}
## top-level note, dropped
# belongs to the group
group @main {
  layout: column gap=12 pad=24
  ## status: wip
  rect @hero { w: 320 h: 180 use: card
    anim :hover { scale: 1.05; ease: spring 200ms }
  }
  text @title "Hello" { font: 24 }
  ellipse @dot { w: 4 }
  path @line { }
  @badge { fill: #f00 }
}
edge @link { from: @hero; to: @title; label: "goes"; arrow: end; flow: dash 400ms
  ## accept: visible
}
@hero -> center_in: main
@hero -> offset: @title 4, -2
@title -> fill_parent: 2
@nobody -> absolute: 1, 1
)");
  ASSERT_EQ(graph.imports.size(), 2u);
  EXPECT_EQ(graph.imports[0], (Import{"shared.vesk", "shared"}));
  EXPECT_EQ(graph.imports[1], (Import{"with space #.vesk", "other"}));

  ASSERT_EQ(graph.styles.size(), 1u);
  const Style& card = graph.styles.at(NodeId::intern("card"));
  EXPECT_EQ(card.fill, Paint::solid(*Color::from_hex("#fafafa")));
  EXPECT_EQ(card.corner_radius, 8);
  EXPECT_EQ(card.font, (FontSpec{"Inter", 600, 16}));
  EXPECT_EQ(card.opacity, 0.9f);
  EXPECT_FALSE(card.stroke);

  ASSERT_EQ(graph.node_count(), 7u);
  const char* order[] = {"root", "main", "hero", "title", "dot", "line", "badge"};
  for (NodeIndex i = 0; i < 7; ++i) EXPECT_EQ(graph.node(i).id.resolve(), order[i]);
  EXPECT_EQ(graph.children(1), (std::vector<NodeIndex>{2, 3, 4, 5, 6}));

  const SceneNode& main = by_id(graph, "main");
  EXPECT_EQ(main.kind, (NodeKind{NodeKind::Group{{LayoutMode::Column{12, 24}}}}));
  EXPECT_EQ(main.comments, List<std::string>{"belongs to the group"});
  EXPECT_EQ(main.annotations, (List<Annotation>{{Annotation::Kind::Status, "wip"}}));

  const SceneNode& hero = by_id(graph, "hero");
  EXPECT_EQ(hero.kind, (NodeKind{NodeKind::Rect{320, 180}}));
  ASSERT_EQ(hero.use_styles.size(), 1u);
  ASSERT_EQ(hero.animations.size(), 1u);
  EXPECT_EQ(hero.animations[0].duration_ms, 200u);
  ASSERT_EQ(hero.constraints.size(), 2u);
  EXPECT_EQ(hero.constraints[0], Constraint{Constraint::CenterIn{NodeId::intern("main")}});
  EXPECT_EQ(hero.constraints[1], (Constraint{Constraint::Offset{NodeId::intern("title"), 4, -2}}));
  EXPECT_TRUE(hero.comments.empty());

  EXPECT_EQ(by_id(graph, "title").kind, NodeKind{NodeKind::Text{"Hello"}});
  EXPECT_EQ(by_id(graph, "title").style->font, (FontSpec{"Inter", 400, 24}));
  EXPECT_EQ(by_id(graph, "title").constraints.size(), 1u);
  EXPECT_EQ(by_id(graph, "dot").kind, (NodeKind{NodeKind::Ellipse{4, 50}}));
  EXPECT_EQ(by_id(graph, "line").kind, NodeKind{NodeKind::Path{}});
  EXPECT_EQ(by_id(graph, "badge").kind, NodeKind{NodeKind::Generic{}});

  ASSERT_EQ(graph.edges.size(), 1u);
  const Edge& link = graph.edges[0];
  EXPECT_EQ(link.id.resolve(), "link");
  EXPECT_EQ(link.from.resolve(), "hero");
  EXPECT_EQ(link.label, "goes");
  EXPECT_EQ(link.arrow, ArrowKind::End);
  EXPECT_EQ(link.flow, (FlowAnim{FlowKind::Dash, 400}));
  EXPECT_EQ(link.annotations, (List<Annotation>{{Annotation::Kind::Accept, "visible"}}));
}

TEST(DocumentTest, CrlfLineEnds) {
  const std::string lf =
      "import \"a\" as a\nstyle s {\n  fill: #fff\n  corner: 2\n}\n# c\n"
      "group @g {\n  rect @r { w: 1 }\n  ## tag: x\n}\nedge @e {\n  from: @g\n}\n@r -> absolute: 1, 2\n";
  std::string crlf;
  for (char c : lf) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  const auto a = parse_ok(lf);
  const auto b = parse_ok(crlf);
  ASSERT_EQ(b.node_count(), 3u);
  EXPECT_EQ(a.nodes()[1], b.nodes()[1]);
  EXPECT_EQ(a.nodes()[2], b.nodes()[2]);
  EXPECT_EQ(a.styles, b.styles);
  EXPECT_EQ(a.imports, b.imports);
  EXPECT_EQ(a.edges[0].from, b.edges[0].from);
  EXPECT_EQ(b.node(2).constraints.size(), 1u);
  EXPECT_EQ(b.node(1).comments, List<std::string>{"c"});
  // A CRLF between a head and its brace still fails.
  EXPECT_EQ(parse_document("rect @r\r\n{ }").error(), kNode);
}

TEST(DocumentTest, LeadingByteOrderMark) {
  const std::string mark = "\xEF\xBB\xBF";
  // One mark at the very start: the rest reads as it would without it.
  for (const std::string text : {"rect @a {\n  w: 10 h: 20\n}\n", "# note\r\nrect @a { }", "\n  @a { }",
                                 "import \"x\" as y\n", "style s { fill: #fff }", "## top\nrect @a { }",
                                 "edge @e { from: @a; to: @b }", "rect @a { }\n@a -> absolute: 1, 2"}) {
    EXPECT_EQ(emitter::emit_document(parse_ok(mark + text)), emitter::emit_document(parse_ok(text))) << text;
  }
  const auto graph = parse_ok(mark + "rect @a {\n  w: 10 h: 20\n}\n");
  ASSERT_EQ(graph.node_count(), 2u);
  const auto* rect = std::get_if<NodeKind::Rect>(&by_id(graph, "a").kind.value);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->width, 10);
  EXPECT_EQ(rect->height, 20);

  // Anywhere else a mark is no white space: its line is unrecognised and skipped.
  for (const std::string& text : {mark + mark + "rect @a { }", " " + mark + "rect @a { }", "\n" + mark + "rect @a { }",
                                  "# c\n" + mark + "rect @a { }", "rect @b { }\n" + mark + "rect @a { }"}) {
    const auto g = parse_ok(text);
    EXPECT_EQ(g.get_by_id(NodeId::intern("a")), nullptr) << text;
    EXPECT_EQ(g.node_count(), text.find("@b") == std::string::npos ? 1u : 2u) << text;
  }

  // An error on the first line is no longer hidden behind the mark.
  EXPECT_EQ(parse_document(mark + "rect @a { fill: #12 }").error(), kNode);
}

TEST(DocumentTest, CommentAttachment) {
  const auto graph = parse_ok(
      "# a\n# b\nrect @r { }\n"
      "# lost before style\nstyle s { }\n"
      "# lost before edge\nedge { }\n"
      "# lost before import\nimport \"x\" as x\n"
      "# lost before a note\n## note\n# kept\n  #\n@g { } # for the next node\n"
      "\n#   spaced  \r\nellipse @e { }\n"
      "# lost before a constraint\n@r -> absolute: 1, 1\n# lost before a skipped line\nnothing here\n"
      "text @t { }\n# trailing\n");
  EXPECT_EQ(by_id(graph, "r").comments, (List<std::string>{"a", "b"}));
  EXPECT_EQ(by_id(graph, "g").comments, List<std::string>{"kept"});
  EXPECT_EQ(by_id(graph, "e").comments, (List<std::string>{"for the next node", "spaced"}));
  EXPECT_TRUE(by_id(graph, "t").comments.empty());
}

TEST(DocumentTest, ImportsAndStyles) {
  const auto graph = parse_ok(
      "import \"\" as empty;\nimport \"multi\nline\" as\tml rest-of-line\n"
      "import \"x\" as y-z\nimport \"x\" as y\n"
      "style a { corner: 4 }\nstyle a { fill: #000 }\n"
      "style b {}\nstyle c { stroke: #fff 2; shadow: x; bg: #000 }\n"
      "style d { fill: #fff; corner: 1;opacity: 0.5 font: 20 }\n"
      "style e{fill:#fff}");
  ASSERT_EQ(graph.imports.size(), 4u);
  EXPECT_EQ(graph.imports[0], (Import{"", "empty"}));
  EXPECT_EQ(graph.imports[1], (Import{"multi\nline", "ml"}));
  EXPECT_EQ(graph.imports[2], (Import{"x", "y"}));
  EXPECT_EQ(graph.imports[3], (Import{"x", "y"}));

  const Style& a = graph.styles.at(NodeId::intern("a"));
  EXPECT_FALSE(a.corner_radius);
  EXPECT_EQ(a.fill, Paint::solid(Color{0, 0, 0, 1}));
  EXPECT_TRUE(graph.styles.at(NodeId::intern("b")).empty());
  EXPECT_TRUE(graph.styles.at(NodeId::intern("c")).empty());
  const Style& d = graph.styles.at(NodeId::intern("d"));
  EXPECT_TRUE(d.fill && d.corner_radius && d.opacity);
  EXPECT_EQ(d.font, (FontSpec{"Inter", 400, 20}));
  EXPECT_TRUE(graph.styles.at(NodeId::intern("e")).fill);
}

TEST(DocumentTest, TopLevelDispatch) {
  // A body whose head is not recognised is read line by line: its nested
  // block on a line of its own becomes a top-level node.
  auto graph = parse_ok("Group @outer {\n  fill: #fff\n  rect @inner { }\n}\n");
  ASSERT_EQ(graph.node_count(), 2u);
  EXPECT_EQ(graph.children(0), std::vector<NodeIndex>{1});
  EXPECT_EQ(graph.node(1).id.resolve(), "inner");

  graph = parse_ok("rect @a { }  rect @b { }\n@c{}");
  ASSERT_EQ(graph.node_count(), 4u);
  EXPECT_EQ(graph.node(2).id.resolve(), "b");
  EXPECT_EQ(graph.node(3).kind, NodeKind{NodeKind::Generic{}});

  // "edge", "style" and "import" need one space after the word.
  graph = parse_ok("edge\t{ }\nstyle\ts { }\nedges { }\n");
  EXPECT_TRUE(only_root(graph));

  // Constraints see only nodes inserted so far; the last of a repeated id wins.
  graph = parse_ok("@a -> absolute: 1, 1\nrect @a { }\nrect @a { rect @a { } }\n@a -> fill_parent: 2\n");
  ASSERT_EQ(graph.node_count(), 4u);
  EXPECT_TRUE(graph.node(1).constraints.empty());
  EXPECT_TRUE(graph.node(2).constraints.empty());
  EXPECT_EQ(graph.node(3).constraints.size(), 1u);
  EXPECT_EQ(graph.get_by_id(NodeId::intern("a")), &graph.node(3));
}

TEST(DocumentTest, GeneratedIdsInHeadOrder) {
  auto anon = [](std::uint64_t n) { return "_anon_" + std::to_string(n); };
  const std::string text = "group { rect { } }\nedge { }\nellipse @named { text { } }\nedge @e { }\npath { }";
  const auto graph = parse_ok(text);
  ASSERT_EQ(graph.node_count(), 6u);
  EXPECT_EQ(graph.node(1).id.resolve(), anon(0));
  EXPECT_EQ(graph.node(2).id.resolve(), anon(1));
  EXPECT_EQ(graph.edges[0].id.resolve(), anon(2));
  EXPECT_EQ(graph.node(4).id.resolve(), anon(3));
  EXPECT_EQ(graph.node(5).id.resolve(), anon(4));

  // Every parse numbers from 0: neither failed parses nor ids generated
  // outside a parse shift it, and the thread's own numbering goes on after it.
  EXPECT_FALSE(parse_document("edge {").ok());
  EXPECT_FALSE(parse_document("group { rect {").ok());
  const std::string outside = std::string(NodeId::with_prefix("_anon").resolve());
  const auto again = parse_ok(text);
  for (std::uint32_t i = 1; i < graph.node_count(); ++i) EXPECT_EQ(again.node(i).id, graph.node(i).id);
  EXPECT_EQ(again.edges[0].id, graph.edges[0].id);
  EXPECT_EQ(parse_ok("rect { }").node(1).id.resolve(), anon(0));
  const std::uint64_t next = std::stoull(outside.substr(6)) + 1;
  EXPECT_EQ(NodeId::with_prefix("_anon").resolve(), anon(next));
}

TEST(DocumentTest, WrittenAnonIdSharesTheHandle) {
  const auto graph = parse_ok("rect @_anon_1 { w: 1 }\nrect { }\nrect { }\n");
  // The third node's generated id is the first node's written one.
  EXPECT_EQ(graph.node(1).id, graph.node(3).id);
  EXPECT_EQ(graph.get_by_id(graph.node(1).id), &graph.node(3));
  EXPECT_EQ(graph.node(2).id.resolve(), "_anon_0");
}

TEST(DocumentTest, NonAsciiStaysOnCharacterBoundaries) {
  const auto graph = parse_ok(
      "# ünïcödé comment\u00A0\nrect @Ωmega { ## 注意: 中文\n fill: #fff }\n"
      "text @τ \"日本語\" { }\n@Ωmega -> center_in: τ\n\u2003\u3000rect @after { }\nélan stray line\n");
  EXPECT_EQ(by_id(graph, "Ωmega").comments, List<std::string>{"ünïcödé comment"});
  EXPECT_EQ(by_id(graph, "Ωmega").annotations, (List<Annotation>{{Annotation::Kind::Description, "注意: 中文"}}));
  EXPECT_EQ(by_id(graph, "τ").kind, NodeKind{NodeKind::Text{"日本語"}});
  EXPECT_EQ(by_id(graph, "Ωmega").constraints.size(), 1u);
  EXPECT_EQ(graph.node_count(), 4u);
}

TEST(DocumentTest, GeneratedScenesParse) {
  for (unsigned seed : {1u, 2u, 3u, 42u}) {
    const std::string text = vesk_testing::generate_scene(200000, seed);
    ASSERT_GE(text.size(), 200000u);
    EXPECT_EQ(text, vesk_testing::generate_scene(200000, seed));
    const auto result = parse_document(text);
    ASSERT_TRUE(result.ok()) << "seed " << seed;
    const SceneGraph& graph = result.value();
    EXPECT_GT(graph.node_count(), 1000u);
    EXPECT_FALSE(graph.edges.empty());
    EXPECT_EQ(graph.imports.size(), 2u);
    EXPECT_GE(graph.styles.size(), 4u);
    // Every kind, and the parts that only a full reading fills.
    bool kinds[7] = {};
    std::size_t constraints = 0, animations = 0, annotations = 0, comments = 0, shadows = 0;
    for (const SceneNode& node : graph.nodes()) {
      kinds[node.kind.value.index()] = true;
      constraints += node.constraints.size();
      animations += node.animations.size();
      annotations += node.annotations.size();
      comments += node.comments.size();
      shadows += node.style->shadow.has_value();
    }
    for (bool seen : kinds) EXPECT_TRUE(seen) << "seed " << seed;
    EXPECT_GT(constraints, 0u);
    EXPECT_GT(animations, 0u);
    EXPECT_GT(annotations, 0u);
    EXPECT_GT(comments, 0u);
    EXPECT_GT(shadows, 0u);
  }
}

}  // namespace

// The parser reserves room from the braces and "edge " words of the text, with
// a cap for texts full of them; documents beyond the cap, or with braces and
// "edge " inside texts and comments, must come out whole all the same.
TEST(DocumentTest, NodeAndEdgeCountsBeyondTheReservation) {
  struct Case {
    const char* name;
    std::string text;
    std::size_t nodes;  // without the root
    std::size_t edges;
  };
  std::string flat, nested, edges, decoys;
  for (int i = 0; i < 5000; ++i) flat += "@n" + std::to_string(i) + "{}";
  for (int i = 0; i < 900; ++i) nested += "@d{";  // within the nesting limit
  nested += std::string(900, '}');
  for (int i = 0; i < 4000; ++i) edges += "edge {from:@a}";
  decoys = "# {{{{ edge edge edge {{{{\ntext @t \"{{{{ edge {{\" { }\n" + std::string(64, '{');
  const Case cases[] = {
      {"flat", flat, 5000, 0},
      {"nested", nested, 900, 0},
      {"edges", edges, 0, 4000},
      {"decoys", decoys, 1, 0},
  };
  for (const Case& c : cases) {
    const auto parsed = parse_document(c.text);
    ASSERT_TRUE(parsed.ok()) << c.name << ": " << parsed.error();
    const SceneGraph& g = parsed.value();
    EXPECT_EQ(g.node_count(), c.nodes + 1) << c.name;
    EXPECT_EQ(g.edges.size(), c.edges) << c.name;
  }
  const SceneGraph g = parse_document(flat).value();
  const auto top = g.children(g.root);
  ASSERT_EQ(top.size(), 5000u);
  EXPECT_EQ(g.node(top.back()).id.resolve(), "n4999");
  EXPECT_EQ(g.get_by_id(NodeId::intern("n2500")), &g.node(top[2500]));
}
