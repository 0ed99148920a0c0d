#include "position.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vesk_lsp::position;

namespace {

std::vector<std::string> lines_of(std::string_view text) {
  std::vector<std::string> out;
  LineCursor cursor(text);
  while (auto line = cursor.next()) out.emplace_back(*line);
  return out;
}

}  // namespace

TEST(LineCursorTest, CutsLikeTheEditorCounts) {
  using V = std::vector<std::string>;
  EXPECT_EQ(lines_of(""), V{});
  EXPECT_EQ(lines_of("a"), V{"a"});
  EXPECT_EQ(lines_of("a\n"), V{"a"});
  EXPECT_EQ(lines_of("a\n\n"), (V{"a", ""}));
  EXPECT_EQ(lines_of("a\r\nb"), (V{"a", "b"}));
  EXPECT_EQ(lines_of("a\rb\r"), V{"a\rb\r"});
  EXPECT_EQ(lines_of("\r\r\n"), V{"\r"});
  EXPECT_EQ(lines_of("\n"), V{""});
  EXPECT_EQ(line_at("x\ny\n", 1), std::optional<std::string_view>("y"));
  EXPECT_EQ(line_at("x\ny\n", 2), std::nullopt);
}

TEST(PositionTest, Utf16ColumnsToBytes) {
  struct Case {
    std::string line;
    std::uint32_t character;
    std::size_t offset;
  };
  const Case cases[] = {
      {"ab", 0, 0},
      {"ab", 1, 1},
      {"ab", 5, 2},
      {"", 0, 0},
      {"", 9, 0},
      {"\xC3\xA9x", 1, 2},
      {"\xC3\xA9x", 2, 3},
      {"\xE2\x82\xAC!", 1, 3},
      {"\xF0\x9F\x98\x80z", 2, 4},  // astral: two code units, four bytes
      {"\xF0\x9F\x98\x80z", 1, 0},  // inside the surrogate pair: boundary before
      {"\xF0\x9F\x98\x80z", 3, 5},
      {"\xF0", 2, 1},  // cut-off character: clamped to the line, never past it
      {"a\xE2\x82", 9, 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(byte_offset(c.line, c.character), c.offset) << c.line << " @" << c.character;
  }
}

TEST(PositionTest, AsciiIsTheIdentity) {
  const std::string line = "rect @card { w: 1 }";
  for (std::uint32_t i = 0; i <= line.size(); ++i) EXPECT_EQ(byte_offset(line, i), i);
  EXPECT_EQ(utf16_length(line), line.size());
}

TEST(PositionTest, Utf16Length) {
  EXPECT_EQ(utf16_length(""), 0u);
  EXPECT_EQ(utf16_length("abc"), 3u);
  EXPECT_EQ(utf16_length("\xC3\xA9"), 1u);
  EXPECT_EQ(utf16_length("\xE2\x82\xAC"), 1u);
  EXPECT_EQ(utf16_length("\xF0\x9F\x98\x80"), 2u);
  EXPECT_EQ(utf16_length("a\r"), 2u);
}
