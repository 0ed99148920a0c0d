#pragma once
// In-memory form of one Vesk document.

#include "vesk/core/id.hpp"
#include "vesk/core/list.hpp"

#include <boost/unordered/unordered_flat_map.hpp>

#include <array>
#include <bit>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vesk_core::model {

using id::NodeId;

// Index of a node in its graph, in the order of addition; 0 is the root.
using NodeIndex = std::uint32_t;

struct Color {
  float r = 0, g = 0, b = 0, a = 1;

  // "#" and exactly 3, 4, 6 or 8 hex digits; anything else gives nullopt.
  static std::optional<Color> from_hex(std::string_view text);
  // The same from the digits' values (0 to 15 each), "#" and the digits
  // already read.
  static std::optional<Color> from_hex_values(std::span<const std::uint8_t> values);
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
    List<GradientStop> stops;
    bool operator==(const LinearGradient&) const = default;
  };
  struct RadialGradient {
    List<GradientStop> stops;
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

  bool empty() const { return !fill && !stroke && !font && !corner_radius && !opacity && !shadow; }
  bool operator==(const Style&) const = default;
};

// A node's inline style, held out of line: most nodes set none, and then it
// costs one pointer. Reading never allocates; the first change does, from the
// heap or, through edit_in, from an arena (a graph's, for the nodes it holds).
// Like List, it never hands an arena's style to another NodeStyle.
class NodeStyle {
 public:
  NodeStyle() noexcept = default;
  NodeStyle(Style style) { *this = std::move(style); }  // NOLINT: converts like the Style it holds
  NodeStyle(const NodeStyle& other) {
    if (other.held()) bits_ = reinterpret_cast<std::uintptr_t>(new Style(*other.held()));
  }
  NodeStyle(NodeStyle&& other) noexcept { take(other); }
  NodeStyle& operator=(const NodeStyle& other) {
    if (this != &other) *this = other.get();
    return *this;
  }
  NodeStyle& operator=(NodeStyle&& other) noexcept {
    if (this != &other) {
      reset();
      take(other);
    }
    return *this;
  }
  NodeStyle& operator=(Style style) {
    if (style.empty()) {
      reset();
    } else {
      edit() = std::move(style);
    }
    return *this;
  }
  ~NodeStyle() { reset(); }

  // The style; the empty style when none is set.
  const Style& get() const noexcept { return held() ? *held() : kEmpty; }
  // The style for changing, made on first use.
  Style& edit() { return edit_in(nullptr); }
  // The same, made in `arena` (which must outlive this) if there is none yet.
  Style& edit_in(detail::Arena* arena) {
    if (!held()) {
      if (arena) {
        bits_ = reinterpret_cast<std::uintptr_t>(::new (arena->allocate(sizeof(Style))) Style()) | kInArena;
      } else {
        bits_ = reinterpret_cast<std::uintptr_t>(new Style());
      }
    }
    return *held();
  }

  const Style* operator->() const noexcept { return &get(); }
  Style* operator->() { return &edit(); }

  bool empty() const noexcept { return !held() || held()->empty(); }
  void reset() noexcept {
    if (Style* style = held()) {
      if (bits_ & kInArena) {
        style->~Style();
      } else {
        delete style;
      }
    }
    bits_ = 0;
  }

  friend bool operator==(const NodeStyle& a, const NodeStyle& b) { return a.get() == b.get(); }
  friend bool operator==(const NodeStyle& a, const Style& b) { return a.get() == b; }

 private:
  static constexpr std::uintptr_t kInArena = 1;  // the arena frees the memory
  static const Style kEmpty;

  Style* held() const noexcept { return reinterpret_cast<Style*>(bits_ & ~kInArena); }
  // Takes the style of `other`, an arena's by moving it to the heap; leaves `other` empty.
  void take(NodeStyle& other) noexcept {
    if (!(other.bits_ & kInArena)) {
      bits_ = std::exchange(other.bits_, 0);
      return;
    }
    bits_ = reinterpret_cast<std::uintptr_t>(new Style(std::move(*other.held())));
    other.reset();
  }

