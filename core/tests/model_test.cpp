#include "vesk/core/model.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <utility>

using namespace vesk_core::model;

namespace {

SceneNode rect(std::string_view id) { return SceneNode(NodeId::intern(id), NodeKind{NodeKind::Rect{}}); }

}  // namespace

TEST(SceneGraphTest, NewGraphHoldsOnlyTheRoot) {
  const SceneGraph g;
  ASSERT_EQ(g.node_count(), 1u);
  EXPECT_EQ(g.root, 0u);
  const SceneNode& root = g.node(0);
  EXPECT_EQ(root.id.resolve(), "root");
  EXPECT_TRUE(std::holds_alternative<NodeKind::Root>(root.kind.value));
  EXPECT_TRUE(root.style.empty());
  EXPECT_TRUE(root.use_styles.empty() && root.constraints.empty() && root.animations.empty());
  EXPECT_TRUE(root.annotations.empty() && root.comments.empty());
  EXPECT_TRUE(g.children(0).empty());
  EXPECT_TRUE(g.styles.empty() && g.edges.empty() && g.imports.empty());
  EXPECT_EQ(g.get_by_id(NodeId::intern("root")), &g.node(0));
}

TEST(SceneGraphTest, ChildrenInOrderOfAddition) {
  SceneGraph g;
  const NodeIndex a = g.add_node(g.root, rect("a"));
  const NodeIndex b = g.add_node(g.root, rect("b"));
  const NodeIndex a1 = g.add_node(a, rect("a1"));
  const NodeIndex c = g.add_node(g.root, rect("c"));
  const NodeIndex a2 = g.add_node(a, rect("a2"));
  EXPECT_EQ((std::vector<NodeIndex>{1, 2, 3, 4, 5}), (std::vector<NodeIndex>{a, b, a1, c, a2}));
  EXPECT_EQ(g.children(g.root), (std::vector<NodeIndex>{a, b, c}));
  EXPECT_EQ(g.children(a), (std::vector<NodeIndex>{a1, a2}));
  EXPECT_TRUE(g.children(b).empty());
  EXPECT_EQ(g.node_count(), 6u);
  EXPECT_EQ(g.nodes()[a1].id.resolve(), "a1");
}

TEST(SceneGraphTest, ReserveKeepsNodesLinksAndIndex) {
  SceneGraph g;
  const NodeIndex a = g.add_node(g.root, rect("ra"));
  g.reserve(1);  // below the count: nothing is lost
  g.reserve(100);
  EXPECT_EQ(g.node_count(), 2u);
  EXPECT_EQ(g.get_by_id(NodeId::intern("ra")), &g.node(a));
  // Adding up to the reserved count leaves records where they are.
  const SceneNode* before = &g.node(a);
  NodeIndex last = a;
  for (int i = 0; i < 98; ++i) last = g.add_node(i % 2 ? a : g.root, rect("rb" + std::to_string(i)));
  EXPECT_EQ(&g.node(a), before);
  EXPECT_EQ(g.node_count(), 100u);
  EXPECT_EQ(g.children(a).size(), 49u);
  EXPECT_EQ(g.children(g.root).size(), 50u);
  EXPECT_EQ(g.get_by_id(NodeId::intern("rb97")), &g.node(last));
}

TEST(SceneGraphTest, RepeatedIdIndexesTheNodeAddedLast) {
  SceneGraph g;
  const NodeIndex first = g.add_node(g.root, rect("dup"));
  SceneNode second = rect("dup");
  second.kind = NodeKind{NodeKind::Ellipse{}};
  const NodeIndex later = g.add_node(g.root, std::move(second));
  EXPECT_EQ(g.children(g.root), (std::vector<NodeIndex>{first, later}));
  ASSERT_NE(g.get_by_id(NodeId::intern("dup")), nullptr);
  EXPECT_TRUE(std::holds_alternative<NodeKind::Ellipse>(g.get_by_id(NodeId::intern("dup"))->kind.value));
  EXPECT_TRUE(std::holds_alternative<NodeKind::Rect>(g.node(first).kind.value));
}

TEST(SceneGraphTest, NodeNamedRootTakesOverTheLookupButRootStays) {
  SceneGraph g;
  const NodeIndex fake = g.add_node(g.root, rect("root"));
  EXPECT_EQ(g.get_by_id(NodeId::intern("root")), &g.node(fake));
  EXPECT_TRUE(std::holds_alternative<NodeKind::Root>(g.node(0).kind.value));
}

TEST(SceneGraphTest, LookupOfUnknownIdGivesNothing) {
  SceneGraph g;
  EXPECT_EQ(g.get_by_id(NodeId::intern("nobody_has_this")), nullptr);
  EXPECT_EQ(g.get_by_id_mut(NodeId::intern("nobody_has_this")), nullptr);
  g.add_node(g.root, rect("x"));
  g.get_by_id_mut(NodeId::intern("x"))->constraints.push_back(Constraint{Constraint::FillParent{4}});
  EXPECT_EQ(g.node(1).constraints.size(), 1u);
}

