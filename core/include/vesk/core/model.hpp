#pragma once
// In-memory form of one Vesk document.

#include "vesk/core/id.hpp"

#include <boost/container/small_vector.hpp>
#include <boost/unordered/unordered_flat_map.hpp>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vesk_core::model {

using id::NodeId;

// Index of a node in its graph, in the order of addition; 0 is the root.
using NodeIndex = std::uint32_t;

// Lists that usually hold one or two entries keep them in place.
template <class T>
using SmallVec = boost::container::small_vector<T, 2>;

struct Color {
  float r = 0, g = 0, b = 0, a = 1;

  // "#" and exactly 3, 4, 6 or 8 hex digits; anything else gives nullopt.
  static std::optional<Color> from_hex(std::string_view text);
  // "#RRGGBB", or "#RRGGBBAA" when alpha is not 255; channels are clamped.
  std::string to_hex() const;

  bool operator==(const Color&) const = default;
};

struct GradientStop {
  Color color;
  float offset = 0;
  bool operator==(const GradientStop&) const = default;
};

struct Paint {
  struct Solid {
    Color color;
    bool operator==(const Solid&) const = default;
  };
  struct LinearGradient {
    float angle = 0;  // degrees
    std::vector<GradientStop> stops;
    bool operator==(const LinearGradient&) const = default;
  };
  struct RadialGradient {
    std::vector<GradientStop> stops;
    bool operator==(const RadialGradient&) const = default;
  };

  std::variant<Solid, LinearGradient, RadialGradient> value;

  static Paint solid(Color color) { return Paint{Solid{color}}; }
  bool operator==(const Paint&) const = default;
};

struct Stroke {
  Paint paint;
  float width = 0;
  bool operator==(const Stroke&) const = default;
};

struct Shadow {
  float x = 0, y = 0, blur = 0;
  Color color;
  bool operator==(const Shadow&) const = default;
};

struct FontSpec {
  std::string family;
  std::uint16_t weight = 400;
  float size = 14;
  bool operator==(const FontSpec&) const = default;
};

// Every field optional; the empty style sets nothing.
struct Style {
  std::optional<Paint> fill;
  std::optional<Stroke> stroke;
  std::optional<FontSpec> font;
  std::optional<float> corner_radius;
  std::optional<float> opacity;
  std::optional<Shadow> shadow;

  bool empty() const {
    return !fill && !stroke && !font && !corner_radius && !opacity && !shadow;
  }
  bool operator==(const Style&) const = default;
};

struct LayoutMode {
  struct Free {
    bool operator==(const Free&) const = default;
  };
  struct Column {
    float gap = 0, pad = 0;
    bool operator==(const Column&) const = default;
  };
  struct Row {
    float gap = 0, pad = 0;
    bool operator==(const Row&) const = default;
  };
  struct Grid {
    std::uint32_t cols = 2;
    float gap = 0, pad = 0;
    bool operator==(const Grid&) const = default;
  };

  std::variant<Free, Column, Row, Grid> value;
  bool operator==(const LayoutMode&) const = default;
};

// One path command; the text format has no syntax for these.
struct PathCmd {
  enum class Op : std::uint8_t { MoveTo, LineTo, QuadTo, CubicTo, Close };
  Op op = Op::MoveTo;
  std::array<float, 6> args{};
  bool operator==(const PathCmd&) const = default;
};

struct NodeKind {
  struct Root {
    bool operator==(const Root&) const = default;
  };
  struct Generic {
    bool operator==(const Generic&) const = default;
  };
  struct Group {
    LayoutMode layout;
    bool operator==(const Group&) const = default;
  };
  struct Rect {
    float width = 100, height = 100;
    bool operator==(const Rect&) const = default;
  };
  struct Ellipse {
    float rx = 50, ry = 50;
    bool operator==(const Ellipse&) const = default;
  };
  struct Path {
    std::vector<PathCmd> commands;
    bool operator==(const Path&) const = default;
  };
  struct Text {
    std::string content;
    bool operator==(const Text&) const = default;
  };

  std::variant<Root, Generic, Group, Rect, Ellipse, Path, Text> value;
  bool operator==(const NodeKind&) const = default;
};

struct Constraint {
  struct CenterIn {
    NodeId target;
    bool operator==(const CenterIn&) const = default;
  };
  struct Offset {
    NodeId from;
    float dx = 0, dy = 0;
    bool operator==(const Offset&) const = default;
  };
  struct FillParent {
    float pad = 0;
    bool operator==(const FillParent&) const = default;
  };
  struct Absolute {
    float x = 0, y = 0;
    bool operator==(const Absolute&) const = default;
  };

