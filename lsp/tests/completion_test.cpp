#include "completion.hpp"

#include <gtest/gtest.h>
#include <boost/json.hpp>

#include <string>
#include <vector>

using vesk_lsp::completion::compute_completions;

namespace {

using Labels = std::vector<std::string>;

const Labels kTop = {"import", "group", "rect", "ellipse", "text", "path", "style"};
const Labels kInBlock = {"w:",      "h:",    "fill:", "stroke:", "corner:", "opacity:", "font:", "bg:", "use:",
                         "layout:", "group", "rect",  "ellipse", "text",    "path",     "anim",  "##"};
const Labels kLayout = {"column", "row", "grid", "free"};
const Labels kEase = {"linear", "ease_in", "ease_out", "ease_in_out", "spring"};
const Labels kStatus = {"draft", "in_progress", "review", "done"};
const Labels kPriority = {"low", "medium", "high", "critical"};
const Labels kNone = {};

Labels labels(const boost::json::array& items) {
  Labels out;
  for (const auto& item : items) out.emplace_back(item.as_object().at("label").as_string());
  return out;
}

}  // namespace

TEST(CompletionTest, ListChosenByContext) {
  struct Case {
    std::string text;
    std::uint32_t line;
    std::uint32_t character;
    const Labels* expected;
  };
  const Case cases[] = {
      {"", 0, 0, &kTop},
      {"", 3, 7, &kTop},
      {"rect @a {\n  ", 1, 2, &kInBlock},
      {"rect @a {\n}\n", 2, 0, &kTop},
      {"rect @a {", 0, 9, &kInBlock},    // after the brace
      {"rect @a {", 0, 8, &kTop},        // before it
      {"rect @a { }", 0, 9, &kInBlock},  // a "}" after the cursor does not count
      {"}\n}\nrect @a {", 2, 9, &kTop},  // depth -1
      {"## \"{\"\n", 1, 0, &kInBlock},   // braces count inside quotes too
      {"# {\n", 1, 0, &kInBlock},        // and inside comments
      {"group @g {\n  rect @r {\n  }\n", 3, 0, &kInBlock},
      {"rect @a {\n}\n", 9, 0, &kTop},  // line past the end: whole text
      {"rect @a {\n", 9, 0, &kInBlock},
      {"rect @a {", 0, 100, &kInBlock},  // column past the end: whole line
      {"rect @a {\r\n  ", 1, 2, &kInBlock},
      {"rect @a {\r\n}\r\n", 2, 0, &kTop},
      // value context
      {"rect @a {\n  layout:", 1, 9, &kLayout},
      {"  layout:", 0, 9, &kLayout},
      {"layout :", 0, 8, &kLayout},
      {"layout: ", 0, 8, &kLayout},
      {"\xC2\xA0layout:", 0, 8, &kLayout},  // no-break space is trimmed
      {"layout:\r\n", 0, 7, &kLayout},
      {"rect @a {\n  layout: co", 1, 12, &kInBlock},
      {"layout: co", 0, 10, &kTop},
      {"## status:", 0, 10, &kStatus},
      {"## priority:", 0, 12, &kPriority},
      {"anim :hover { ease:", 0, 19, &kEase},
      {"rect @a {\n  w:", 1, 4, &kNone},
      {"rect @a {\n  fill:", 1, 7, &kNone},
      {"Layout:", 0, 7, &kNone},
      {":", 0, 1, &kNone},
      {"  :  ", 0, 5, &kNone},
      {"layout::", 0, 8, &kNone},              // key word is "layout:"
      {"layout:\tx", 0, 7, &kLayout},          // the cursor decides the prefix
      {"x\xC3\xA9 layout:", 0, 10, &kLayout},  // columns in UTF-16 units
      {"x\xC3\xA9 layout:", 0, 9, &kTop},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(labels(compute_completions(c.text, c.line, c.character)), *c.expected)
        << '"' << c.text << "\" " << c.line << ':' << c.character;
  }
}

