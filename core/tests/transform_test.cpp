#include "vesk/core/transform.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <utility>
#include <vector>

using namespace vesk_core::model;
using namespace vesk_core::transform;

namespace {

NodeId id(std::string_view text) { return NodeId::intern(text); }
Color hex(std::string_view text) { return *Color::from_hex(text); }

// "literal" + std::to_string trips a false -Wrestrict in g++ 12.
std::string numbered(std::string_view prefix, std::size_t n) {
  std::string out(prefix);
  out += std::to_string(n);
  return out;
}

SceneNode generic(std::string_view name) { return SceneNode(id(name), NodeKind{NodeKind::Generic{}}); }

Edge edge(std::string_view name) {
  return Edge{id(name),     id("a"), id("b"), std::nullopt, Style{}, {}, ArrowKind::None, CurveKind::Straight,
              std::nullopt, {},      {}};
}

template <class List>
std::vector<std::string> names(const List& list) {
  std::vector<std::string> out;
  for (const NodeId n : list) out.emplace_back(n.resolve());
  return out;
}

List<NodeId> ids(std::initializer_list<const char*> list) {
  List<NodeId> out;
  for (const char* n : list) out.push_back(id(n));
  return out;
}

Style fill_corner(std::string_view color, float corner) {
  Style s;
  s.fill = Paint::solid(hex(color));
  s.corner_radius = corner;
  return s;
}

}  // namespace

TEST(PaintKeyTest, Variants) {
  const std::pair<Paint, const char*> cases[] = {
      {Paint::solid(hex("#F00")), "#FF0000"},
      {Paint::solid(hex("#ff0000")), "#FF0000"},
      {Paint::solid(hex("#ff000080")), "#FF000080"},
      {Paint{Paint::LinearGradient{45, {}}}, "linear(45deg,)"},
      {Paint{Paint::LinearGradient{0.5f, {{hex("#fff"), 0}, {hex("#000"), 1}}}}, "linear(0.5deg,#FFFFFF/0,#000000/1)"},
      {Paint{Paint::RadialGradient{}}, "radial()"},
      {Paint{Paint::RadialGradient{{{hex("#fff"), 0.125f}, {hex("#0000"), 1e20f}}}},
       "radial(#FFFFFF/0.125,#00000000/100000000000000000000)"},
  };
  for (const auto& [paint, key] : cases) EXPECT_EQ(paint_key(paint), key);
}

TEST(StyleSignatureTest, PartsInFixedOrder) {
  Style all;
  all.shadow = Shadow{0, 2, 4.5f, hex("#0008")};
  all.opacity = 0.5f;
  all.corner_radius = 4;
  all.font = FontSpec{"Fira Sans", 700, 12.5f};
  all.stroke = Stroke{Paint::solid(hex("#333")), 1.5f};
  all.fill = Paint::solid(hex("#f00"));
  Style font_only;
  font_only.font = FontSpec{"Inter", 400, 14};
  Style negative;
  negative.opacity = -0.0f;
  negative.corner_radius = std::numeric_limits<float>::infinity();
  const std::pair<Style, const char*> cases[] = {
      {Style{}, ""},
      {[] {
         Style s = fill_corner("#FF0000", 4);
         s.opacity = 0.5f;
         return s;
       }(),
       "fill=#FF0000|corner=4|opacity=0.5"},
      {font_only, "font=Inter,400,14"},
      {all, "fill=#FF0000|stroke=#333333,1.5|font=Fira Sans,700,12.5|corner=4|opacity=0.5|shadow=0,2,4.5,#00000088"},
      {negative, "corner=inf|opacity=-0"},
  };
  for (const auto& [style, signature] : cases) EXPECT_EQ(style_signature(style), signature);
}

