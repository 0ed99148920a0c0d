#include "parser_detail.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

using namespace vesk_core::parser;
using vesk_core::model::Annotation;
using vesk_core::model::Color;
using vesk_core::model::FontSpec;

namespace {

// Runs `reader` on `text`; returns what is left of the input.
template <class Reader>
std::string rest_after(std::string_view text, Reader reader) {
  Input in = text;
  reader(in);
  return std::string(in);
}

TEST(ScannerTest, MinimumsMaximumsAndStops) {
  struct Case {
    const char* name;
    std::optional<std::string_view> (*scan)(Input&);
    std::string_view input;
    std::optional<std::string_view> taken;
    std::string_view rest;
  };
  const Case cases[] = {
      {"blanks1", take_blanks1, " \t x", " \t ", "x"},
      {"blanks1 none", take_blanks1, "x", std::nullopt, "x"},
      {"blanks1 newline", take_blanks1, "\n", std::nullopt, "\n"},
      {"blanks1 nbsp", take_blanks1, "\u00A0", std::nullopt, "\u00A0"},
      {"ident", take_ident, "a_1-b", "a_1", "-b"},
      {"ident unicode", take_ident, "αβγ٣中 x", "αβγ٣中", " x"},
      {"ident none", take_ident, "-a", std::nullopt, "-a"},
      {"ident stops at emoji", take_ident, "ab😀", "ab", "😀"},
      {"digits1", take_digits1, "0123x", "0123", "x"},
      {"digits1 arabic-indic", take_digits1, "٣", std::nullopt, "٣"},
      {"hex", take_hex_digits, "fA09z", "fA09", "z"},
      {"hex max 8", take_hex_digits, "123456789", "12345678", "9"},
      {"hex none", take_hex_digits, "g", std::nullopt, "g"},
  };
  for (const Case& c : cases) {
    Input in = c.input;
    EXPECT_EQ(c.scan(in), c.taken) << c.name;
    EXPECT_EQ(in, c.rest) << c.name;
  }
}

TEST(ScannerTest, TakeTillNeverConsumesItsStop) {
  struct Case {
    std::string_view (*scan)(Input&);
    std::string_view input;
    std::string_view taken;
  };
  const Case cases[] = {
      {take_till_value_end, "a b;c", "a b"},
      {take_till_value_end, "ab}c", "ab"},
      {take_till_value_end, "ab\nc", "ab"},
      {take_till_value_end, "", ""},
      {take_till_separator, "a}b;c", "a}b"},
      {take_till_separator, "é\n", "é"},
      {take_till_line_end, "a;}\"b\nc", "a;}\"b"},
      {take_till_line_end, "abc", "abc"},
      {take_till_quote, "a\nb\"c", "a\nb"},
      {take_blanks, "  \tx", "  \t"},
      {take_digits, "x", ""},
  };
  for (const Case& c : cases) {
    Input in = c.input;
    EXPECT_EQ(c.scan(in), c.taken) << c.input;
    EXPECT_EQ(in, c.input.substr(c.taken.size())) << c.input;
  }
}

TEST(SeparatorTest, SkipsOneSemicolonOrNewline) {
  EXPECT_EQ(rest_after(";;x", skip_opt_separator), ";x");
  EXPECT_EQ(rest_after("\n\nx", skip_opt_separator), "\nx");
  EXPECT_EQ(rest_after("\r\nx", skip_opt_separator), "\r\nx");
  EXPECT_EQ(rest_after(" ;", skip_opt_separator), " ;");
  EXPECT_EQ(rest_after("", skip_opt_separator), "");
  EXPECT_EQ(rest_after(" \t;", skip_space), ";");
}

TEST(NumberTest, ReadsAndLeaves) {
  struct Case {
    std::string_view input;
    float value;
    std::string_view rest;
  };
  const Case cases[] = {
      {"-12.50", -12.5f, ""},
      {"007", 7, ""},
      {"5.", 5, ""},
      {"5.x", 5, "x"},
      {"1e5", 1, "e5"},
      {"1.5.3", 1.5f, ".3"},
      {"10px", 10, "px"},
      {"0.1", 0.1f, ""},
      {"12345678.", 12345678.0f, ""},
      {"16777217", 16777216.0f, ""},
      {"0.000000001x", 1e-9f, "x"},
      {"3.4028235", 3.4028235f, ""},
      {"340282346638528859811704183484516925440", std::numeric_limits<float>::max(), ""},
      // Halfway between 1 and the next float: ties to even gives 1.
      {"1.000000059604644775390625", 1.0f, ""},
      // Just above halfway rounds up.
      {"1.000000059604644775390626", 1.00000011920928955078125f, ""},
      // Subnormals round correctly.
      {"0.000000000000000000000000000000000000000000001", std::numeric_limits<float>::denorm_min(), ""},
      {"0.00000000000000000000000000000000000000000000071", std::numeric_limits<float>::denorm_min(), ""},
  };
  for (const Case& c : cases) {
    Input in = c.input;
    const auto n = parse_number(in);
    ASSERT_TRUE(n) << c.input;
    EXPECT_EQ(*n, c.value) << c.input;
    EXPECT_EQ(in, c.rest) << c.input;
  }
}

TEST(NumberTest, OutOfRangeSaturatesWithSign) {
  const std::string nines(40, '9');
  Input in = nines;
  EXPECT_EQ(parse_number(in), std::numeric_limits<float>::infinity());
  const std::string negative = "-" + nines + ".5";
  in = negative;
  EXPECT_EQ(parse_number(in), -std::numeric_limits<float>::infinity());
  EXPECT_TRUE(in.empty());

  // Below half the smallest subnormal: zero, keeping the sign.
  const std::string tiny = "0." + std::string(50, '0') + "1";
  in = tiny;
  auto n = parse_number(in);
  ASSERT_TRUE(n);
  EXPECT_EQ(*n, 0.0f);
  EXPECT_FALSE(std::signbit(*n));
  const std::string negative_tiny = "-" + tiny;
  in = negative_tiny;
  n = parse_number(in);
  ASSERT_TRUE(n);
  EXPECT_EQ(*n, 0.0f);
  EXPECT_TRUE(std::signbit(*n));

  for (std::string_view zero : {"-0", "-0.", "-0.0000000000"}) {
    in = zero;
    n = parse_number(in);
    ASSERT_TRUE(n) << zero;
    EXPECT_EQ(*n, 0.0f) << zero;
    EXPECT_TRUE(std::signbit(*n)) << zero;
  }

  // Very long digit strings still convert.
  const std::string long_one = "1." + std::string(100000, '0') + "1";
  in = long_one;
  EXPECT_EQ(parse_number(in), 1.0f);
}

TEST(NumberTest, ShortNumbersMatchFullConversion) {
  // Short inputs take a shortcut; it must round exactly like the general path.
  std::uint64_t state = 12345;
  for (int i = 0; i < 200000; ++i) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    const unsigned digits = 1 + static_cast<unsigned>((state >> 33) % 7);
    const unsigned point = static_cast<unsigned>((state >> 40) % (digits + 1));
    std::string text = (state & 1) ? "-" : "";
    for (unsigned d = 0; d < digits; ++d) {
      if (d == point && d > 0) text += '.';
      text += static_cast<char>('0' + (state >> (d * 4 + 3)) % 10);
    }
    float expected = 0;
    std::from_chars(text.data(), text.data() + text.size(), expected, std::chars_format::fixed);
    Input in = text;
    const auto n = parse_number(in);
    ASSERT_TRUE(n) << text;
    ASSERT_EQ(*n, expected) << text;
    ASSERT_EQ(std::signbit(*n), std::signbit(expected)) << text;
  }
}

