#include "vesk/core/transform.hpp"

#include <gtest/gtest.h>

#include <limits>

using vesk_core::transform::format_plain_float;

TEST(PlainFloatTest, ShortestDigitsWithoutExponent) {
  const std::pair<float, const char*> cases[] = {
      {1.0f, "1"},
      {0.5f, "0.5"},
      {100.0f, "100"},
      {12.5f, "12.5"},
      {0.1f, "0.1"},
      {1e20f, "100000000000000000000"},
      {0.0000001f, "0.0000001"},
      {-0.0f, "-0"},
      {0.0f, "0"},
      {-3.25f, "-3.25"},
      {1.1f, "1.1"},
      {16777216.0f, "16777216"},
      {3.4028235e38f, "340282350000000000000000000000000000000"},
      {1e-45f, "0.000000000000000000000000000000000000000000001"},
      {std::numeric_limits<float>::infinity(), "inf"},
      {-std::numeric_limits<float>::infinity(), "-inf"},
      {std::numeric_limits<float>::quiet_NaN(), "NaN"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(format_plain_float(value), text);
}