TEST(DedupUseStylesTest, KeepsFirstOfEachNameInOrder) {
  SceneGraph g;
  g.node(g.root).use_styles = ids({"r", "r"});
  SceneNode repeated = generic("n1");
  repeated.use_styles = ids({"a", "b", "a", "c", "b"});
  const NodeIndex n1 = g.add_node(g.root, std::move(repeated));
  SceneNode plain = generic("n2");
  plain.use_styles = ids({"c", "b", "a"});
  const NodeIndex n2 = g.add_node(n1, std::move(plain));
  const NodeIndex n3 = g.add_node(g.root, generic("n3"));
  Edge e = edge("e");
  e.use_styles = ids({"w", "w", "x", "w"});
  g.edges.push_back(e);
  g.edges.push_back(edge("f"));

  dedup_use_styles(g);

  EXPECT_EQ(names(g.node(g.root).use_styles), (std::vector<std::string>{"r"}));
  EXPECT_EQ(names(g.node(n1).use_styles), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(names(g.node(n2).use_styles), (std::vector<std::string>{"c", "b", "a"}));
  EXPECT_TRUE(g.node(n3).use_styles.empty());
  EXPECT_EQ(names(g.edges[0].use_styles), (std::vector<std::string>{"w", "x"}));
  EXPECT_TRUE(g.edges[1].use_styles.empty());
  EXPECT_TRUE(g.styles.empty());  // names are not looked up
}

TEST(HoistStylesTest, SharedStyleBecomesNamedStyle) {
  SceneGraph g;
  SceneNode a = generic("a");
  a.style = fill_corner("#FF0000", 4);
  a.use_styles = ids({"base"});
  SceneNode b = generic("b");
  b.style = fill_corner("#F00", 4);  // same paint key
  const NodeIndex ia = g.add_node(g.root, std::move(a));
  const NodeIndex ib = g.add_node(ia, std::move(b));

  hoist_styles(g);

  ASSERT_EQ(g.styles.size(), 1u);
  const auto it = g.styles.find(id("_auto_1"));
  ASSERT_NE(it, g.styles.end());
  EXPECT_EQ(it->second, fill_corner("#FF0000", 4));
  EXPECT_TRUE(g.node(ia).style.empty());
  EXPECT_TRUE(g.node(ib).style.empty());
  EXPECT_EQ(names(g.node(ia).use_styles), (std::vector<std::string>{"_auto_1", "base"}));
  EXPECT_EQ(names(g.node(ib).use_styles), (std::vector<std::string>{"_auto_1"}));
}

TEST(HoistStylesTest, GroupsAreNumberedByLowestNodeIndex) {
  // Signatures differ only in opacity; the group of the first node is _auto_1
  // whatever the hash order of the signatures.
  for (int round = 0; round < 3; ++round) {
    SceneGraph g;
    std::vector<NodeIndex> at;
    const float opacities[] = {0.75f, 0.5f, 0.25f, 0.5f, 0.75f, 0.25f, 1.0f, 1.5f};
    for (std::size_t i = 0; i < std::size(opacities); ++i) {
      SceneNode n = generic(numbered("n", i));
      n.style->opacity = opacities[i];
      at.push_back(g.add_node(g.root, std::move(n)));
    }
    hoist_styles(g);
    EXPECT_EQ(g.styles.size(), 3u);
    EXPECT_EQ(g.styles.at(id("_auto_1")).opacity, 0.75f);
    EXPECT_EQ(g.styles.at(id("_auto_2")).opacity, 0.5f);
    EXPECT_EQ(g.styles.at(id("_auto_3")).opacity, 0.25f);
    EXPECT_EQ(names(g.node(at[4]).use_styles), (std::vector<std::string>{"_auto_1"}));
    EXPECT_EQ(names(g.node(at[3]).use_styles), (std::vector<std::string>{"_auto_2"}));
    // 1 and 1.5 are alone in their groups: untouched.
    EXPECT_EQ(g.node(at[6]).style->opacity, 1.0f);
    EXPECT_EQ(g.node(at[7]).style->opacity, 1.5f);
    EXPECT_TRUE(g.node(at[7]).use_styles.empty());
  }
}

TEST(HoistStylesTest, ExistingNamesAndDocumentStyles) {
  SceneGraph g;
  Style mine;
  mine.corner_radius = 99;
  g.styles.emplace(id("_auto_1"), mine);
  g.styles.emplace(id("kept"), mine);
  SceneNode a = generic("a");
  a.style->opacity = 0.5f;
  a.use_styles = ids({"x", "_auto_1", "y"});
  SceneNode b = generic("b");
  b.style->opacity = 0.5f;
  const NodeIndex ia = g.add_node(g.root, std::move(a));
  g.add_node(g.root, std::move(b));

  hoist_styles(g);

  EXPECT_EQ(names(g.node(ia).use_styles), (std::vector<std::string>{"x", "_auto_1", "y"}));
  Style expected;
  expected.opacity = 0.5f;
  EXPECT_EQ(g.styles.at(id("_auto_1")), expected);  // the document's style is replaced
  EXPECT_EQ(g.styles.at(id("kept")), mine);
}

TEST(HoistStylesTest, SkipsRootEmptyStylesSingletonsAndEdges) {
  SceneGraph g;
  g.node(g.root).style->opacity = 0.5f;  // the root joins like any node with a style
  const NodeIndex plain1 = g.add_node(g.root, generic("p1"));
  const NodeIndex plain2 = g.add_node(g.root, generic("p2"));
  SceneNode alone = generic("alone");
  alone.style = fill_corner("#123", 1);
  const NodeIndex ia = g.add_node(g.root, std::move(alone));
  Edge e1 = edge("e1");
  e1.style.opacity = 0.5f;
  Edge e2 = e1;
  e2.id = id("e2");
  g.edges = {e1, e2};

  hoist_styles(g);

  EXPECT_TRUE(g.styles.empty());
  EXPECT_EQ(g.node(g.root).style->opacity, 0.5f);
  EXPECT_TRUE(g.node(g.root).use_styles.empty());
  EXPECT_TRUE(g.node(plain1).use_styles.empty() && g.node(plain2).use_styles.empty());
  EXPECT_EQ(g.node(ia).style, fill_corner("#123", 1));
  EXPECT_EQ(g.edges[0].style.opacity, 0.5f);
  EXPECT_TRUE(g.edges[0].use_styles.empty() && g.edges[1].use_styles.empty());
}

TEST(HoistStylesTest, StrokeAndShadowGroupButStayOnTheNodes) {
  SceneGraph g;
  Style s;
  s.fill = Paint::solid(hex("#fff"));
  s.stroke = Stroke{Paint::solid(hex("#000")), 2};
  s.shadow = Shadow{0, 2, 4, hex("#000")};
  Style other = s;
  other.shadow->blur = 5;  // another group
  Style outline;           // shared, but nothing a named style can carry
  outline.stroke = Stroke{Paint::solid(hex("#333")), 1};
  std::vector<NodeIndex> at;
  for (const Style* style : {&s, &s, &other, &outline, &outline}) {
    SceneNode n = generic(numbered("s", at.size()));
    n.style = *style;
    at.push_back(g.add_node(g.root, std::move(n)));
  }
  hoist_styles(g);

  ASSERT_EQ(g.styles.size(), 1u);
  Style named;
  named.fill = s.fill;
  EXPECT_EQ(g.styles.at(id("_auto_1")), named);
  for (const NodeIndex i : {at[0], at[1]}) {
    Style left;
    left.stroke = s.stroke;
    left.shadow = s.shadow;
    EXPECT_EQ(g.node(i).style, left);
    EXPECT_EQ(names(g.node(i).use_styles), (std::vector<std::string>{"_auto_1"}));
  }
  EXPECT_EQ(g.node(at[2]).style, other);
  EXPECT_EQ(g.node(at[3]).style, outline);
  EXPECT_TRUE(g.node(at[3]).use_styles.empty() && g.node(at[4]).use_styles.empty());
}
