#include "vesk/core/emitter.hpp"

#include "emitter_detail.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

using namespace vesk_core::model;
using namespace vesk_core::emitter;
using vesk_core::emitter::detail::emit_anim;
using vesk_core::emitter::detail::emit_annotations;
using vesk_core::emitter::detail::emit_font_prop;
using vesk_core::emitter::detail::emit_node;
using vesk_core::emitter::detail::emit_paint_prop;

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

NodeId id(std::string_view text) { return NodeId::intern(text); }

SceneNode node(std::string_view name, NodeKind kind) { return SceneNode(id(name), std::move(kind)); }
SceneNode rect(std::string_view name, float w = 100, float h = 100) {
  return node(name, NodeKind{NodeKind::Rect{w, h}});
}
SceneNode group(std::string_view name, LayoutMode layout = {}) {
  return node(name, NodeKind{NodeKind::Group{std::move(layout)}});
}

// The block of one node added under the root of a fresh graph.
std::string block(SceneNode n, std::size_t depth = 0) {
  SceneGraph g;
  const NodeIndex at = g.add_node(g.root, std::move(n));
  std::string out;
  emit_node(out, g, at, depth);
  return out;
}

Color hex(std::string_view text) { return *Color::from_hex(text); }

Edge edge(std::string_view name, std::string_view from, std::string_view to) {
  return Edge{id(name),     id(from), id(to), std::nullopt, Style{}, {}, ArrowKind::None, CurveKind::Straight,
              std::nullopt, {},       {}};
}

Annotation note(Annotation::Kind kind, std::string text) { return Annotation{kind, std::move(text)}; }

}  // namespace