TEST(SceneGraphTest, DeepChainHasNoRecursion) {
  SceneGraph g;
  NodeIndex parent = g.root;
  for (int i = 0; i < 200000; ++i) parent = g.add_node(parent, rect("deep"));
  EXPECT_EQ(g.children(parent).size(), 0u);
  EXPECT_EQ(g.children(parent - 1), std::vector<NodeIndex>{parent});
}

TEST(SceneGraphTest, RecordsStayInPlaceAndIterateInIndexOrder) {
  SceneGraph g;
  const SceneNode* root = &g.node(g.root);
  SceneNode& first = g.node(g.add_node(g.root, rect("first")));
  first.use_styles.push_back(NodeId::intern("kept"));
  // Far past every earlier size, with nothing reserved.
  for (int i = 0; i < 5000; ++i) {
    const std::string name = std::to_string(i);
    g.add_node(i % 3 ? g.root : 1, rect(std::string("n").append(name)));
  }
  EXPECT_EQ(&g.node(g.root), root);
  EXPECT_EQ(&g.node(1), &first);
  EXPECT_EQ(first.use_styles.size(), 1u);

  std::size_t seen = 0;
  for (const SceneNode& node : std::as_const(g).nodes()) {
    EXPECT_EQ(&node, &g.node(static_cast<NodeIndex>(seen)));
    ++seen;
  }
  EXPECT_EQ(seen, g.node_count());
  EXPECT_EQ(g.nodes().size(), 5002u);

  // Copies and moves keep every node and link.
  SceneGraph copy = g;
  EXPECT_EQ(copy.node_count(), 5002u);
  EXPECT_EQ(copy.node(4000), g.node(4000));
  EXPECT_EQ(copy.children(1), g.children(1));
  const SceneGraph moved = std::move(copy);
  EXPECT_EQ(moved.node(5001).id.resolve(), "n4999");
  EXPECT_EQ(moved.get_by_id(NodeId::intern("n4999")), &moved.node(5001));
}

TEST(SceneGraphTest, NodeStyleReadsWithoutAllocating) {
  SceneNode n = rect("styled");
  const SceneNode& view = n;
  EXPECT_TRUE(n.style.empty());
  EXPECT_FALSE(view.style->fill);  // the shared empty style
  EXPECT_TRUE(n.style.empty());
  n.style->opacity = 0.5f;
  EXPECT_FALSE(n.style.empty());
  EXPECT_EQ(n.style.get().opacity, 0.5f);
  SceneNode copy = n;
  copy.style->opacity = 1.0f;
  EXPECT_EQ(n.style->opacity, 0.5f);  // copies do not share
  n.style = Style{};
  EXPECT_TRUE(n.style.empty());
  EXPECT_EQ(n.style, Style{});
  EXPECT_NE(copy.style, n.style);
}

TEST(ListTest, EntriesInOrderWithoutRoomWhileEmpty) {
  List<std::string> list;
  EXPECT_EQ(sizeof(list), sizeof(void*));
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(list.capacity(), 0u);
  EXPECT_EQ(list.begin(), list.end());

  list.push_back("one");
  list.push_back(std::string(40, 'x'));  // a text with a heap buffer of its own
  list.push_back(list[0]);               // an entry of the list itself, while it grows
  list.emplace_back(3, 'z');
  EXPECT_EQ(list, (List<std::string>{"one", std::string(40, 'x'), "one", "zzz"}));

  list.insert(list.begin(), "zero");
  list.insert(list.end(), "last");
  list.erase(list.begin() + 2, list.begin() + 4);
  EXPECT_EQ(list, (List<std::string>{"zero", "one", "zzz", "last"}));
  list.pop_back();
  EXPECT_EQ(list.back(), "zzz");

  List<std::string> copy = list;
  EXPECT_EQ(copy, list);
  copy[0] = "changed";
  EXPECT_EQ(list.front(), "zero");
  List<std::string> moved = std::move(copy);
  EXPECT_TRUE(copy.empty());  // NOLINT: a moved-from list is empty
  EXPECT_EQ(moved.front(), "changed");
  moved = list;
  EXPECT_EQ(moved, list);

  list.clear();
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(list.capacity(), 0u);
  EXPECT_NE(list, moved);
}

TEST(SceneNodeTest, EmptyListsAndStyleCostOnePointerEach) {
  // The record a tiny node costs: id, kind, and one pointer for the style and
  // each list; a kind is at most a group's layout, or one pointer.
  EXPECT_LE(sizeof(NodeKind), 24u);
  EXPECT_LE(sizeof(SceneNode), 80u);

  const CompactString empty;
  EXPECT_EQ(sizeof(empty), sizeof(void*));
  EXPECT_TRUE(empty.empty());
  const CompactString text = std::string(40, 't');
  CompactString copy = text;
  EXPECT_EQ(copy, text);
  EXPECT_EQ(std::string_view(copy), std::string(40, 't'));
  copy = std::string_view("other");
  EXPECT_EQ(copy, "other");
  const CompactString moved = std::move(copy);
  EXPECT_EQ(moved, "other");
  EXPECT_NE(moved, text);
}