TEST(NumberTest, FailuresKeepTheSignConsumed) {
  struct Case {
    std::string_view input;
    std::string_view rest;
  };
  const Case cases[] = {{".5", ".5"}, {"+5", "+5"}, {"-", ""}, {"-x", "x"}, {"", ""}, {"inf", "inf"}};
  for (const Case& c : cases) {
    Input in = c.input;
    EXPECT_FALSE(parse_number(in)) << c.input;
    EXPECT_EQ(in, c.rest) << c.input;
  }
}

TEST(NodeIdTest, ReadsIdentifiers) {
  struct Case {
    std::string_view input;
    std::optional<std::string_view> ident;
    std::string_view rest;
  };
  const Case cases[] = {
      {"@a_1", "a_1", ""},      {"@card-2", "card", "-2"},   {"@ a", std::nullopt, " a"},
      {"a", std::nullopt, "a"}, {"@Ωмир中٣", "Ωмир中٣", ""}, {"@", std::nullopt, ""},
  };
  for (const Case& c : cases) {
    Input in = c.input;
    const auto id = parse_node_id(in);
    ASSERT_EQ(id.has_value(), c.ident.has_value()) << c.input;
    if (id) {
      EXPECT_EQ(id->resolve(), *c.ident) << c.input;
    }
    EXPECT_EQ(in, c.rest) << c.input;
  }
}

