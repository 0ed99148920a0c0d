#include "diagnostics.hpp"

#include <gtest/gtest.h>
#include <boost/json/serialize.hpp>

using namespace vesk_lsp;

namespace {

const std::string kNodeError = "Node parse error: Parsing Error: ContextError { context: [], cause: None }";

}  // namespace

TEST(DiagnosticsPlacementTest, EndOfTheLastLine) {
  struct Case {
    std::string text;
    std::uint32_t line;
    std::uint32_t character;
  };
  const Case cases[] = {
      {"", 0, 0},                        // no lines at all
      {"rect @a {", 0, 9},               // one line, no final newline
      {"rect @a {\n", 0, 9},             // a final "\n" adds no line
      {"rect @a {\n\n", 1, 0},           // "\n\n": the empty second line
      {"\n", 0, 0},                      // one empty line
      {"bad\nrect @a {\n  w: 1", 2, 6},  // error early, placed at the end
      {"a\r\nbc\r\n", 1, 2},             // "\r\n": the "\r" is not counted
      {"ab\r", 0, 3},                    // a final lone "\r" is counted
      {"a\rb", 0, 3},                    // a lone "\r" does not end a line
      {"x\n\xC3\xA9", 1, 1},             // accented letter: one code unit
      {"x\n\xF0\x9F\x98\x80", 1, 2},     // astral character: two code units
      {"x\n  \xC3\xA9\xF0\x9F\x98\x80\n", 1, 5},
  };
  for (const auto& c : cases) {
    const auto d = diagnostics::error_diagnostic(c.text, kNodeError);
    EXPECT_EQ(d.range.start, (protocol::Position{c.line, c.character})) << c.text;
    EXPECT_EQ(d.range.end, (protocol::Position{c.line, c.character + 1})) << c.text;
  }
}

TEST(DiagnosticsPlacementTest, ExactJson) {
  const auto d = diagnostics::error_diagnostic("rect @a {", kNodeError);
  EXPECT_EQ(boost::json::serialize(protocol::to_json(d)),
            R"({"range":{"start":{"line":0,"character":9},"end":{"line":0,"character":10}},)"
            R"("severity":1,"source":"vesk-lsp",)"
            R"("message":"Node parse error: Parsing Error: ContextError { context: [], cause: None }"})");
}

TEST(DiagnosticsTest, ThroughTheParser) {
  const std::string tail = " parse error: Parsing Error: ContextError { context: [], cause: None }";
  struct Case {
    std::string text;
    std::string message;  // empty: the text parses
    std::uint32_t line = 0;
    std::uint32_t character = 0;
  };
  const Case cases[] = {
      {"", ""},
      {"rect @a { w: 10 }\n", ""},
      {"# only a comment\n\n", ""},
      {"rect @a {", "Node" + tail, 0, 9},
      {"rectangle @r { }\nrect @ok { }\n", "Node" + tail, 1, 12},  // error in line 0, placed at the end
      {"style s\n{\n}", "Style" + tail, 2, 1},
      {"import \"x\"\r\n", "Import" + tail, 0, 10},
      {"edge {\n  from: \n}\n\n", "Edge" + tail, 3, 0},
      {"@card -> absolute: x\n\xC3\xA9\xF0\x9F\x98\x80", "Constraint" + tail, 1, 3},
  };
  for (const auto& c : cases) {
    const auto diagnostics = diagnostics::compute_diagnostics(c.text);
    if (c.message.empty()) {
      EXPECT_TRUE(diagnostics.empty()) << c.text;
      continue;
    }
    ASSERT_EQ(diagnostics.size(), 1u) << c.text;
    const auto expected = diagnostics::error_diagnostic(c.text, c.message);
    EXPECT_EQ(expected.range.start, (protocol::Position{c.line, c.character})) << c.text;
    EXPECT_EQ(boost::json::serialize(diagnostics[0]), boost::json::serialize(protocol::to_json(expected))) << c.text;
  }
}
