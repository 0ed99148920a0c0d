#include "words.hpp"

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

using namespace vesk_core;
using namespace vesk_core::words;
using model::Annotation;
using model::ArrowKind;
using model::CurveKind;
using model::Easing;
using model::FlowKind;

namespace {

// Every value of `values` goes word -> value -> word: its written word reads
// back as the value, and that value writes the same word. A value without a
// written word must be `unwritten` (what an unknown word reads as, or a kind
// with no word); `write_only` names the one written word the reader does not
// know, if any. Every read-only word reads as a value with another written word.
template <class Value, std::size_t N>
void check_table(const char* name, const Word<Value> (&table)[N],
                 std::type_identity_t<std::initializer_list<Value>> values,
                 std::type_identity_t<std::optional<Value>> unwritten,
                 std::optional<std::string_view> write_only = std::nullopt) {
  SCOPED_TRACE(name);
  for (const Value value : values) {
    int written = 0;
    for (const auto& word : table) written += word.written && word.value == value;
    EXPECT_LE(written, 1) << "one written word per value";
    const auto text = spelling(table, value);
    if (!text) {
      EXPECT_EQ(std::optional<Value>(value), unwritten) << "a value without a word";
      continue;
    }
    const auto back = read(table, *text);
    if (!back) {
      EXPECT_EQ(text, write_only) << *text;
      continue;
    }
    EXPECT_EQ(*back, value) << *text;
    EXPECT_EQ(spelling(table, *back), text) << *text;
  }
  for (const auto& word : table) {
    if (word.written) continue;
    const auto value = read(table, word.text);
    ASSERT_TRUE(value) << word.text;
    const auto canonical = spelling(table, *value);
    ASSERT_TRUE(canonical) << word.text;
    EXPECT_NE(*canonical, word.text);
    EXPECT_EQ(read(table, *canonical), value) << word.text;
  }
  EXPECT_EQ(read(table, "no_such_word"), std::nullopt);
}

}  // namespace

TEST(WordsTest, EveryValueGoesWordValueWord) {
  check_table("node kinds", kNodeKinds,
              {NodeWord::Group, NodeWord::Rect, NodeWord::Ellipse, NodeWord::Path, NodeWord::Text}, std::nullopt);
  check_table("annotation keys", kAnnotationKeys,
              {Annotation::Kind::Description, Annotation::Kind::Accept, Annotation::Kind::Status,
               Annotation::Kind::Priority, Annotation::Kind::Tag},
              Annotation::Kind::Description);
  check_table("triggers", kTriggers,
              {model::AnimTrigger::Kind::Hover, model::AnimTrigger::Kind::Press, model::AnimTrigger::Kind::Enter,
               model::AnimTrigger::Kind::Custom},
              model::AnimTrigger::Kind::Custom);
  check_table("easings", kEasings,
              {Easing::Kind::Linear, Easing::Kind::EaseIn, Easing::Kind::EaseOut, Easing::Kind::EaseInOut,
               Easing::Kind::Spring, Easing::Kind::Cubic},
              std::nullopt, "cubic");
  check_table("arrows", kArrows, {ArrowKind::None, ArrowKind::Start, ArrowKind::End, ArrowKind::Both}, ArrowKind::None);
  check_table("curves", kCurves, {CurveKind::Straight, CurveKind::Smooth, CurveKind::Step}, CurveKind::Straight);
  check_table("flows", kFlows, {FlowKind::Pulse, FlowKind::Dash}, std::nullopt);
  check_table("layouts", kLayouts, {LayoutWord::Column, LayoutWord::Row, LayoutWord::Grid}, std::nullopt);

  // The words the tables must hold, as the text format spells them.
  EXPECT_EQ(read(kEasings, "easeIn"), Easing::Kind::EaseIn);
  EXPECT_EQ(read(kEasings, "ease_in_out"), kDefaultEasing);
  EXPECT_EQ(spelling(kNodeKinds, NodeWord::Ellipse), "ellipse");
  EXPECT_EQ(node_word(model::NodeKind{model::NodeKind::Text{"t"}}), NodeWord::Text);
  EXPECT_EQ(node_word(model::NodeKind{model::NodeKind::Generic{}}), std::nullopt);
  EXPECT_EQ(node_word(model::NodeKind{model::NodeKind::Root{}}), std::nullopt);
}