TEST(HexColorTest, DigitCounts) {
  struct Case {
    std::string_view input;
    std::optional<Color> color;
    std::string_view rest;
  };
  const Case cases[] = {
      {"#fff", Color{1, 1, 1, 1}, ""},
      {"#FFF;", Color{1, 1, 1, 1}, ";"},
      {"#0000", Color{0, 0, 0, 0}, ""},
      {"#ff0000", Color{1, 0, 0, 1}, ""},
      {"#ff000080", Color{1, 0, 0, 128 / 255.0f}, ""},
      {"#ff0000801", Color{1, 0, 0, 128 / 255.0f}, "1"},
      {"#f", std::nullopt, ""},
      {"#ff", std::nullopt, ""},
      {"#fffff", std::nullopt, ""},
      {"#fffffff", std::nullopt, ""},
      {"#g", std::nullopt, "g"},
      {"fff", std::nullopt, "fff"},
  };
  for (const Case& c : cases) {
    Input in = c.input;
    EXPECT_EQ(parse_hex_color(in), c.color) << c.input;
    EXPECT_EQ(in, c.rest) << c.input;
  }
}

TEST(QuotedStringTest, NoEscapes) {
  struct Case {
    std::string_view input;
    std::optional<std::string_view> text;
    std::string_view rest;
  };
  const Case cases[] = {
      {R"("a\"b)", R"(a\)", "b"},   {"\"two\nlines\"x", "two\nlines", "x"}, {"\"\"", "", ""},
      {"\"open", std::nullopt, ""}, {"x\"\"", std::nullopt, "x\"\""},
  };
  for (const Case& c : cases) {
    Input in = c.input;
    EXPECT_EQ(parse_quoted_string(in), c.text) << c.input;
    EXPECT_EQ(in, c.rest) << c.input;
  }
}

TEST(FontValueTest, FillsFromDefaultOrMerges) {
  struct Case {
    std::string_view input;
    std::optional<FontSpec> before;
    FontSpec after;
    std::string_view rest;
  };
  const FontSpec inter{"Inter", 400, 14};
  const FontSpec mono{"Mono", 700, 10};
  const Case cases[] = {
      {"", std::nullopt, inter, ""},
      {"x", std::nullopt, inter, "x"},
      {"18", std::nullopt, {"Inter", 400, 18}, ""},
      {"700 12.5", std::nullopt, {"Inter", 700, 12.5f}, ""},
      {"\"Fira Sans\"", std::nullopt, {"Fira Sans", 400, 14}, ""},
      {"\"Fira\" 600 16;", std::nullopt, {"Fira", 600, 16}, ";"},
      {"\"Fira\"16", std::nullopt, {"Fira", 400, 16}, ""},
      {"-3 10", std::nullopt, {"Inter", 0, 10}, ""},
      {"70000 10", std::nullopt, {"Inter", 65535, 10}, ""},
      {"400.9 10", std::nullopt, {"Inter", 400, 10}, ""},
      {"12 x", std::nullopt, {"Inter", 400, 12}, "x"},
      {"20", mono, {"Mono", 700, 20}, ""},
      {"\"Serif\"", mono, {"Serif", 700, 10}, ""},
      // A space before the first number without a family is not skipped.
      {" 20", mono, mono, " 20"},
  };
  for (const Case& c : cases) {
    Input in = c.input;
    std::optional<FontSpec> font = c.before;
    ASSERT_TRUE(parse_font_value(in, font)) << c.input;
    EXPECT_EQ(font, c.after) << c.input;
    EXPECT_EQ(in, c.rest) << c.input;
  }
}

TEST(FontValueTest, UnclosedFamilyFailsAndKeepsTheFont) {
  Input in = "\"Fira 12";
  std::optional<FontSpec> font;
  EXPECT_FALSE(parse_font_value(in, font));
  EXPECT_FALSE(font);
  std::optional<FontSpec> mono = FontSpec{"Mono", 700, 10};
  in = "\"Fira 12";
  EXPECT_FALSE(parse_font_value(in, mono));
  EXPECT_EQ(mono, (FontSpec{"Mono", 700, 10}));
}

