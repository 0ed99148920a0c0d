#include "hover.hpp"

#include "vesk/core/parser.hpp"

#include <gtest/gtest.h>
#include <boost/json.hpp>

#include <cmath>
#include <limits>
#include <optional>
#include <set>
#include <string>

using vesk_lsp::hover::compute_hover;
using namespace vesk_core::model;

namespace {

std::optional<std::string> hover_value(std::string_view text, std::uint32_t line, std::uint32_t character,
                                       const SceneGraph* graph) {
  const auto value = compute_hover(text, line, character, graph);
  if (value.is_null()) return std::nullopt;
  return std::string(value.at("contents").at("value").as_string());
}

void add(SceneGraph& graph, std::string_view id, NodeKind kind) {
  graph.add_node(SceneGraph::root, SceneNode(NodeId::intern(id), std::move(kind)));
}

// The graph a parse of the test texts would give.
SceneGraph sample_graph() {
  SceneGraph g;
  add(g, "card", NodeKind{NodeKind::Rect{200, 100}});
  add(g, "dot", NodeKind{NodeKind::Ellipse{50, 25.5f}});
  add(g, "line", NodeKind{NodeKind::Path{}});
  add(g, "label", NodeKind{NodeKind::Text{"Hi"}});
  add(g, "box", NodeKind{NodeKind::Generic{}});
  add(g, "stack", NodeKind{NodeKind::Group{LayoutMode{LayoutMode::Column{8, 4}}}});
  add(g, "a", NodeKind{NodeKind::Text{"only a"}});
  add(g, "a#b", NodeKind{NodeKind::Text{"a hash b"}});
  add(g, "tiny", NodeKind{NodeKind::Rect{0.0000001f, -0.0f}});
  add(g, "huge", NodeKind{NodeKind::Ellipse{std::numeric_limits<float>::infinity(), 12.5f}});
  add(g, "quoted", NodeKind{NodeKind::Text{"say \"x\" *y*"}});
  NodeKind::Path drawn;
  drawn.commands.resize(3);
  add(g, "drawn", NodeKind{drawn});
  return g;
}

const std::string kRect =
    "**rect** \u2014 Rectangle shape.\n\nProperties: `w:` `h:` `fill:` `stroke:` `corner:` `opacity:`";
const std::string kStatus =
    "**## status:** \u2014 Status annotation.\n\nValues: `draft`, `in_progress`, `review`, `done`";
const std::string kFill = "**fill:** \u2014 Fill color.\n\nAccepts hex: `#RGB`, `#RRGGBB`, `#RRGGBBAA`";
const std::string kCardSummary = "**Rect** \u2014 200\u00D7100";

}  // namespace

TEST(HoverTest, WordUnderTheCursor) {
  const SceneGraph graph = sample_graph();
  struct Case {
    std::string text;
    std::uint32_t line;
    std::uint32_t character;
    std::optional<std::string> expected;
  };
  const std::optional<std::string> none;
  const Case cases[] = {
      {"rect @card {", 0, 0, kRect},
      {"rect @card {", 0, 2, kRect},
      {"rect @card {", 0, 4, kRect},  // directly after the word
      {"rect @card {", 0, 5, kCardSummary},
      {"rect @card {", 0, 10, kCardSummary},
      {"rect @card {", 0, 11, none},  // after "{"
      {"rect @card {", 0, 99, none},  // clamped to the end
      {"## status: done", 0, 1, none},
      {"## status: done", 0, 5, kStatus},
      {"## status: done", 0, 12, none},
      {"fill: #FF0000", 0, 8, none},
      {"fill: #FF0000", 0, 0, kFill},
      {"  fill: #FF0000", 0, 2, kFill},
      {"foo@bar", 0, 3, none},
      {"@a#b", 0, 1, "**Text** \u2014 \"a hash b\""},
      {"@a.b", 0, 1, "**Text** \u2014 \"only a\""},
      {"@a.b", 0, 3, none},
      {"@root", 0, 2, "**Root** `@root`"},
      {"@box { }", 0, 0, "**Generic (placeholder)** `@box`"},
      {"group @stack {", 0, 8, "**Group** `@stack`"},
      {"ellipse @dot", 0, 9, "**Ellipse** \u2014 rx=50, ry=25.5"},
      {"path @line", 0, 6, "**Path** \u2014 0 commands"},
      {"path @drawn", 0, 6, "**Path** \u2014 3 commands"},
      {"text @label \"Hi\"", 0, 6, "**Text** \u2014 \"Hi\""},
      {"text @quoted", 0, 6, "**Text** \u2014 \"say \"x\" *y*\""},
      {"@tiny", 0, 1, "**Rect** \u2014 0.0000001\u00D7-0"},
      {"@huge", 0, 1, "**Ellipse** \u2014 rx=inf, ry=12.5"},
      {"@nobody", 0, 1, none},
      {"@", 0, 1, none},  // empty identifier names no node
      {"a  b", 0, 2, none},
      {"", 0, 0, none},
      {"rect\n", 1, 0, none},  // the line after a final "\n" does not exist
      {"rect", 1, 0, none},
      {"a\r\nrect", 1, 2, kRect},
      {"rect\r", 0, 2, kRect},  // a lone "\r" stays in the line but ends the word
      {"\xC3\xA9@card", 0, 1, kCardSummary},
      {"\xC3\xA9rect", 0, 1, kRect},  // the non-ASCII byte ends the word
      {"\xF0\x9F\x98\x80@card", 0, 2, kCardSummary},
      {"\xF0\x9F\x98\x80@card", 0, 1, none},  // inside the pair: before the emoji
  };
  for (const auto& c : cases) {
    EXPECT_EQ(hover_value(c.text, c.line, c.character, &graph), c.expected)
        << '"' << c.text << "\" " << c.line << ':' << c.character;
  }
}

