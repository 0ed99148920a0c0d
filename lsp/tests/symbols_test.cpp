#include "symbols.hpp"
#include "lsp_client.hpp"

#include "vesk/core/parser.hpp"

#include <gtest/gtest.h>
#include <boost/json.hpp>

#include <string>
#include <vector>

using vesk_lsp::symbols::compute_symbols;
using namespace vesk_core::model;

namespace {

constexpr std::string_view kUri = "file:///tmp/scene.vesk";

void add(SceneGraph& graph, std::string_view id, NodeKind kind) {
  graph.add_node(SceneGraph::root, SceneNode(NodeId::intern(id), std::move(kind)));
}

SceneGraph sample_graph() {
  SceneGraph g;
  add(g, "card", NodeKind{NodeKind::Rect{}});
  add(g, "g", NodeKind{NodeKind::Group{}});
  add(g, "t", NodeKind{NodeKind::Text{"hi"}});
  add(g, "e", NodeKind{NodeKind::Ellipse{}});
  add(g, "p", NodeKind{NodeKind::Path{}});
  add(g, "box", NodeKind{NodeKind::Generic{}});
  add(g, "_anon_3", NodeKind{NodeKind::Rect{}});
  add(g, "first", NodeKind{NodeKind::Rect{}});
  add(g, "\xE5\x8D\xA1\xE7\x89\x87", NodeKind{NodeKind::Rect{}});  // 卡片
  return g;
}

// "name|kind|line|end" per symbol; every range starts at character 0.
std::vector<std::string> summary(const boost::json::array& symbols) {
  std::vector<std::string> out;
  for (const auto& value : symbols) {
    const auto& s = value.as_object();
    const auto& location = s.at("location").as_object();
    EXPECT_EQ(location.at("uri").as_string(), kUri);
    const auto& range = location.at("range").as_object();
    const auto line = range.at("start").at("line").to_number<std::int64_t>();
    EXPECT_EQ(range.at("start").at("character").to_number<std::int64_t>(), 0);
    EXPECT_EQ(range.at("end").at("line").to_number<std::int64_t>(), line);
    out.push_back(std::string(s.at("name").as_string()) + "|" + std::to_string(s.at("kind").to_number<std::int64_t>()) +
                  "|" + std::to_string(line) + "|" +
                  std::to_string(range.at("end").at("character").to_number<std::int64_t>()));
  }
  return out;
}

}  // namespace