  std::variant<CenterIn, Offset, FillParent, Absolute> value;
  bool operator==(const Constraint&) const = default;
};

struct Annotation {
  enum class Kind : std::uint8_t { Description, Accept, Status, Priority, Tag };
  Kind kind = Kind::Description;
  std::string text;
  bool operator==(const Annotation&) const = default;
};

struct AnimTrigger {
  enum class Kind : std::uint8_t { Hover, Press, Enter, Custom };
  Kind kind = Kind::Hover;
  std::string custom;  // the trigger word, for Custom only
  bool operator==(const AnimTrigger&) const = default;
};

struct Easing {
  enum class Kind : std::uint8_t { Linear, EaseIn, EaseOut, EaseInOut, Spring, Cubic };
  Kind kind = Kind::EaseInOut;
  std::array<float, 4> cubic{};  // control points, for Cubic only
  bool operator==(const Easing&) const = default;
};

struct AnimKeyframe {
  AnimTrigger trigger;
  std::optional<Paint> fill;
  std::optional<float> opacity;
  std::optional<float> scale;
  std::optional<float> rotate;
  Easing easing;
  std::uint32_t duration_ms = 300;
  bool operator==(const AnimKeyframe&) const = default;
};

enum class ArrowKind : std::uint8_t { None, Start, End, Both };
enum class CurveKind : std::uint8_t { Straight, Smooth, Step };
enum class FlowKind : std::uint8_t { Pulse, Dash };

struct FlowAnim {
  FlowKind kind = FlowKind::Pulse;
  std::uint32_t duration_ms = 800;
  bool operator==(const FlowAnim&) const = default;
};

struct Edge {
  NodeId id;
  NodeId from;
  NodeId to;
  std::optional<std::string> label;
  Style style;
  SmallVec<NodeId> use_styles;
  ArrowKind arrow = ArrowKind::None;
  CurveKind curve = CurveKind::Straight;
  std::optional<FlowAnim> flow;
  std::vector<Annotation> annotations;
  SmallVec<AnimKeyframe> animations;
  bool operator==(const Edge&) const = default;
};

struct Import {
  std::string path;
  std::string alias;
  bool operator==(const Import&) const = default;
};

struct SceneNode {
  NodeId id;
  NodeKind kind;
  Style style;
  SmallVec<NodeId> use_styles;
  SmallVec<Constraint> constraints;
  SmallVec<AnimKeyframe> animations;
  std::vector<Annotation> annotations;
  std::vector<std::string> comments;

  SceneNode(NodeId node_id, NodeKind node_kind) : id(node_id), kind(std::move(node_kind)) {}
  bool operator==(const SceneNode&) const = default;
};

// One parsed document: a tree of nodes under the root (index 0, id "root").
class SceneGraph {
 public:
  // A graph holding only the root.
  SceneGraph();

  static constexpr NodeIndex root = 0;

  // Appends `node` as the last child of `parent` and indexes its id
  // (replacing an earlier node with the same id in the index).
  NodeIndex add_node(NodeIndex parent, SceneNode node);

  // Makes room for `count` nodes in all, so that adding up to that many moves
  // no node record.
  void reserve(std::size_t count);

  const SceneNode* get_by_id(NodeId id) const;
  SceneNode* get_by_id_mut(NodeId id);

  // Children of `index`, first added first.
  std::vector<NodeIndex> children(NodeIndex index) const;

  std::size_t node_count() const { return nodes_.size(); }
  const SceneNode& node(NodeIndex index) const { return nodes_[index]; }
  SceneNode& node(NodeIndex index) { return nodes_[index]; }
  // All nodes in index order.
  std::span<const SceneNode> nodes() const { return nodes_; }
  std::span<SceneNode> nodes() { return nodes_; }

  const boost::unordered_flat_map<NodeId, NodeIndex>& id_index() const { return id_index_; }

  boost::unordered_flat_map<NodeId, Style> styles;
  std::vector<Edge> edges;
  std::vector<Import> imports;

 private:
  static constexpr NodeIndex kNone = UINT32_MAX;
  struct Links {
    NodeIndex first_child = kNone;
    NodeIndex last_child = kNone;
    NodeIndex next_sibling = kNone;
  };

  std::vector<SceneNode> nodes_;
  std::vector<Links> links_;
  boost::unordered_flat_map<NodeId, NodeIndex> id_index_;
};

}  // namespace vesk_core::model
