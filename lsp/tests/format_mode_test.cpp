#include "format_mode.hpp"

#include "vesk/core/format.hpp"
#include "vesk/testing/process.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using vesk_lsp::format_mode::first_invalid_utf8;
using vesk_testing::run_process;

namespace {

const std::string kBinary = VESK_LSP_BINARY;
const std::string kNodeError =
    "vesk-lsp --format error: Node parse error: Parsing Error: ContextError { context: [], cause: None }\n";

std::string canonical(std::string_view text) {
  auto result = vesk_core::format::format_document(text, vesk_core::format::FormatConfig{true, false});
  EXPECT_TRUE(result.ok()) << result.error();
  return result.ok() ? result.value() : std::string();
}

// Generated ids count per process: number them by first appearance.
std::string renumber_anon(std::string_view text) {
  static constexpr std::string_view kPrefix = "_anon_";
  std::vector<std::string> seen;
  std::string out;
  std::size_t at = 0;
  for (std::size_t hit; (hit = text.find(kPrefix, at)) != std::string_view::npos;) {
    std::size_t end = hit + kPrefix.size();
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    const std::string number(text.substr(hit + kPrefix.size(), end - hit - kPrefix.size()));
    std::size_t k = 0;
    while (k < seen.size() && seen[k] != number) ++k;
    if (k == seen.size()) seen.push_back(number);
    out += text.substr(at, hit - at);
    out += kPrefix;
    out += std::to_string(k);
    at = end;
  }
  out += text.substr(at);
  return out;
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

TEST(Utf8Test, FirstInvalidByte) {
  const std::pair<std::string, std::optional<std::size_t>> cases[] = {
      {"", std::nullopt},
      {"plain ascii, long enough for the word loop", std::nullopt},
      {"\xC2\xA0 \xCE\xB1 \xE2\x82\xAC \xEF\xBF\xBF \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF", std::nullopt},
      {"\xED\x9F\xBF", std::nullopt},  // U+D7FF, just below the surrogates
      {"\xEE\x80\x80", std::nullopt},  // U+E000, just above them
      {"ab\x80", 2},                   // lone continuation byte
      {"\xC0\x80", 0},                 // overlong NUL
      {"\xC1\xBF", 0},
      {"\xE0\x80\x80", 0},  // overlong three-byte form
      {"\xE0\x9F\xBF", 0},
      {"\xF0\x8F\xBF\xBF", 0},  // overlong four-byte form
      {"\xED\xA0\x80", 0},      // high surrogate
      {"\xED\xBF\xBF", 0},      // low surrogate
      {"\xF4\x90\x80\x80", 0},  // U+110000
      {"\xF5\x80\x80\x80", 0},
      {"\xFF", 0},
      {"12345678\xE2\x82", 8},  // cut off at the end
      {"\xE2\x28\xA1", 0},      // bad continuation
      {"\xF0\x9F\x98", 0},
      {"ok \xC3\xA9 then \xC3", 11},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(first_invalid_utf8(text), expected) << text;
}

TEST(FormatModeTest, FormatsStdinToStdout) {
  const std::string input = "# card\ngroup @card { fill: #fff; use: a; use: a\n  rect @r { }\n}\n@r -> absolute: 1,2";
  const auto r = run_process({kBinary, "--format"}, input);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "# card\n"
            "group @card {\n"
            "  use: a\n"
            "  fill: #FFFFFF\n"
            "  rect @r {\n"
            "    w: 100 h: 100\n"
            "  }\n"
            "}\n"
            "\n"
            "@r -> absolute: 1, 2\n");
}

TEST(FormatModeTest, AddsNoNewline) {
  // Canonical text without a final line feed exists only for the empty document.
  for (const std::string input : {"", "   \n\n", "# only a comment", "import \"a.vesk\" as a"}) {
    const auto r = run_process({kBinary, "--format"}, input);
    EXPECT_EQ(r.status, 0) << input;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, canonical(input)) << input;
  }
}

TEST(FormatModeTest, ParseErrorWritesOneLineAndExitsOne) {
  const std::pair<std::string, std::string> cases[] = {
      {"rect @a { fill: #ggg }", kNodeError},
      {"style s\n{ }",
       "vesk-lsp --format error: Style parse error: Parsing Error: ContextError { context: [], cause: None }\n"},
      {"edge { label: Hi }",
       "vesk-lsp --format error: Edge parse error: Parsing Error: ContextError { context: [], cause: None }\n"},
      {"import \"a\" AS a",
       "vesk-lsp --format error: Import parse error: Parsing Error: ContextError { context: [], cause: None }\n"},
      {"@a b",
       "vesk-lsp --format error: Constraint parse error: Parsing Error: ContextError { context: [], cause: None }\n"},
  };
  for (const auto& [input, line] : cases) {
    const auto r = run_process({kBinary, "--format"}, input);
    EXPECT_EQ(r.status, 1) << input;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, line);
  }
}

