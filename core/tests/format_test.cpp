#include "vesk/core/format.hpp"

#include <gtest/gtest.h>

#include <string>

using vesk_core::format::format_document;
using vesk_core::format::format_document_owned;
using vesk_core::format::FormatConfig;

namespace {

const FormatConfig kConfigs[] = {{false, false}, {true, false}, {false, true}, {true, true}};

}  // namespace

TEST(FormatDocumentTest, SwitchesSelectTheRewrites) {
  const std::string source =
      "rect @a { fill: #f00; corner: 4; use: x; use: y; use: x }\n"
      "rect @b { corner: 4\n fill: #FF0000 }\n";
  const std::pair<FormatConfig, std::string> cases[] = {
      {{false, false},
       "rect @a {\n  w: 100 h: 100\n  use: x\n  use: y\n  use: x\n  fill: #FF0000\n  corner: 4\n}\n\n"
       "rect @b {\n  w: 100 h: 100\n  fill: #FF0000\n  corner: 4\n}\n\n"},
      {{true, false},
       "rect @a {\n  w: 100 h: 100\n  use: x\n  use: y\n  fill: #FF0000\n  corner: 4\n}\n\n"
       "rect @b {\n  w: 100 h: 100\n  fill: #FF0000\n  corner: 4\n}\n\n"},
      // Hoisting runs after de-duplication and puts its name first.
      {{true, true},
       "style _auto_1 {\n  fill: #FF0000\n  corner: 4\n}\n\n"
       "rect @a {\n  w: 100 h: 100\n  use: _auto_1\n  use: x\n  use: y\n}\n\n"
       "rect @b {\n  w: 100 h: 100\n  use: _auto_1\n}\n\n"},
  };
  for (const auto& [config, expected] : cases) {
    const auto result = format_document(source, config);
    ASSERT_TRUE(result.ok()) << result.error();
    EXPECT_EQ(result.value(), expected);
    const auto owned = format_document_owned(source, config);
    ASSERT_TRUE(owned.ok());
    EXPECT_EQ(owned.value(), expected);
  }
}

// The owned variant writes into the input's memory: the canonical text may be
// shorter than the input (nothing of the input may remain) or longer (it grows).
TEST(FormatDocumentTest, OwnedMatchesBorrowedWhateverTheLengths) {
  const std::string blanks(5000, ' ');
  const std::string cases[] = {
      "@a{}",                                                      // longer when written
      "edge @e { from: @a; to: @b; flow: pulse }",                 // defaults added
      blanks + "rect @r { w: 1.000000 }\n" + blanks + "\n",        // much shorter
      "# c\n" + std::string(3000, '\n') + "text @t \"hi\" { }\n",  // shorter
  };
  for (const std::string& text : cases) {
    const auto borrowed = format_document(text, kConfigs[1]);
    ASSERT_TRUE(borrowed.ok()) << text;
    std::string input = text;
    input.reserve(text.size() * 2);  // spare capacity must not show either
    const auto owned = format_document_owned(std::move(input), kConfigs[1]);
    ASSERT_TRUE(owned.ok());
    EXPECT_EQ(owned.value(), borrowed.value());
  }
}

TEST(FormatDocumentTest, ParseErrorPassesThroughForEveryConfig) {
  for (const FormatConfig& config : kConfigs) {
    const auto result = format_document("style s {\n  fill: #12\n}\n", config);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error(), "Style parse error: Parsing Error: ContextError { context: [], cause: None }");
    const auto owned = format_document_owned("edge @e { from: a }", config);
    ASSERT_FALSE(owned.ok());
    EXPECT_EQ(owned.error(), "Edge parse error: Parsing Error: ContextError { context: [], cause: None }");
  }
}

TEST(FormatDocumentTest, EmptyAndCommentOnlyTextsGiveTheEmptyText) {
  for (const char* text : {"", " \n\t\n", "# just a comment\n# and another"}) {
    for (const FormatConfig& config : kConfigs) {
      const auto result = format_document(text, config);
      ASSERT_TRUE(result.ok());
      EXPECT_EQ(result.value(), "");
    }
  }
}

TEST(FormatDocumentTest, HoistGroupsBySpelledValue) {
  // #F00 and #FF0000 are one colour, 0.5 and 0.50 one number; 1 and 1.5 differ.
  const std::string source =
      "rect @a { fill: #F00; opacity: 0.5 }\n"
      "rect @b { fill: #FF0000; opacity: 0.50 }\n"
      "rect @c { opacity: 1 }\n"
      "rect @d { opacity: 1.5 }\n";
  const auto result = format_document(source, FormatConfig{true, true});
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.value(),
            "style _auto_1 {\n  fill: #FF0000\n  opacity: 0.5\n}\n\n"
            "rect @a {\n  w: 100 h: 100\n  use: _auto_1\n}\n\n"
            "rect @b {\n  w: 100 h: 100\n  use: _auto_1\n}\n\n"
            "rect @c {\n  w: 100 h: 100\n  opacity: 1\n}\n\n"
            "rect @d {\n  w: 100 h: 100\n  opacity: 1.5\n}\n\n");
}

TEST(FormatDocumentTest, HoistingKeepsStrokesInTheText) {
  const std::string source = "rect @a { fill: #fff; stroke: #000 2 }\nrect @b { stroke: #000 2; fill: #FFF }\n";
  const auto result = format_document(source, FormatConfig{true, true});
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.value(),
            "style _auto_1 {\n  fill: #FFFFFF\n}\n\n"
            "rect @a {\n  w: 100 h: 100\n  use: _auto_1\n  stroke: #000000 2\n}\n\n"
            "rect @b {\n  w: 100 h: 100\n  use: _auto_1\n  stroke: #000000 2\n}\n\n");
}

// Constraint lines follow every node block, so where two nodes share an id a
// constraint of the first one reaches the last one when the text is read
// again: the order of the constraint lines changes once, then holds, and no
// constraint is lost or repeated.
TEST(FormatDocumentTest, SharedIdsSettleAfterOnePass) {
  const std::string source =
      "rect @a { w: 1 }\n@a -> fill_parent: 1\n"
      "rect @b { w: 2 }\n@b -> fill_parent: 2\n"
      "rect @a { w: 3 }\n";
  const std::string nodes =
      "rect @a {\n  w: 1 h: 100\n}\n\nrect @b {\n  w: 2 h: 100\n}\n\nrect @a {\n  w: 3 h: 100\n}\n\n";
  const auto once = format_document(source, FormatConfig{true, false});
  ASSERT_TRUE(once.ok()) << once.error();
  EXPECT_EQ(once.value(), nodes + "@a -> fill_parent: 1\n@b -> fill_parent: 2\n");
  const auto twice = format_document(once.value(), FormatConfig{true, false});
  ASSERT_TRUE(twice.ok()) << twice.error();
  EXPECT_EQ(twice.value(), nodes + "@b -> fill_parent: 2\n@a -> fill_parent: 1\n");
  const auto thrice = format_document(twice.value(), FormatConfig{true, false});
  ASSERT_TRUE(thrice.ok()) << thrice.error();
  EXPECT_EQ(thrice.value(), twice.value());
}