  std::uintptr_t bits_ = 0;  // Style*, and kInArena
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
    List<PathCmd> commands;
    bool operator==(const Path&) const = default;
  };
  struct Text {
    CompactString content;
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
  List<NodeId> use_styles;
  ArrowKind arrow = ArrowKind::None;
  CurveKind curve = CurveKind::Straight;
  std::optional<FlowAnim> flow;
  List<Annotation> annotations;
  List<AnimKeyframe> animations;
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
  NodeStyle style;
  List<NodeId> use_styles;
  List<Constraint> constraints;
  List<AnimKeyframe> animations;
  List<Annotation> annotations;
  List<std::string> comments;

  SceneNode(NodeId node_id, NodeKind node_kind) : id(node_id), kind(std::move(node_kind)) {}
  bool operator==(const SceneNode&) const = default;
};

namespace detail {

// Entries that never move once added: segment k holds 64 << k of them, so an
// index finds its segment with one bit scan, and growing copies nothing.
template <class T>
class Segments {
 public:
  Segments() noexcept = default;
  Segments(const Segments& other) {
    for (std::size_t i = 0; i < other.size_; ++i) emplace_back(other[i]);
  }
  Segments(Segments&& other) noexcept : segments_(other.segments_), size_(other.size_) {
    other.segments_.fill(nullptr);
    other.size_ = 0;
  }
  Segments& operator=(Segments other) noexcept {
    std::swap(segments_, other.segments_);
    std::swap(size_, other.size_);
    return *this;
  }
  ~Segments() { release(); }

  std::size_t size() const noexcept { return size_; }

  T& operator[](std::size_t i) noexcept { return at(i); }
  const T& operator[](std::size_t i) const noexcept { return const_cast<Segments*>(this)->at(i); }

  template <class... Args>
  T& emplace_back(Args&&... args) {
    const auto [segment, offset] = locate(size_);
    if (segments_[segment] == nullptr) allocate(segment);
    T* slot = segments_[segment] + offset;
    ::new (static_cast<void*>(slot)) T(std::forward<Args>(args)...);
    ++size_;
    return *slot;
  }

  // Allocates the segments that `count` entries need; their memory is not
  // touched until entries are added.
  void reserve(std::size_t count) {
    if (count == 0) return;
    const std::size_t last = locate(count - 1).first;
    for (std::size_t k = 0; k <= last && k < kSegments; ++k) {
      if (segments_[k] == nullptr) allocate(k);
    }
  }

 private:
  static constexpr unsigned kFirstBits = 6;
  static constexpr std::size_t kFirst = std::size_t{1} << kFirstBits;
  static constexpr std::size_t kSegments = 33 - kFirstBits;  // up to 2^32 entries

  static std::pair<std::size_t, std::size_t> locate(std::size_t i) noexcept {
    const std::size_t x = i + kFirst;
    const std::size_t segment = static_cast<std::size_t>(std::bit_width(x)) - 1 - kFirstBits;
    return {segment, x - (kFirst << segment)};
  }
  T& at(std::size_t i) noexcept {
    const auto [segment, offset] = locate(i);
    return segments_[segment][offset];
  }
  void allocate(std::size_t segment);
  void release() noexcept;

  std::array<T*, kSegments> segments_{};
  std::size_t size_ = 0;
};

// Asks for huge pages on the not yet touched memory of a large block; advice only.
void advise_huge_pages(const void* data, std::size_t bytes) noexcept;

template <class T>
void Segments<T>::allocate(std::size_t segment) {
  if (segment >= kSegments) throw std::length_error("vesk_core::model: too many nodes");
  const std::size_t bytes = (kFirst << segment) * sizeof(T);
  segments_[segment] = static_cast<T*>(::operator new(bytes));
  advise_huge_pages(segments_[segment], bytes);
}

template <class T>
void Segments<T>::release() noexcept {
  for (std::size_t i = 0; i < size_; ++i) std::destroy_at(&at(i));
  for (T*& segment : segments_) {
    ::operator delete(segment);
    segment = nullptr;
  }
  size_ = 0;
}

}  // namespace detail

// One parsed document: a tree of nodes under the root (index 0, id "root").
// Node records never move once added: references to them stay valid while
// more nodes are added.
class SceneGraph {
  struct Links;