TEST(SymbolsTest, CandidatesAndResolution) {
  const SceneGraph graph = sample_graph();
  using V = std::vector<std::string>;
  struct Case {
    std::string text;
    V expected;
  };
  const Case cases[] = {
      // style lines
      {"style accent {\n  fill: #fff\n}\nrect @card {\n}", {"style accent|5|0|14", "rect @card|19|3|12"}},
      {"style\taccent {", {}},
      {"  style   spaced {", {"style spaced|5|0|18"}},
      {"style x{\n", {"style x{|5|0|8"}},
      {"style \xC2\xA0y {", {"style y|5|0|10"}},
      {"rect @card {\n  style inner {\n}", {"style inner|5|1|15", "rect @card|19|0|12"}},
      {"rect @card {\n}\nstyle s {\n}", {"style s|5|2|9", "rect @card|19|0|12"}},
      // node heads
      {"rect {", {}},
      {"rect @_anon_3 {", {}},
      {"@_anon_3 {", {}},
      {"@card -> absolute: 1, 2", {}},
      {"@card\n{", {}},
      {"  @box {", {"@box|19|0|8"}},
      {"@box{", {"@box|19|0|5"}},
      {"@card{", {"rect @card|19|0|6"}},  // the kind word comes from the graph
      {"rectangle @card", {"rect @card|19|0|15"}},
      {"group @g", {"group @g|3|0|8"}},  // no "{" needed after a keyword
      {"text @t \"mail@card\" {", {"text @t|15|0|21"}},
      {"text \"x@card\" @t {", {"rect @card|19|0|18"}},  // first "@", even inside quotes
      {"@root {\ngroup @root\n@nobody {\nrect @nobody", {}},
      {"rect @card {\n}\nellipse @card {", {"rect @card|19|0|12", "rect @card|19|2|15"}},
      {"rect @first-second {", {"rect @first|19|0|20"}},
      {"group @g {\n  ellipse @e {\n    path @p {}\n  }\n}",
       {"group @g|3|0|10", "ellipse @e|19|1|14", "path @p|19|2|14"}},
      {"rect @card { } ellipse @e { }", {"rect @card|19|0|29"}},
      {"@box { rect @card { } }", {"@box|19|0|23"}},
      {"group {\ntext\n@ {\n@{", {}},
      {"\t rect @card {\r\n", {"rect @card|19|0|14"}},
      {"rect @card { \xC3\xA9\xF0\x9F\x98\x80", {"rect @card|19|0|16"}},
      {"rect @\xE5\x8D\xA1\xE7\x89\x87 {", {"rect @\xE5\x8D\xA1\xE7\x89\x87|19|0|10"}},
      {"\xC2\xA0@box {\xC2\xA0", {"@box|19|0|8"}},
      {"", {}},
      // a byte-order mark opening the text: read past, still counted in the range
      {"\xEF\xBB\xBFrect @card {", {"rect @card|19|0|13"}},
      {"\xEF\xBB\xBF@box {\n}", {"@box|19|0|7"}},
      {"\xEF\xBB\xBF  group @g", {"group @g|3|0|11"}},
      {"\xEF\xBB\xBFstyle accent {\r\n}", {"style accent|5|0|15"}},
      {"\xEF\xBB\xBF", {}},
      {"\xEF\xBB\xBF\xEF\xBB\xBFrect @card {", {}},  // one mark only
      {" \xEF\xBB\xBFrect @card {", {}},             // only at the very start
      {"rect @card {\n\xEF\xBB\xBF"
       "ellipse @e {\n\xEF\xBB\xBFstyle s {",
       {"rect @card|19|0|12"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(summary(compute_symbols(c.text, &graph, kUri)), c.expected) << c.text;
  }
}

TEST(SymbolsTest, WithoutAGraphOnlyStyles) {
  const std::string text = "style a {\n}\nrect @card {\n  style b {\n}\n@box {\n}";
  EXPECT_EQ(summary(compute_symbols(text, nullptr, kUri)),
            (std::vector<std::string>{"style a|5|0|9", "style b|5|3|11"}));
}

TEST(SymbolsTest, ExactJson) {
  const SceneGraph graph = sample_graph();
  const auto symbols = compute_symbols("style s {\n}\n  text @t \"hi\" {\n}\n", &graph, kUri);
  EXPECT_EQ(boost::json::serialize(symbols),
            R"([{"name":"style s","kind":5,"location":{"uri":"file:///tmp/scene.vesk",)"
            R"("range":{"start":{"line":0,"character":0},"end":{"line":0,"character":9}}}},)"
            R"({"name":"text @t","kind":15,"location":{"uri":"file:///tmp/scene.vesk",)"
            R"("range":{"start":{"line":2,"character":0},"end":{"line":2,"character":16}}}}])");
}

TEST(SymbolsTest, TruncatedUtf8DoesNotCrash) {
  const SceneGraph graph = sample_graph();
  for (const std::string text : {"style \xE2\x80", "rect @card\xE2\x80", "@card \xE2\x80", "\xE2\x80", "@\xF0"}) {
    (void)compute_symbols(text, &graph, kUri);
  }
}

TEST(SymbolsTest, ThroughTheParser) {
  const std::string text =
      "style accent {\n"
      "  fill: #6C5CE7\n"
      "}\n"
      "group @main {\n"
      "  layout: column\n"
      "  rect @card {\n"
      "    use: accent\n"
      "  }\n"
      "  rect {\n"
      "  }\n"
      "  text @title \"Hello @card\" { }\n"
      "}\n"
      "@card -> center_in: main\n"
      "@spot { }\n"
      "ellipse @orb { }\n";
  auto parsed = vesk_core::parser::parse_document(text);
  ASSERT_TRUE(parsed.ok()) << parsed.error();
  EXPECT_EQ(summary(compute_symbols(text, &parsed.value(), kUri)),
            (std::vector<std::string>{"style accent|5|0|14", "group @main|3|3|13", "rect @card|19|5|14",
                                      "text @title|15|10|31", "@spot|19|13|9", "ellipse @orb|19|14|16"}));

  // Unparsable: the style lines are still listed, wherever they stand.
  const std::string broken = text + "  style late {\nrect @bad {";
  ASSERT_FALSE(vesk_core::parser::parse_document(broken).ok());
  EXPECT_EQ(summary(compute_symbols(broken, nullptr, kUri)),
            (std::vector<std::string>{"style accent|5|0|14", "style late|5|15|14"}));
}

TEST(SymbolsTest, ByteOrderMarkThroughTheParser) {
  const std::string text = "\xEF\xBB\xBFstyle s {\n}\nrect @card {\n  ellipse @orb { }\n}\n";
  auto parsed = vesk_core::parser::parse_document(text);
  ASSERT_TRUE(parsed.ok()) << parsed.error();
  EXPECT_EQ(summary(compute_symbols(text, &parsed.value(), kUri)),
            (std::vector<std::string>{"style s|5|0|10", "rect @card|19|2|12", "ellipse @orb|19|3|18"}));

  const std::string first = "\xEF\xBB\xBFrect @card {\n  ellipse @orb { }\n}\n";
  parsed = vesk_core::parser::parse_document(first);
  ASSERT_TRUE(parsed.ok()) << parsed.error();
  EXPECT_EQ(summary(compute_symbols(first, &parsed.value(), kUri)),
            (std::vector<std::string>{"rect @card|19|0|13", "ellipse @orb|19|1|18"}));
}

// The server binary on a document that an editor sends with its byte-order mark.
TEST(SymbolsTest, ServerReadsPastAByteOrderMark) {
  namespace json = boost::json;
  const auto doc = [](std::string_view text) {
    return json::object{
        {"textDocument", json::object{{"uri", kUri}, {"languageId", "vesk"}, {"version", 1}, {"text", text}}}};
  };
  const json::object id{{"uri", kUri}};
  vesk_lsp::testing::LspClient c;
  c.initialize();

  c.notify("textDocument/didOpen", doc("\xEF\xBB\xBFrect @card {\n  w: 10 h: 20\n}\nellipse @orb { }\n"));
  auto published = c.read();
  ASSERT_TRUE(published);
  EXPECT_EQ(published->at("method"), json::value("textDocument/publishDiagnostics"));
  EXPECT_TRUE(published->at("params").at("diagnostics").as_array().empty());

  c.request(1, "textDocument/documentSymbol", json::object{{"textDocument", id}});
  auto answer = c.answer(1);
  ASSERT_TRUE(answer);
  EXPECT_EQ(summary(answer->at("result").as_array()),
            (std::vector<std::string>{"rect @card|19|0|13", "ellipse @orb|19|3|16"}));

  // Positions on line 0 count the mark as one unit: "@card" starts at 6.
  c.request(2, "textDocument/hover",
            json::object{{"textDocument", id}, {"position", json::object{{"line", 0}, {"character", 7}}}});
  answer = c.answer(2);
  ASSERT_TRUE(answer);
  ASSERT_TRUE(answer->at("result").is_object()) << json::serialize(*answer);
  EXPECT_EQ(answer->at("result").at("contents").at("value"), json::value("**Rect** \u2014 10\u00D720"));

  // An error on the first line is reported, placed at the end of the last line.
  c.notify("textDocument/didOpen", doc("\xEF\xBB\xBFrect @card { fill: #12 }"));
  published = c.read();
  ASSERT_TRUE(published);
  EXPECT_EQ(
      json::serialize(published->at("params").at("diagnostics")),
      R"([{"range":{"start":{"line":0,"character":25},"end":{"line":0,"character":26}},"severity":1,)"
      R"("source":"vesk-lsp","message":"Node parse error: Parsing Error: ContextError { context: [], cause: None }"}])");

  c.close_input();
  EXPECT_EQ(c.wait(), 0);
  EXPECT_EQ(c.error_output(), "");
}