TEST(AnnotationTest, KeyedAndFreeForms) {
  using Kind = Annotation::Kind;
  struct Case {
    std::string_view input;
    Annotation result;
    std::string_view rest;
  };
  const Case cases[] = {
      {"## \"a phrase\"", {Kind::Description, "a phrase"}, ""},
      {"## hello; world", {Kind::Description, "hello; world"}, ""},
      {"## status: done; priority: high", {Kind::Status, "done"}, " priority: high"},
      {"## priority: high\nx", {Kind::Priority, "high"}, "x"},
      {"## tag : ui", {Kind::Tag, "ui"}, ""},
      {"##tag:ui", {Kind::Tag, "ui"}, ""},
      {"## Status: done", {Kind::Description, "Status: done"}, ""},
      {"## note:remember", {Kind::Description, "note: remember"}, ""},
      {"## note  :  a b  ", {Kind::Description, "note: a b"}, ""},
      {"##", {Kind::Description, ""}, ""},
      {"##\nrest", {Kind::Description, ""}, "rest"},
      {"## status:", {Kind::Status, ""}, ""},
      {"## accept: \"it works\" later", {Kind::Accept, "it works"}, " later"},
      {"## accept: \"it works\";x", {Kind::Accept, "it works"}, "x"},
      {"## free text\r\nnext", {Kind::Description, "free text"}, "next"},
      {"## a b: c", {Kind::Description, "a b: c"}, ""},
      {"## -x", {Kind::Description, "-x"}, ""},
      {"## tag: \"multi\nline\"", {Kind::Tag, "multi\nline"}, ""},
  };
  for (const Case& c : cases) {
    Input in = c.input;
    const auto a = parse_annotation(in);
    ASSERT_TRUE(a) << c.input;
    EXPECT_EQ(*a, c.result) << c.input;
    EXPECT_EQ(in, c.rest) << c.input;
  }
}

TEST(AnnotationTest, Failures) {
  Input in = "# one hash";
  EXPECT_FALSE(parse_annotation(in));
  EXPECT_EQ(in, "# one hash");
  for (std::string_view text : {"## \"open", "## tag: \"open"}) {
    in = text;
    EXPECT_FALSE(parse_annotation(in)) << text;
  }
}

TEST(LeadingCommentsTest, CollectsTrimmedLines) {
  struct Case {
    std::string_view input;
    vesk_core::model::List<std::string> comments;
    std::string_view rest;
  };
  const Case cases[] = {
      {"\n\n  # a\n\t# b\nrect", {"a", "b"}, "rect"},
      {"#\n# \t \nx", {}, "x"},
      {"#   spaced  \n", {"spaced"}, ""},
      {"# crlf\r\n# next\r\nx", {"crlf", "next"}, "x"},
      {"# a\n## note\n# b", {"a"}, "## note\n# b"},
      {"# a\n###\n", {"a"}, "###\n"},
      {"# last", {"last"}, ""},
      {"\u3000# wide space\u00A0\n x", {"wide space"}, "x"},
      {"#é#\nx", {"é#"}, "x"},
      {"x # not", {}, "x # not"},
      {"", {}, ""},
  };
  for (const Case& c : cases) {
    Input in = c.input;
    EXPECT_EQ(collect_leading_comments(in), c.comments) << c.input;
    EXPECT_EQ(in, c.rest) << c.input;
    in = c.input;
    skip_leading_comments(in);
    EXPECT_EQ(in, c.rest) << c.input;
  }
}

TEST(LookAheadTest, NodeHead) {
  struct Case {
    std::string_view input;
    bool head;
  };
  const Case cases[] = {
      {"@a {", true},      {"@a{", true}, {"@a\n\n  {", true}, {"@a\r\n{", true},
      {"@a\u3000{", true}, {"@{", false}, {"@ a {", false},    {"@a -> b", false},
      {"@a", false},       {"@", false},  {"@a b {", false},   {"@αβ {", true},
  };
  for (const Case& c : cases) EXPECT_EQ(is_node_head(c.input), c.head) << c.input;
  EXPECT_EQ(skip_ident_chars("ab_9-c"), "-c");
  EXPECT_EQ(skip_ident_chars("-c"), "-c");
  EXPECT_EQ(skip_ident_chars("中文"), "");
}

TEST(CountConversionTest, TruncatesAndSaturates) {
  EXPECT_EQ(to_count(2.9f), 2u);
  EXPECT_EQ(to_count(-1), 0u);
  EXPECT_EQ(to_count(std::nanf("")), 0u);
  EXPECT_EQ(to_count(4294967296.0f), 4294967295u);
  EXPECT_EQ(to_count(std::numeric_limits<float>::infinity()), 4294967295u);
  EXPECT_EQ(to_count(4294967040.0f), 4294967040u);
  EXPECT_EQ(to_weight(65535.9f), 65535);
  EXPECT_EQ(to_weight(1e9f), 65535);
  EXPECT_EQ(to_weight(-0.5f), 0);
}

}  // namespace
