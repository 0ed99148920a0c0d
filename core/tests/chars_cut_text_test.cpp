#include "vesk/core/chars.hpp"

#include <gtest/gtest.h>

using namespace vesk_core::chars;

// A multi-byte character cut off by the end of the text.
TEST(CharClassTest, CutOffCharacterEndsAtTheEnd) {
  // "\xE2\x80" is the start of U+2000..U+203F; decoded with the missing byte as 0 it is white space.
  EXPECT_EQ(span_of("\xE2\x80", white_space), 2u);
  EXPECT_EQ(span_of(" \xE2\x80", white_space), 3u);
  EXPECT_EQ(trim("\xE2\x80"), "");
  EXPECT_EQ(trim("a\xE2\x80"), "a");
  EXPECT_EQ(span_of("\xF0", ident_char), 0u);
}