TEST(FormatNumTest, WholeAndTwoDecimalForms) {
  const std::pair<float, const char*> cases[] = {
      {100.0f, "100"},
      {-3.0f, "-3"},
      {-0.0f, "0"},
      {0.0f, "0"},
      {3e9f, "2147483647"},
      {-3e9f, "-2147483648"},
      {2147483520.0f, "2147483520"},  // largest float below 2^31
      {-2147483648.0f, "-2147483648"},
      {kInf, "2147483647"},
      {-kInf, "-2147483648"},
      {0.5f, "0.5"},
      {1.25f, "1.25"},
      {1.999f, "2"},
      {9.999f, "10"},
      {0.001f, "0"},
      {-0.001f, "-0"},
      {1e-45f, "0"},
      {-1e-45f, "-0"},
      {0.1f, "0.1"},
      {0.125f, "0.12"},  // exact ties go to the even digit
      {0.375f, "0.38"},
      {-0.125f, "-0.12"},
      {2.5f, "2.5"},
      // The stored value decides, not the decimal it was written as.
      {0.005f, "0"},     // 0.00499999988...
      {0.025f, "0.03"},  // 0.02500000037...
      {2.675f, "2.67"},  // 2.67499995...
      {1.1f, "1.1"},
      {-12.5f, "-12.5"},
      {8388607.5f, "8388607.5"},
      {1234567.25f, "1234567.25"},
      {kNaN, "NaN"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(format_num(value), text) << value;
}

TEST(EmitNodeTest, HeadsAndSizeLines) {
  const std::pair<SceneNode, const char*> cases[] = {
      {node("g", NodeKind{NodeKind::Generic{}}), "@g {\n}\n"},
      {group("grp"), "group @grp {\n}\n"},
      {rect("r"), "rect @r {\n  w: 100 h: 100\n}\n"},
      {rect("r", 0.5f, -2), "rect @r {\n  w: 0.5 h: -2\n}\n"},
      {node("e", NodeKind{NodeKind::Ellipse{50, 50}}), "ellipse @e {\n  w: 50 h: 50\n}\n"},
      {node("e", NodeKind{NodeKind::Ellipse{10, 20.25f}}), "ellipse @e {\n  w: 10 h: 20.25\n}\n"},
      {node("p", NodeKind{NodeKind::Path{{PathCmd{}, PathCmd{}}}}), "path @p {\n}\n"},
      {node("t", NodeKind{NodeKind::Text{"Hi"}}), "text @t \"Hi\" {\n}\n"},
      {node("t", NodeKind{NodeKind::Text{""}}), "text @t \"\" {\n}\n"},
      {node("t", NodeKind{NodeKind::Text{"two\nlines"}}), "text @t \"two\nlines\" {\n}\n"},
      {node("_anon_7", NodeKind{NodeKind::Generic{}}), "@_anon_7 {\n}\n"},
      {node("\xCE\xB1\xCE\xB2", NodeKind{NodeKind::Generic{}}), "@\xCE\xB1\xCE\xB2 {\n}\n"},
  };
  for (const auto& [n, text] : cases) EXPECT_EQ(block(n), text);
}

TEST(EmitNodeTest, LayoutLines) {
  const std::pair<LayoutMode, const char*> cases[] = {
      {LayoutMode{LayoutMode::Free{}}, "group @g {\n}\n"},
      {LayoutMode{LayoutMode::Column{8, 16}}, "group @g {\n  layout: column gap=8 pad=16\n}\n"},
      {LayoutMode{LayoutMode::Row{0.5f, 0}}, "group @g {\n  layout: row gap=0.5 pad=0\n}\n"},
      {LayoutMode{LayoutMode::Grid{3, 8, 0}}, "group @g {\n  layout: grid cols=3 gap=8 pad=0\n}\n"},
      {LayoutMode{LayoutMode::Grid{4294967295u, -1, 2}},
       "group @g {\n  layout: grid cols=4294967295 gap=-1 pad=2\n}\n"},
  };
  for (const auto& [layout, text] : cases) EXPECT_EQ(block(group("g", layout)), text);
}

TEST(EmitNodeTest, FillLines) {
  const Color red = hex("#f00");
  const Color half = hex("#00ff0080");
  const std::pair<Paint, const char*> cases[] = {
      {Paint::solid(hex("#ff8800")), "fill: #FF8800\n"},
      {Paint::solid(hex("#abc")), "fill: #AABBCC\n"},
      {Paint::solid(half), "fill: #00FF0080\n"},
      {Paint{Paint::LinearGradient{45, {}}}, "fill: linear(45deg)\n"},
      {Paint{Paint::LinearGradient{90, {{red, 0}, {half, 1}}}}, "fill: linear(90deg, #FF0000 0, #00FF0080 1)\n"},
      {Paint{Paint::LinearGradient{-12.5f, {{red, 0.333f}}}}, "fill: linear(-12.5deg, #FF0000 0.33)\n"},
      {Paint{Paint::RadialGradient{}}, "fill: radial()\n"},
      {Paint{Paint::RadialGradient{{{red, 0}}}}, "fill: radial(#FF0000 0)\n"},
      {Paint{Paint::RadialGradient{{{red, 0}, {half, 0.5f}}}}, "fill: radial(#FF0000 0, #00FF0080 0.5)\n"},
  };
  for (const auto& [paint, text] : cases) {
    std::string out;
    emit_paint_prop(out, paint, 0);
    EXPECT_EQ(out, text);
    out.clear();
    emit_paint_prop(out, paint, 2);
    EXPECT_EQ(out, std::string("    ") + text);
  }
}

TEST(EmitNodeTest, StrokeLinesOfNodesAndEdges) {
  const std::pair<Stroke, const char*> cases[] = {
      {Stroke{Paint::solid(hex("#333")), 2}, "stroke: #333333 2\n"},
      {Stroke{Paint::solid(hex("#33333380")), 0.5f}, "stroke: #33333380 0.5\n"},
      {Stroke{Paint{Paint::LinearGradient{45, {{hex("#fff"), 0}}}}, 3}, "stroke: #000 3\n"},
      {Stroke{Paint{Paint::RadialGradient{{{hex("#fff"), 0}}}}, 1.5f}, "stroke: #000 1.5\n"},
  };
  for (const auto& [stroke, line] : cases) {
    SceneNode n = node("g", NodeKind{NodeKind::Generic{}});
    n.style->stroke = stroke;
    EXPECT_EQ(block(n), std::string("@g {\n  ") + line + "}\n");

    SceneGraph g;
    Edge e = edge("e", "a", "b");
    e.style.stroke = stroke;
    g.edges.push_back(e);
    EXPECT_EQ(emit_document(g), std::string("edge @e {\n  from: @a\n  to: @b\n  ") + line + "}\n");
  }
}

TEST(EmitNodeTest, FontLine) {
  const std::pair<FontSpec, const char*> cases[] = {
      {FontSpec{"Inter", 400, 14}, "font: \"Inter\" 400 14\n"},
      {FontSpec{"Fira Sans", 65535, 12.5f}, "font: \"Fira Sans\" 65535 12.5\n"},
      {FontSpec{"", 0, 0.125f}, "font: \"\" 0 0.12\n"},
  };
  for (const auto& [font, text] : cases) {
    std::string out;
    emit_font_prop(out, font, 1);
    EXPECT_EQ(out, std::string("  ") + text);
  }
}

TEST(EmitNodeTest, PropertiesInFixedOrderShadowLeftOut) {
  SceneNode n = rect("r");
  n.comments = {"first", "second"};
  n.annotations = {note(Annotation::Kind::Tag, "ui")};
  n.use_styles = {id("base"), id("accent"), id("base")};
  n.style->opacity = 0.5f;
  n.style->font = FontSpec{"Inter", 600, 18};
  n.style->corner_radius = 4;
  n.style->stroke = Stroke{Paint::solid(hex("#000")), 1};
  n.style->fill = Paint::solid(hex("#fff"));
  n.style->shadow = Shadow{0, 2, 4, hex("#000")};
  AnimKeyframe anim;
  n.animations.push_back(anim);
  EXPECT_EQ(block(n, 1),
            "  # first\n"
            "  # second\n"
            "  rect @r {\n"
            "    ## tag: ui\n"
            "    w: 100 h: 100\n"
            "    use: base\n"
            "    use: accent\n"
            "    use: base\n"
            "    fill: #FFFFFF\n"
            "    stroke: #000000 1\n"
            "    corner: 4\n"
            "    font: \"Inter\" 600 18\n"
            "    opacity: 0.5\n"
            "    anim :hover {\n"
            "      ease: ease_in_out 300ms\n"
            "    }\n"
            "  }\n");

  SceneNode only_shadow = node("s", NodeKind{NodeKind::Generic{}});
  only_shadow.style->shadow = Shadow{1, 1, 1, hex("#000")};
  EXPECT_EQ(block(only_shadow), "@s {\n}\n");
}

TEST(EmitAnnotationsTest, PlainTemplates) {
  using K = Annotation::Kind;
  const std::pair<Annotation, const char*> cases[] = {
      {note(K::Description, "Card"), "## \"Card\"\n"},
      {note(K::Description, ""), "## \"\"\n"},
      {note(K::Description, "a; b"), "## \"a; b\"\n"},
      {note(K::Description, "note: remember"), "## \"note: remember\"\n"},
      {note(K::Description, "  two\nlines "), "## \"  two\nlines \"\n"},
      {note(K::Accept, "shows the price"), "## accept: \"shows the price\"\n"},
      {note(K::Accept, ""), "## accept: \"\"\n"},
      {note(K::Status, "done"), "## status: done\n"},
      {note(K::Status, ""), "## status: \n"},
      {note(K::Priority, "high"), "## priority: high\n"},
      {note(K::Tag, "ui kit"), "## tag: ui kit\n"},
  };
  for (const auto& [annotation, text] : cases) {
    std::string out;
    const Annotation list[] = {annotation};
    emit_annotations(out, list, 0);
    EXPECT_EQ(out, text);
  }
}

// Values that the plain templates would not read back as written.
TEST(EmitAnnotationsTest, FormsThatReadBack) {
  using K = Annotation::Kind;
  const std::string nbsp = "\xC2\xA0";
  const std::pair<Annotation, std::string> cases[] = {
      // Double quotes: unquoted forms.
      {note(K::Description, "say \"hi\" twice"), "## say \"hi\" twice\n"},
      {note(K::Description, "a \"b\"; c"), "## a \"b\"; c\n"},
      {note(K::Description, "note: a \"b\" c"), "## note: a \"b\" c\n"},
      {note(K::Accept, "shows \"Buy\""), "## accept: shows \"Buy\"\n"},
      // Unquoted would be read as a keyed item, as a quoted text or in
      // another spacing: guarded by a leading no-break space.
      {note(K::Description, "tag: x\"y"), "## " + nbsp + "tag: x\"y\n"},
      {note(K::Description, "note:  a\"b"), "## " + nbsp + "note:  a\"b\n"},
      {note(K::Description, "note: a\"b; c"), "## " + nbsp + "note: a\"b; c\n"},
      {note(K::Description, "note: \"q\""), "## " + nbsp + "note: \"q\"\n"},
      {note(K::Description, "\"q\" rest"), "## " + nbsp + "\"q\" rest\n"},
      {note(K::Accept, "\"q\" rest"), "## accept: " + nbsp + "\"q\" rest\n"},
      {note(K::Status, "\"q\""), "## status: " + nbsp + "\"q\"\n"},
      // Separators, line feeds and edge white space: quoted.
      {note(K::Status, "a; b"), "## status: \"a; b\"\n"},
      {note(K::Priority, "two\nlines"), "## priority: \"two\nlines\"\n"},
      {note(K::Tag, " padded "), "## tag: \" padded \"\n"},
      {note(K::Tag, "tab\t"), "## tag: \"tab\t\"\n"},
      {note(K::Tag, nbsp + "x"), "## tag: \"" + nbsp + "x\"\n"},
      // No form carries both a double quote and a line feed, a separator in
      // a keyed value or edge white space: the quotes become apostrophes.
      {note(K::Description, "a \"b\"\nc"), "## \"a 'b'\nc\"\n"},
      {note(K::Tag, "\"a\"; b"), "## tag: \"'a'; b\"\n"},
      {note(K::Accept, " \"a\""), "## accept: \" 'a'\"\n"},
  };
  for (const auto& [annotation, text] : cases) {
    std::string out;
    const Annotation list[] = {annotation};
    emit_annotations(out, list, 0);
    EXPECT_EQ(out, text) << annotation.text;
  }
}

TEST(EmitAnimTest, Blocks) {
  auto make = [](AnimTrigger::Kind trigger, std::string custom = {}) {
    AnimKeyframe k;
    k.trigger = AnimTrigger{trigger, std::move(custom)};
    return k;
  };
  AnimKeyframe full = make(AnimTrigger::Kind::Press);
  full.fill = Paint::solid(hex("#f00"));
  full.opacity = 0.5f;
  full.scale = 1.1f;
  full.rotate = -90;
  full.easing = Easing{Easing::Kind::Spring, {}};
  full.duration_ms = 200;
  AnimKeyframe cubic = make(AnimTrigger::Kind::Enter);
  cubic.easing = Easing{Easing::Kind::Cubic, {0.1f, 0.2f, 0.3f, 0.4f}};
  AnimKeyframe gradient = make(AnimTrigger::Kind::Hover);
  gradient.fill = Paint{Paint::RadialGradient{}};
  gradient.easing.kind = Easing::Kind::Linear;
  gradient.duration_ms = 0;
  AnimKeyframe ease_in = make(AnimTrigger::Kind::Custom, "tap");
  ease_in.easing.kind = Easing::Kind::EaseIn;
  ease_in.duration_ms = 4294967295u;
  AnimKeyframe ease_out = make(AnimTrigger::Kind::Hover);
  ease_out.easing.kind = Easing::Kind::EaseOut;
  ease_out.scale = 2;

  const std::pair<AnimKeyframe, const char*> cases[] = {
      {make(AnimTrigger::Kind::Hover), "anim :hover {\n  ease: ease_in_out 300ms\n}\n"},
      {full, "anim :press {\n  fill: #FF0000\n  opacity: 0.5\n  scale: 1.1\n  rotate: -90\n  ease: spring 200ms\n}\n"},
      {cubic, "anim :enter {\n  ease: cubic 300ms\n}\n"},
      {gradient, "anim :hover {\n  fill: radial()\n  ease: linear 0ms\n}\n"},
      {ease_in, "anim :tap {\n  ease: ease_in 4294967295ms\n}\n"},
      {ease_out, "anim :hover {\n  scale: 2\n  ease: ease_out 300ms\n}\n"},
  };
  for (const auto& [anim, text] : cases) {
    std::string out;
    emit_anim(out, anim, 0);
    EXPECT_EQ(out, text);
  }
  std::string nested;
  emit_anim(nested, make(AnimTrigger::Kind::Hover), 2);
  EXPECT_EQ(nested, "    anim :hover {\n      ease: ease_in_out 300ms\n    }\n");
}

TEST(EmitDocumentTest, ConstraintLines) {
  const std::pair<Constraint, const char*> cases[] = {
      {Constraint{Constraint::CenterIn{id("frame")}}, "@a -> center_in: frame\n"},
      {Constraint{Constraint::Offset{id("b"), 10, -5}}, "@a -> offset: @b 10, -5\n"},
      {Constraint{Constraint::Offset{id("b"), 0.25f, 1e10f}}, "@a -> offset: @b 0.25, 2147483647\n"},
      {Constraint{Constraint::FillParent{0}}, "@a -> fill_parent: 0\n"},
      {Constraint{Constraint::FillParent{8.5f}}, "@a -> fill_parent: 8.5\n"},
      {Constraint{Constraint::Absolute{10, 20}}, "@a -> absolute: 10, 20\n"},
  };
  for (const auto& [constraint, line] : cases) {
    SceneGraph g;
    SceneNode a = node("a", NodeKind{NodeKind::Generic{}});
    a.constraints.push_back(constraint);
    g.add_node(g.root, std::move(a));
    EXPECT_EQ(emit_document(g), std::string("@a {\n}\n\n") + line);
  }
}

TEST(EmitDocumentTest, ConstraintsInNodeIndexOrderRootFirst) {
  SceneGraph g;
  const NodeIndex outer = g.add_node(g.root, group("outer"));
  SceneNode inner = rect("inner");
  inner.constraints.push_back(Constraint{Constraint::Absolute{1, 2}});
  inner.constraints.push_back(Constraint{Constraint::FillParent{3}});
  g.add_node(outer, std::move(inner));
  SceneNode later = node("later", NodeKind{NodeKind::Generic{}});
  later.constraints.push_back(Constraint{Constraint::CenterIn{id("outer")}});
  g.add_node(g.root, std::move(later));
  g.node(g.root).constraints.push_back(Constraint{Constraint::Absolute{0, 0}});
  g.node(outer).constraints.push_back(Constraint{Constraint::CenterIn{id("root")}});
  g.edges.push_back(edge("e", "inner", "later"));
  EXPECT_EQ(emit_document(g),
            "group @outer {\n"
            "  rect @inner {\n"
            "    w: 100 h: 100\n"
            "  }\n"
            "}\n"
            "\n"
            "@later {\n"
            "}\n"
            "\n"
            "@root -> absolute: 0, 0\n"
            "@outer -> center_in: root\n"
            "@inner -> absolute: 1, 2\n"
            "@inner -> fill_parent: 3\n"
            "@later -> center_in: outer\n"
            "edge @e {\n"
            "  from: @inner\n"
            "  to: @later\n"
            "}\n");
}

TEST(EmitDocumentTest, EdgeLines) {
  auto base = [] { return edge("e", "a", "b"); };
  const std::string head = "edge @e {\n";
  const std::string ends = "  from: @a\n  to: @b\n";
  std::vector<std::pair<Edge, std::string>> cases;
  cases.emplace_back(base(), head + ends + "}\n");
  {
    Edge e = base();
    e.annotations = {note(Annotation::Kind::Description, "flow"), note(Annotation::Kind::Status, "draft")};
    cases.emplace_back(e, head + "  ## \"flow\"\n  ## status: draft\n" + ends + "}\n");
  }
  {
    Edge e = base();
    e.label = "checkout";
    cases.emplace_back(e, head + ends + "  label: \"checkout\"\n}\n");
  }
  {
    Edge e = base();
    e.use_styles = {id("wire"), id("thin")};
    cases.emplace_back(e, head + ends + "  use: wire\n  use: thin\n}\n");
  }
  {
    Edge e = base();
    e.style.opacity = 0.25f;
    e.style.fill = Paint::solid(hex("#fff"));  // an edge writes no fill, font or corner
    e.style.font = FontSpec{"Inter", 400, 14};
    e.style.corner_radius = 3;
    cases.emplace_back(e, head + ends + "  opacity: 0.25\n}\n");
  }
  const std::pair<ArrowKind, const char*> arrows[] = {
      {ArrowKind::Start, "start"}, {ArrowKind::End, "end"}, {ArrowKind::Both, "both"}};
  for (const auto& [arrow, word] : arrows) {
    Edge e = base();
    e.arrow = arrow;
    cases.emplace_back(e, head + ends + "  arrow: " + word + "\n}\n");
  }
  const std::pair<CurveKind, const char*> curves[] = {{CurveKind::Smooth, "smooth"}, {CurveKind::Step, "step"}};
  for (const auto& [curve, word] : curves) {
    Edge e = base();
    e.curve = curve;
    cases.emplace_back(e, head + ends + "  curve: " + word + "\n}\n");
  }
  {
    Edge e = base();
    e.flow = FlowAnim{FlowKind::Dash, 1200};
    cases.emplace_back(e, head + ends + "  flow: dash 1200ms\n}\n");
    e.flow = FlowAnim{FlowKind::Pulse, 800};
    cases.emplace_back(e, head + ends + "  flow: pulse 800ms\n}\n");
  }
  {
    Edge e = base();
    AnimKeyframe k;
    k.opacity = 1;
    e.animations.push_back(k);
    cases.emplace_back(e, head + ends + "  anim :hover {\n    opacity: 1\n    ease: ease_in_out 300ms\n  }\n}\n");
  }
  {
    // Everything at once, in the fixed order.
    Edge e = base();
    e.annotations = {note(Annotation::Kind::Tag, "x")};
    e.label = "L";
    e.use_styles = {id("s")};
    e.style.stroke = Stroke{Paint::solid(Color{0.42f, 0.44f, 0.5f, 1.0f}), 1.5f};
    e.style.opacity = 0.5f;
    e.arrow = ArrowKind::End;
    e.curve = CurveKind::Smooth;
    e.flow = FlowAnim{FlowKind::Pulse, 800};
    e.animations.push_back(AnimKeyframe{});
    cases.emplace_back(e, head + "  ## tag: x\n" + ends +
                              "  label: \"L\"\n  use: s\n  stroke: #6B7080 1.5\n  opacity: 0.5\n"
                              "  arrow: end\n  curve: smooth\n  flow: pulse 800ms\n"
                              "  anim :hover {\n    ease: ease_in_out 300ms\n  }\n}\n");
  }
  for (const auto& [edge, text] : cases) {
    SceneGraph g;
    g.edges.push_back(edge);
    EXPECT_EQ(emit_document(g), text);
  }
  SceneGraph two;
  two.edges = {base(), edge("f", "b", "a")};
  EXPECT_EQ(emit_document(two), head + ends + "}\nedge @f {\n  from: @b\n  to: @a\n}\n");
}

TEST(EmitDocumentTest, EmptyGraphAndImports) {
  SceneGraph g;
  EXPECT_EQ(emit_document(g), "");
  g.imports.push_back(Import{"shared.vesk", "shared"});
  g.imports.push_back(Import{"a b#c.vesk", "ab"});
  EXPECT_EQ(emit_document(g), "import \"shared.vesk\" as shared\nimport \"a b#c.vesk\" as ab\n\n");
}

TEST(EmitDocumentTest, IntoReplacesWhatTheBufferHeld) {
  SceneGraph g;
  g.imports.push_back(Import{"shared.vesk", "shared"});
  const std::string expected = emit_document(g);
  for (std::string out : {std::string(), std::string("x"), std::string(4096, 'y')}) {
    emit_document_into(g, out);
    EXPECT_EQ(out, expected);
  }
  std::string out = "left over";
  emit_document_into(SceneGraph{}, out);
  EXPECT_EQ(out, "");
}

TEST(EmitDocumentTest, NamedStylesSortedByBytes) {
  SceneGraph g;
  for (const char* name : {"b", "ab", "a", "B", "\xC3\xA9", "_z"}) g.styles.emplace(id(name), Style{});
  EXPECT_EQ(emit_document(g),
            "style B {\n}\n\n"
            "style _z {\n}\n\n"
            "style a {\n}\n\n"
            "style ab {\n}\n\n"
            "style b {\n}\n\n"
            "style \xC3\xA9 {\n}\n\n");
}

TEST(EmitDocumentTest, NamedStyleWritesFillFontCornerOpacityOnly) {
  SceneGraph g;
  Style s;
  s.opacity = 0.9f;
  s.corner_radius = 6;
  s.font = FontSpec{"Inter", 400, 14};
  s.fill = Paint::solid(hex("#123"));
  s.stroke = Stroke{Paint::solid(hex("#000")), 2};
  s.shadow = Shadow{0, 2, 4, hex("#000")};
  g.styles.emplace(id("card"), s);
  g.imports.push_back(Import{"x.vesk", "x"});
  g.add_node(g.root, node("n", NodeKind{NodeKind::Generic{}}));
  EXPECT_EQ(emit_document(g),
            "import \"x.vesk\" as x\n"
            "\n"
            "style card {\n"
            "  fill: #112233\n"
            "  font: \"Inter\" 400 14\n"
            "  corner: 6\n"
            "  opacity: 0.9\n"
            "}\n"
            "\n"
            "@n {\n"
            "}\n"
            "\n");
}

TEST(EmitDocumentTest, ChildrenInOrderOfAdditionAtEveryLevel) {
  SceneGraph g;
  const NodeIndex top = g.add_node(g.root, group("top"));
  const NodeIndex x = g.add_node(top, group("x"));
  g.add_node(top, rect("y", 1, 2));
  g.add_node(x, node("x2", NodeKind{NodeKind::Generic{}}));
  g.add_node(g.root, node("second", NodeKind{NodeKind::Text{"T"}}));
  g.add_node(x, node("x3", NodeKind{NodeKind::Generic{}}));
  g.node(x).comments = {"nested comment"};
  EXPECT_EQ(emit_document(g),
            "group @top {\n"
            "  # nested comment\n"
            "  group @x {\n"
            "    @x2 {\n"
            "    }\n"
            "    @x3 {\n"
            "    }\n"
            "  }\n"
            "  rect @y {\n"
            "    w: 1 h: 2\n"
            "  }\n"
            "}\n"
            "\n"
            "text @second \"T\" {\n"
            "}\n"
            "\n");
}

TEST(EmitDocumentTest, ReproducesTheCardExample) {
  SceneGraph g;
  SceneNode card = group("card", LayoutMode{LayoutMode::Column{8, 16}});
  card.annotations = {note(Annotation::Kind::Description, "Card")};
  card.use_styles = {id("base")};
  card.style->fill = Paint::solid(hex("#fff"));
  AnimKeyframe hover;
  hover.scale = 1.1f;
  hover.easing.kind = Easing::Kind::EaseOut;
  hover.duration_ms = 200;
  card.animations.push_back(hover);
  const NodeIndex at = g.add_node(g.root, std::move(card));
  g.add_node(at, rect("a"));
  g.add_node(at, node("t", NodeKind{NodeKind::Text{"Hi"}}));
  EXPECT_EQ(emit_document(g),
            "group @card {\n"
            "  ## \"Card\"\n"
            "  layout: column gap=8 pad=16\n"
            "  use: base\n"
            "  fill: #FFFFFF\n"
            "  rect @a {\n"
            "    w: 100 h: 100\n"
            "  }\n"
            "  text @t \"Hi\" {\n"
            "  }\n"
            "  anim :hover {\n"
            "    scale: 1.1\n"
            "    ease: ease_out 200ms\n"
            "  }\n"
            "}\n"
            "\n");
}

TEST(EmitNodeTest, NestedRootKindWritesOnlyIndentation) {
  SceneGraph g;
  const NodeIndex outer = g.add_node(g.root, group("outer"));
  SceneNode fake = node("fake", NodeKind{NodeKind::Root{}});
  fake.comments = {"c"};
  fake.annotations = {note(Annotation::Kind::Tag, "t")};
  const NodeIndex at = g.add_node(outer, std::move(fake));
  g.add_node(at, rect("hidden"));
  std::string out;
  emit_node(out, g, outer, 0);
  EXPECT_EQ(out, "group @outer {\n  # c\n  }\n");
}

TEST(EmitNodeTest, DeepChainWithoutRecursion) {
  constexpr int kDepth = 5000;
  SceneGraph g;
  NodeIndex parent = g.root;
  for (int i = 0; i < kDepth; ++i) {
    std::string name = std::to_string(i);
    name.insert(name.begin(), 'g');
    parent = g.add_node(parent, group(name));
  }
  g.add_node(parent, rect("leaf"));
  const std::string text = emit_document(g);

  std::string expected;
  for (int i = 0; i < kDepth; ++i) {
    expected.append(2 * static_cast<std::size_t>(i), ' ');
    expected += "group @g";
    expected += std::to_string(i);
    expected += " {\n";
  }
  expected.append(2 * kDepth, ' ');
  expected += "rect @leaf {\n";
  expected.append(2 * kDepth + 2, ' ');
  expected += "w: 100 h: 100\n";
  expected.append(2 * kDepth, ' ');
  expected += "}\n";
  for (int i = kDepth - 1; i >= 0; --i) {
    expected.append(2 * static_cast<std::size_t>(i), ' ');
    expected += "}\n";
  }
  expected += "\n";
  EXPECT_EQ(text, expected);
}