TEST(HoverTest, KeywordsAreExactAndCaseSensitive) {
  auto at0 = [](std::string_view word) { return hover_value(word, 0, 0, nullptr); };
  EXPECT_EQ(at0("width"), at0("w"));
  EXPECT_EQ(at0("height"), at0("h"));
  EXPECT_EQ(at0("w"), "**w:** \u2014 Width of the element in pixels.");
  EXPECT_EQ(at0("h"), "**h:** \u2014 Height of the element in pixels.");
  for (const char* word : {"Rect", "RECT", "rects", "edge", "import", "free", "##", "hover", "press", "enter", "linear",
                           "ease_in", "done", "high", "#fill", "rect2"}) {
    EXPECT_EQ(at0(word), std::nullopt) << word;
  }
  const char* keywords[] = {"h",      "height", "w",      "width",  "bg",      "use",     "row",
                            "tag",    "rect",   "text",   "path",   "fill",    "font",    "grid",
                            "anim",   "ease",   "group",  "style",  "stroke",  "corner",  "layout",
                            "column", "spring", "accept", "status", "ellipse", "opacity", "priority"};
  std::set<std::string> texts;
  for (const char* word : keywords) {
    const auto text = at0(word);
    ASSERT_TRUE(text) << word;
    EXPECT_TRUE(text->starts_with("**")) << word;
    EXPECT_NE(text->find("** \u2014 "), std::string::npos) << word;
    EXPECT_NE(text->back(), '\n') << word;
    texts.insert(*text);
  }
  EXPECT_EQ(texts.size(), 26u);
  EXPECT_EQ(at0("spring"), "**spring** \u2014 Spring physics easing.\n\nnatural bounce animation.");
  EXPECT_EQ(at0("font"),
            "**font:** \u2014 Font specification.\n\nFormat: `font: \"Family\" weight size`\n"
            "Example: `font: \"Inter\" 600 24`");
}

TEST(HoverTest, NodesNeedAGraph) {
  // Without a graph (the text did not parse) "@" words give nothing; keywords still do.
  EXPECT_EQ(hover_value("rect @card {", 0, 6, nullptr), std::nullopt);
  EXPECT_EQ(hover_value("rect @card {", 0, 1, nullptr), kRect);
  const SceneGraph empty;
  EXPECT_EQ(hover_value("rect @card {", 0, 6, &empty), std::nullopt);
}

TEST(HoverTest, ExactJson) {
  const SceneGraph graph = sample_graph();
  EXPECT_EQ(boost::json::serialize(compute_hover("@card", 0, 0, &graph)),
            "{\"contents\":{\"kind\":\"markdown\",\"value\":\"**Rect** \xE2\x80\x94 200\xC3\x97"
            "100\"}}");
  EXPECT_EQ(boost::json::serialize(compute_hover("x", 0, 5, &graph)), "null");
}

TEST(HoverTest, ThroughTheParser) {
  const std::string text =
      "rect @card { w: 200 h: 100 }\n"
      "ellipse @dot { w: 50 h: 25.5 }\n"
      "path @line { }\n"
      "text @label \"Hi\" { }\n"
      "@box { }\n"
      "group @stack {\n"
      "  layout: column gap=8\n"
      "}\n"
      "# @root\n";
  auto parsed = vesk_core::parser::parse_document(text);
  ASSERT_TRUE(parsed.ok()) << parsed.error();
  const SceneGraph& graph = parsed.value();
  struct Case {
    std::uint32_t line;
    std::uint32_t character;
    std::string expected;
  };
  const Case cases[] = {
      {0, 6, kCardSummary},
      {0, 0, kRect},
      {1, 9, "**Ellipse** \u2014 rx=50, ry=25.5"},
      {2, 6, "**Path** \u2014 0 commands"},
      {3, 6, "**Text** \u2014 \"Hi\""},
      {4, 1, "**Generic (placeholder)** `@box`"},
      {5, 7, "**Group** `@stack`"},
      {6, 3,
       "**layout:** \u2014 Children arrangement mode.\n\nValues: `column`, `row`, `grid`, `free`\n"
       "Modifiers: `gap=N`, `pad=N`, `cols=N`"},
      {8, 3, "**Root** `@root`"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(hover_value(text, c.line, c.character, &graph), c.expected) << c.line << ':' << c.character;
  }

  // A text that does not parse has no graph: keywords still answer, "@" words do not.
  const std::string broken = text + "rect @late {";
  ASSERT_FALSE(vesk_core::parser::parse_document(broken).ok());
  EXPECT_EQ(hover_value(broken, 0, 6, nullptr), std::nullopt);
  EXPECT_EQ(hover_value(broken, 0, 0, nullptr), kRect);
}