 public:
  // A graph holding only the root.
  SceneGraph();
  SceneGraph(const SceneGraph&) = default;
  SceneGraph(SceneGraph&&) noexcept = default;
  SceneGraph& operator=(const SceneGraph&) = default;
  // Drops this graph's nodes before the arena they may use.
  SceneGraph& operator=(SceneGraph&& other) noexcept;
  ~SceneGraph() = default;

  static constexpr NodeIndex root = 0;
  // No node: what first_child and next_sibling give at the end.
  static constexpr NodeIndex none = UINT32_MAX;

  // Appends `node` as the last child of `parent` and indexes its id
  // (replacing an earlier node with the same id in the index).
  NodeIndex add_node(NodeIndex parent, SceneNode node);
  // The same for a node made in place from its id and kind.
  NodeIndex add_node(NodeIndex parent, NodeId id, NodeKind kind);

  // Makes room for `count` nodes in all (memory that is not touched until
  // nodes are added).
  void reserve(std::size_t count);

  const SceneNode* get_by_id(NodeId id) const;
  SceneNode* get_by_id_mut(NodeId id);

  // Children of `index`, first added first.
  std::vector<NodeIndex> children(NodeIndex index) const;
  // The same one at a time: the first child of `index` and the sibling after
  // it, or `none`.
  NodeIndex first_child(NodeIndex index) const { return links_[index].first_child; }
  NodeIndex next_sibling(NodeIndex index) const { return links_[index].next_sibling; }

  std::size_t node_count() const { return nodes_.size(); }
  const SceneNode& node(NodeIndex index) const { return nodes_[index]; }
  SceneNode& node(NodeIndex index) { return nodes_[index]; }

  // All nodes in index order.
  template <class Graph, class Node>
  class Range {
   public:
    class iterator {
     public:
      using iterator_category = std::forward_iterator_tag;
      using value_type = SceneNode;
      using difference_type = std::ptrdiff_t;
      using pointer = Node*;
      using reference = Node&;

      iterator() = default;
      iterator(Graph* graph, NodeIndex at) : graph_(graph), at_(at) {}
      Node& operator*() const { return graph_->node(at_); }
      Node* operator->() const { return &graph_->node(at_); }
      iterator& operator++() {
        ++at_;
        return *this;
      }
      iterator operator++(int) {
        iterator before = *this;
        ++at_;
        return before;
      }
      friend bool operator==(const iterator& a, const iterator& b) { return a.at_ == b.at_; }

     private:
      Graph* graph_ = nullptr;
      NodeIndex at_ = 0;
    };

    explicit Range(Graph& graph) : graph_(&graph) {}
    iterator begin() const { return iterator(graph_, 0); }
    iterator end() const { return iterator(graph_, static_cast<NodeIndex>(graph_->node_count())); }
    std::size_t size() const { return graph_->node_count(); }
    Node& operator[](std::size_t i) const { return graph_->node(static_cast<NodeIndex>(i)); }

   private:
    Graph* graph_;
  };
  Range<const SceneGraph, const SceneNode> nodes() const { return Range<const SceneGraph, const SceneNode>(*this); }
  Range<SceneGraph, SceneNode> nodes() { return Range<SceneGraph, SceneNode>(*this); }

  const boost::unordered_flat_map<NodeId, NodeIndex>& id_index() const { return id_index_; }

  // Memory for the lists and styles of this graph's nodes (List::emplace_back_in,
  // NodeStyle::edit_in), released with the graph.
  detail::Arena& arena() { return arena_; }

  boost::unordered_flat_map<NodeId, Style> styles;
  std::vector<Edge> edges;
  std::vector<Import> imports;

 private:
  struct Links {
    NodeIndex first_child = none;
    NodeIndex last_child = none;
    NodeIndex next_sibling = none;
  };

  NodeIndex link(NodeIndex parent, NodeId id);

  detail::Arena arena_;  // before the nodes, which it outlives
  detail::Segments<SceneNode> nodes_;
  detail::Segments<Links> links_;
  boost::unordered_flat_map<NodeId, NodeIndex> id_index_;
};

}  // namespace vesk_core::model
