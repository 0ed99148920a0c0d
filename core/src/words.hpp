#pragma once
// The words of the text format that the reader and the writer share, each
// with the value it stands for. A value has at most one written word; other
// words for it are read only, and a value without a word is what the reader
// makes of a word it does not know.

#include "vesk/core/model.hpp"

#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>

namespace vesk_core::words {

template <class Value>
struct Word {
  std::string_view text;
  Value value;
  bool read = true;     // the reader knows it
  bool written = true;  // the writer's word for the value
};

// The value of `text` in `table`, when the reader knows it.
template <class Value, std::size_t N>
constexpr std::optional<Value> read(const Word<Value> (&table)[N], std::string_view text) {
  for (const Word<Value>& word : table) {
    if (word.read && word.text == text) return word.value;
  }
  return std::nullopt;
}

// The written word of `value`, when it has one.
template <class Value, std::size_t N>
constexpr std::optional<std::string_view> spelling(const Word<Value> (&table)[N], Value value) {
  for (const Word<Value>& word : table) {
    if (word.written && word.value == value) return word.text;
  }
  return std::nullopt;
}

// Node block keywords; a block without one is a generic node. No keyword is
// a prefix of another.
enum class NodeWord : std::uint8_t { Group, Rect, Ellipse, Path, Text };
inline constexpr Word<NodeWord> kNodeKinds[] = {
    {"group", NodeWord::Group}, {"rect", NodeWord::Rect}, {"ellipse", NodeWord::Ellipse},
    {"path", NodeWord::Path},   {"text", NodeWord::Text},
};
// The keyword word of `kind`; nullopt for the root and generic nodes.
inline std::optional<NodeWord> node_word(const model::NodeKind& kind) {
  using K = model::NodeKind;
  if (std::holds_alternative<K::Group>(kind.value)) return NodeWord::Group;
  if (std::holds_alternative<K::Rect>(kind.value)) return NodeWord::Rect;
  if (std::holds_alternative<K::Ellipse>(kind.value)) return NodeWord::Ellipse;
  if (std::holds_alternative<K::Path>(kind.value)) return NodeWord::Path;
  if (std::holds_alternative<K::Text>(kind.value)) return NodeWord::Text;
  return std::nullopt;
}

// Keys of keyed annotations; any other key makes a description.
inline constexpr Word<model::Annotation::Kind> kAnnotationKeys[] = {
    {"tag", model::Annotation::Kind::Tag},
    {"accept", model::Annotation::Kind::Accept},
    {"status", model::Annotation::Kind::Status},
    {"priority", model::Annotation::Kind::Priority},
};

// Anim triggers; any other word is a custom trigger, written as it was read.
inline constexpr Word<model::AnimTrigger::Kind> kTriggers[] = {
    {"hover", model::AnimTrigger::Kind::Hover},
    {"press", model::AnimTrigger::Kind::Press},
    {"enter", model::AnimTrigger::Kind::Enter},
};

// Easings; an unknown word, "cubic" among them (the reader has no syntax for
// the control points), reads as ease_in_out.
inline constexpr model::Easing::Kind kDefaultEasing = model::Easing::Kind::EaseInOut;
inline constexpr Word<model::Easing::Kind> kEasings[] = {
    {"linear", model::Easing::Kind::Linear},
    {"ease_in", model::Easing::Kind::EaseIn},
    {"easeIn", model::Easing::Kind::EaseIn, true, false},
    {"ease_out", model::Easing::Kind::EaseOut},
    {"easeOut", model::Easing::Kind::EaseOut, true, false},
    {"ease_in_out", model::Easing::Kind::EaseInOut},
    {"spring", model::Easing::Kind::Spring},
    {"cubic", model::Easing::Kind::Cubic, false, true},
};

// Edge arrows; none is not written, and an unknown word reads as none.
inline constexpr Word<model::ArrowKind> kArrows[] = {
    {"start", model::ArrowKind::Start},
    {"end", model::ArrowKind::End},
    {"both", model::ArrowKind::Both},
};

// Edge curves; straight is not written, and an unknown word reads as straight.
inline constexpr Word<model::CurveKind> kCurves[] = {
    {"smooth", model::CurveKind::Smooth},
    {"step", model::CurveKind::Step},
};

// Edge flows; an unknown word reads as pulse.
inline constexpr Word<model::FlowKind> kFlows[] = {
    {"pulse", model::FlowKind::Pulse},
    {"dash", model::FlowKind::Dash},
};

// Group layouts; free is not written, and an unknown word reads as free.
enum class LayoutWord : std::uint8_t { Column, Row, Grid };
inline constexpr Word<LayoutWord> kLayouts[] = {
    {"column", LayoutWord::Column},
    {"row", LayoutWord::Row},
    {"grid", LayoutWord::Grid},
};

}  // namespace vesk_core::words