TEST(CompletionTest, ItemsAsJson) {
  const auto top = compute_completions("", 0, 0);
  ASSERT_EQ(top.size(), 7u);
  EXPECT_EQ(boost::json::serialize(top[0]),
            R"({"label":"import","kind":14,"detail":"Import another .vesk file",)"
            R"("insertText":"import \"${1:path.vesk}\" as ${2:name}","insertTextFormat":2})");
  EXPECT_EQ(boost::json::serialize(top[2]),
            R"({"label":"rect","kind":14,"detail":"Rectangle shape",)"
            R"("insertText":"rect @${1:name} {\n  w: ${2:100} h: ${3:50}\n  fill: #${4:6C5CE7}\n}",)"
            R"("insertTextFormat":2})");
  EXPECT_EQ(boost::json::serialize(top[4]),
            R"({"label":"text","kind":14,"detail":"Text label",)"
            R"("insertText":"text @${1:name} \"${2:Hello}\" {\n  fill: #${3:333333}\n}","insertTextFormat":2})");

  const auto block = compute_completions("{", 0, 1);
  ASSERT_EQ(block.size(), 17u);
  EXPECT_EQ(boost::json::serialize(block[5]),
            "{\"label\":\"opacity:\",\"kind\":10,\"detail\":\"Opacity (0.0\xE2\x80\x93"
            "1.0)\"}");
  EXPECT_EQ(boost::json::serialize(block[8]), R"({"label":"use:","kind":18,"detail":"Reference a named style"})");
  EXPECT_EQ(boost::json::serialize(block[10]), R"({"label":"group","kind":14,"detail":"Nested group"})");
  EXPECT_EQ(boost::json::serialize(block[15]),
            R"({"label":"anim","kind":15,"detail":"Animation block",)"
            R"("insertText":"anim :${1|hover,press,enter|} {\n  $0\n}","insertTextFormat":2})");
  EXPECT_EQ(boost::json::serialize(block[16]),
            R"({"label":"##","kind":15,"detail":"Annotation","insertText":"## \"${1:description}\"",)"
            R"("insertTextFormat":2})");

  const auto ease = compute_completions("ease:", 0, 5);
  EXPECT_EQ(boost::json::serialize(ease[3]), R"({"label":"ease_in_out","kind":20,"detail":"Ease in-out"})");
}

TEST(CompletionTest, DetailsOfTheValueLists) {
  auto details = [](std::string_view text) {
    std::vector<std::string> out;
    for (const auto& item : compute_completions(text, 0, 100)) {
      const auto& o = item.as_object();
      EXPECT_EQ(o.at("kind").to_number<std::int64_t>(), 20);
      EXPECT_EQ(o.size(), 3u);
      out.emplace_back(o.at("detail").as_string());
    }
    return out;
  };
  using D = std::vector<std::string>;
  EXPECT_EQ(details("layout:"),
            (D{"Vertical stack layout", "Horizontal stack layout", "Grid layout", "Free / absolute positioning"}));
  EXPECT_EQ(details("ease:"), (D{"Linear easing", "Ease in", "Ease out", "Ease in-out", "Spring physics"}));
  EXPECT_EQ(details("status:"), (D{"Draft status", "In progress", "Under review", "Completed"}));
  EXPECT_EQ(details("priority:"), (D{"Low priority", "Medium priority", "High priority", "Critical priority"}));
}

TEST(CompletionTest, TruncatedUtf8DoesNotCrash) {
  // Cut-off multi-byte characters (including a cut-off white-space character).
  for (const std::string text : {"\xE2\x80", "layout:\xE2\x80", "\xE2\x80 layout:", "{\xF0", "\xC3"}) {
    for (std::uint32_t character : {0u, 1u, 2u, 9u, 100u}) {
      (void)compute_completions(text, 0, character);
    }
  }
}