TEST(FormatModeTest, RejectsInputThatIsNotUtf8) {
  for (const std::string input :
       {"rect @a { }\n\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "text @t \"\xFF\" { }", "ok\xE2\x82"}) {
    const auto r = run_process({kBinary, "--format"}, input);
    EXPECT_NE(r.status, 0);
    EXPECT_LT(r.status, 128) << "killed by a signal";
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("failed to read stdin", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
  }
}

TEST(FormatModeTest, LeadingByteOrderMark) {
  const std::string mark = "\xEF\xBB\xBF";
  const std::string rect = "rect @a {\n  w: 10 h: 20\n}\n";
  struct Case {
    std::string input;
    std::string out;
    int status;
  };
  const Case cases[] = {
      {mark + rect, rect + "\n", 0},  // the first block is kept
      {mark + "# c\r\n" + rect, "# c\n" + rect + "\n", 0},
      {mark, "", 0},
      {mark + mark + rect, "", 0},  // a second mark is no white space: its line is skipped
      {mark + "rect @a { fill: #12 }", "", 1},
  };
  for (const Case& c : cases) {
    const auto r = run_process({kBinary, "--format"}, c.input);
    EXPECT_EQ(r.status, c.status) << c.input;
    EXPECT_EQ(r.out, c.out) << c.input;
    EXPECT_EQ(r.err, c.status == 0 ? "" : kNodeError) << c.input;
    EXPECT_FALSE(r.out.starts_with(mark));
  }
}

TEST(FormatModeTest, OnlyAnExactFirstArgumentSelectsFormatMode) {
  const std::string input = "rect @a { }\n";
  const auto formats = run_process({kBinary, "--format", "extra"}, input);
  EXPECT_EQ(formats.status, 0);
  EXPECT_EQ(formats.out, canonical(input));

  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{kBinary},
                                                                                    {kBinary, "extra", "--format"},
                                                                                    {kBinary, "--FORMAT"},
                                                                                    {kBinary, "--format=1"},
                                                                                    {kBinary, "--stdio"}}) {
    const auto r = run_process(args, input, {std::chrono::milliseconds(5000), false});
    EXPECT_FALSE(r.timed_out);
    EXPECT_LT(r.status, 128) << "killed by a signal";
    EXPECT_EQ(r.out.find("rect @a {\n  w: 100 h: 100\n}"), std::string::npos) << args.back();
    EXPECT_EQ(r.err.find("vesk-lsp --format error"), std::string::npos);
  }
}

TEST(FormatModeTest, ClosedStdoutIsAFailureNotACrash) {
  const auto r = run_process({kBinary, "--format"}, "rect @a { }\n", {std::chrono::milliseconds(10000), true});
  EXPECT_EQ(r.status, vesk_lsp::format_mode::kIoError);
  EXPECT_EQ(r.err.rfind("failed to write stdout", 0), 0u) << r.err;
}

TEST(FormatModeTest, LargeInputThroughPipes) {
  std::string input;
  for (int i = 0; input.size() < (3u << 20); ++i) {
    input += "group @g" + std::to_string(i) +
             " {\n  layout: row gap=4\n  rect { w: 10.125 h: 20 }\n"
             "  text @t" +
             std::to_string(i) + " \"\xE2\x9C\x93 caf\xC3\xA9\" { font: 12 }\n}\n";
  }
  const auto r = run_process({kBinary, "--format"}, input, {std::chrono::milliseconds(60000), false});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(renumber_anon(r.out) == renumber_anon(canonical(input)));
}

TEST(FormatModeTest, EveryExampleFormatsAndIsStable) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(VESK_SOURCE_DIR) / "examples")) {
    if (entry.path().extension() == ".vesk") files.push_back(entry.path());
  }
  ASSERT_GE(files.size(), 2u);
  for (const auto& file : files) {
    const std::string text = read_file(file);
    const auto r = run_process({kBinary, "--format"}, text);
    EXPECT_EQ(r.status, 0) << file << "\n" << r.err;
    EXPECT_EQ(renumber_anon(r.out), renumber_anon(canonical(text))) << file;
    const auto again = run_process({kBinary, "--format"}, r.out);
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out, r.out) << file;
  }
}
