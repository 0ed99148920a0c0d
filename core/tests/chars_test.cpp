#include "vesk/core/chars.hpp"

#include <gtest/gtest.h>

using namespace vesk_core::chars;

TEST(CharClassTest, IdentChar) {
  for (char32_t c : {U'a', U'Z', U'0', U'9', U'_', U'é', U'Ω', U'ж', U'中', U'٣' /* Arabic-Indic 3 */, U'Ⅻ' /* Nl */,
                     U'½' /* No */}) {
    EXPECT_TRUE(ident_char(c)) << static_cast<unsigned>(c);
  }
  for (char32_t c : {U'-', U'.', U' ', U'@', U'#', U'{', U'\n', U'\u00A0', U'€', U'😀'}) {
    EXPECT_FALSE(ident_char(c)) << static_cast<unsigned>(c);
  }
}

TEST(CharClassTest, WhiteSpaceIsTheUnicodeSet) {
  for (char32_t c : {U'\t', U'\n', U'\v', U'\f', U'\r', U' ', U'\u0085', U'\u00A0', U'\u1680', U'\u2000', U'\u200A',
                     U'\u2028', U'\u2029', U'\u202F', U'\u205F', U'\u3000'}) {
    EXPECT_TRUE(white_space(c)) << static_cast<unsigned>(c);
  }
  for (char32_t c : {U'a', U'\u200B', U'\uFEFF', U'\u180E', U'\0'}) {
    EXPECT_FALSE(white_space(c)) << static_cast<unsigned>(c);
  }
  EXPECT_TRUE(blank(' ') && blank('\t') && !blank('\n') && !blank(U'\u00A0'));
}

TEST(CharClassTest, TrimAndSpan) {
  EXPECT_EQ(trim("  a b \r\n"), "a b");
  EXPECT_EQ(trim("\u00A0x\u3000"), "x");
  EXPECT_EQ(trim(" \t "), "");
  EXPECT_EQ(trim("é"), "é");
  EXPECT_EQ(span_of("αβ-γ", ident_char), 4u);
  std::size_t len = 0;
  EXPECT_EQ(decode_utf8("😀", len), U'😀');
  EXPECT_EQ(len, 4u);
}