struct FromHexCase {
  const char* text;
  std::optional<std::array<int, 4>> bytes;  // expected bytes, nullopt for none
};

const FromHexCase kFromHexCases[] = {
    FromHexCase{"#fff", std::array{255, 255, 255, 255}},
    FromHexCase{"#FFF", std::array{255, 255, 255, 255}},
    FromHexCase{"#fa0", std::array{255, 170, 0, 255}},
    FromHexCase{"#0000", std::array{0, 0, 0, 0}},
    FromHexCase{"#1234", std::array{0x11, 0x22, 0x33, 0x44}},
    FromHexCase{"#ff000080", std::array{255, 0, 0, 128}},
    FromHexCase{"#A1b2C3", std::array{0xA1, 0xB2, 0xC3, 255}},
    FromHexCase{"#", std::nullopt},
    FromHexCase{"#1", std::nullopt},
    FromHexCase{"#12", std::nullopt},
    FromHexCase{"#12345", std::nullopt},
    FromHexCase{"#1234567", std::nullopt},
    FromHexCase{"#123456789", std::nullopt},
    FromHexCase{"123456", std::nullopt},
    FromHexCase{"#ggg", std::nullopt},
    FromHexCase{"", std::nullopt},
    FromHexCase{"#12 ", std::nullopt},
    FromHexCase{"#\xC3\xA9\x31", std::nullopt},             // "é1": four bytes, not hex
    FromHexCase{"#\xEF\xBC\x91\x31\x32\x33", std::nullopt}  // fullwidth digit
};

TEST(ColorTest, FromHexReadsOrRejects) {
  for (const auto& c : kFromHexCases) {
    const auto color = Color::from_hex(c.text);
    ASSERT_EQ(color.has_value(), c.bytes.has_value()) << c.text;
    if (!color) continue;
    EXPECT_EQ(color->r, static_cast<float>((*c.bytes)[0]) / 255.0f) << c.text;
    EXPECT_EQ(color->g, static_cast<float>((*c.bytes)[1]) / 255.0f) << c.text;
    EXPECT_EQ(color->b, static_cast<float>((*c.bytes)[2]) / 255.0f) << c.text;
    EXPECT_EQ(color->a, static_cast<float>((*c.bytes)[3]) / 255.0f) << c.text;
  }
}

struct ToHexCase {
  Color color;
  const char* text;
};

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

const ToHexCase kToHexCases[] = {ToHexCase{{1, 1, 1, 1}, "#FFFFFF"},
                                 ToHexCase{{1, 0.5f, 0, 1}, "#FF8000"},  // 127.5 rounds up
                                 ToHexCase{{0, 0, 0, 0}, "#00000000"},
                                 ToHexCase{{1, 0, 0, 0.5f}, "#FF000080"},
                                 ToHexCase{{0, 0, 0, 0.999f}, "#000000"},  // 254.745 -> 255
                                 ToHexCase{{0, 0, 0, 0.998f}, "#000000FE"},
                                 ToHexCase{{2, 0, 0, 1}, "#FF0000"},
                                 ToHexCase{{-1, kNaN, 0, 1}, "#000000"},
                                 ToHexCase{{kInf, -kInf, 0, 1}, "#FF0000"},
                                 ToHexCase{{0.0627451f, 0.5f / 255, 0, 1}, "#100100"},
                                 ToHexCase{{0, 0, 0, kNaN}, "#00000000"}};

TEST(ColorTest, ToHexRoundsAndClamps) {
  for (const auto& c : kToHexCases) {
    EXPECT_EQ(c.color.to_hex(), c.text) << c.color.r << "," << c.color.g << "," << c.color.b << "," << c.color.a;
  }
}

TEST(ColorTest, HexRoundTripNormalises) {
  const std::pair<const char*, const char*> cases[] = {
      {"#a1b2c3", "#A1B2C3"}, {"#a1b2c3d4", "#A1B2C3D4"}, {"#a1b2c3ff", "#A1B2C3"}, {"#abc", "#AABBCC"},
      {"#abcd", "#AABBCCDD"}, {"#abcf", "#AABBCC"},       {"#000", "#000000"},      {"#0000", "#00000000"},
  };
  for (const auto& [in, out] : cases) {
    const auto color = Color::from_hex(in);
    ASSERT_TRUE(color) << in;
    EXPECT_EQ(color->to_hex(), out) << in;
  }
  // Every byte survives the trip through f32.
  for (int byte = 0; byte < 256; ++byte) {
    char text[10];
    std::snprintf(text, sizeof text, "#%02X%02X%02X%02X", byte, 255 - byte, byte / 2, byte == 255 ? 0 : byte);
    EXPECT_EQ(Color::from_hex(text)->to_hex(), text);
  }
}
