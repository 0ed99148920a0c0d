#include "parser_detail.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace vesk_core::parser;
using namespace vesk_core::model;

namespace {

struct Target {
  NodeStyle style;
  List<NodeId> uses;
  std::optional<float> width, height;
  LayoutMode layout;
};

// Reads properties until the input is empty or one fails.
bool read_properties(std::string_view text, Target& t, std::string* rest = nullptr) {
  Input in = text;
  bool ok = parse_node_property(in, t.style, t.uses, t.width, t.height, t.layout);
  if (rest) *rest = std::string(in);
  return ok;
}

Paint solid(float r, float g, float b, float a = 1) { return Paint::solid(Color{r, g, b, a}); }

TEST(NodePropertyTest, Values) {
  struct Case {
    std::string_view input;
    std::function<void(const Target&)> check;
    std::string_view rest;
  };
  const Case cases[] = {
      {"w: 10 h: 20",
       [](const Target& t) {
         EXPECT_EQ(t.width, 10);
         EXPECT_EQ(t.height, 20);
       },
       ""},
      {"width:10 h :20;x",
       [](const Target& t) {
         EXPECT_EQ(t.width, 10);
         EXPECT_EQ(t.height, 20);
       },
       "x"},
      {"w: 10 ;", [](const Target& t) { EXPECT_EQ(t.width, 10); }, ""},
      {"w: 10 height: 5",
       [](const Target& t) {
         EXPECT_EQ(t.width, 10);
         EXPECT_FALSE(t.height);
       },
       "height: 5"},
      {"height: -3.5", [](const Target& t) { EXPECT_EQ(t.height, -3.5f); }, ""},
      {"use: card\nx",
       [](const Target& t) {
         ASSERT_EQ(t.uses.size(), 1u);
         EXPECT_EQ(t.uses[0].resolve(), "card");
       },
       "x"},
      {"fill: #f00", [](const Target& t) { EXPECT_EQ(t.style->fill, solid(1, 0, 0)); }, ""},
      {"bg: #000 ;", [](const Target& t) { EXPECT_EQ(t.style->fill, solid(0, 0, 0)); }, ""},
      {"bg: #fff corner=8 shadow=(0,2,4,#00000080)",
       [](const Target& t) {
         EXPECT_EQ(t.style->fill, solid(1, 1, 1));
         EXPECT_EQ(t.style->corner_radius, 8);
         EXPECT_EQ(t.style->shadow, (Shadow{0, 2, 4, Color{0, 0, 0, 128 / 255.0f}}));
       },
       ""},
      {"bg: #fff shadow=(1,1,1,#000) corner=2 corner=3",
       [](const Target& t) {
         EXPECT_EQ(t.style->corner_radius, 3);
         EXPECT_TRUE(t.style->shadow);
       },
       ""},
      {"stroke: #333 2",
       [](const Target& t) {
         EXPECT_EQ(t.style->stroke, (Stroke{solid(0.2f, 0.2f, 0.2f), 2}));
       },
       ""},
      {"corner: 4", [](const Target& t) { EXPECT_EQ(t.style->corner_radius, 4); }, ""},
      {"opacity: 2", [](const Target& t) { EXPECT_EQ(t.style->opacity, 2); }, ""},
      {"opacity: -1", [](const Target& t) { EXPECT_EQ(t.style->opacity, -1); }, ""},
      {"font: \"Mono\" 700 12",
       [](const Target& t) {
         EXPECT_EQ(t.style->font, (FontSpec{"Mono", 700, 12}));
       },
       ""},
      {"font: bold",
       [](const Target& t) {
         EXPECT_EQ(t.style->font, (FontSpec{"Inter", 400, 14}));
       },
       "bold"},
      {"Fill: #fff", [](const Target& t) { EXPECT_FALSE(t.style->fill); }, ""},
      {"text_size: 12 }", [](const Target& t) { EXPECT_TRUE(t.style->empty()); }, "}"},
      {"rect: x;y", [](const Target& t) { EXPECT_TRUE(t.style->empty()); }, "y"},
      {"shadow: whatever # not a comment\n", [](const Target& t) { EXPECT_TRUE(t.style->empty()); }, ""},
      {"fill: #fff # trailing", [](const Target& t) { EXPECT_TRUE(t.style->fill); }, " # trailing"},
  };
  for (const Case& c : cases) {
    Target t;
    std::string rest;
    ASSERT_TRUE(read_properties(c.input, t, &rest)) << c.input;
    c.check(t);
    EXPECT_EQ(rest, c.rest) << c.input;
  }
}

TEST(NodePropertyTest, Layouts) {
  struct Case {
    std::string_view input;
    LayoutMode layout;
  };
  const Case cases[] = {
      {"layout: grid cols=3 gap=8", {LayoutMode::Grid{3, 8, 0}}},
      {"layout: grid", {LayoutMode::Grid{2, 0, 0}}},
      {"layout: grid cols=2.9", {LayoutMode::Grid{2, 0, 0}}},
      {"layout: grid cols=-1", {LayoutMode::Grid{0, 0, 0}}},
      {"layout: column gap=4 pad=2 ;", {LayoutMode::Column{4, 2}}},
      {"layout: row pad=1 pad=2", {LayoutMode::Row{0, 2}}},
      {"layout: free gap=3", {LayoutMode::Free{}}},
      {"layout: columns", {LayoutMode::Free{}}},
  };
  for (const Case& c : cases) {
    Target t;
    t.layout.value = LayoutMode::Row{9, 9};
    std::string rest;
    ASSERT_TRUE(read_properties(c.input, t, &rest)) << c.input;
    EXPECT_EQ(t.layout, c.layout) << c.input;
    EXPECT_EQ(rest, "") << c.input;
  }
}

TEST(NodePropertyTest, Failures) {
  for (std::string_view text : {"-x: 1",
                                "fill #fff",
                                "w: .5",
                                "w: +5",
                                "w: 1 h: x",
                                "h: 10 ;",
                                "fill: #ff",
                                "fill: red",
                                "corner: 1 ;",
                                "opacity: 1 ;",
                                "use: a ;",
                                "use: @a",
                                "use:",
                                "stroke: #333",
                                "stroke: #3332",
                                "stroke: #333\t",
                                "bg: #fff corner=",
                                "bg: #fff shadow=(0, 2,4,#000)",
                                "bg: #fff shadow=(0,2,4,#000",
                                "bg: #fff shadow=(0,2,#000)",
                                "layout:",
                                "layout: grid gap= 3",
                                "font: \"open",
                                "",
                                "fill: #fff ;"}) {
    Target t;
    std::string rest;
    bool ok = read_properties(text, t, &rest);
    // A blank before ";" leaves the ";" behind, which then begins no item.
    if (ok && !rest.empty()) {
      Input in = rest;
      ok = parse_node_property(in, t.style, t.uses, t.width, t.height, t.layout);
    }
    EXPECT_FALSE(ok) << text;
  }
}

TEST(AnimBlockTest, Reads) {
  using Trigger = AnimTrigger::Kind;
  using Ease = Easing::Kind;
  struct Case {
    std::string_view input;
    AnimKeyframe frame;
    std::string_view rest;
  };
  auto frame = [](AnimTrigger trigger, Ease ease, std::uint32_t ms) {
    AnimKeyframe f;
    f.trigger = std::move(trigger);
    f.easing.kind = ease;
    f.duration_ms = ms;
    return f;
  };
  AnimKeyframe hover = frame({Trigger::Hover, {}}, Ease::Spring, 200);
  hover.scale = 1.1f;
  AnimKeyframe full = frame({Trigger::Press, {}}, Ease::Linear, 300);
  full.fill = solid(0, 0, 0);
  full.opacity = 0.5f;
  full.rotate = -90;
  const Case cases[] = {
      {"anim :hover { scale: 1.1; ease: spring 200ms }", hover, ""},
      {"anim :tap {}x", frame({Trigger::Custom, "tap"}, Ease::EaseInOut, 300), "x"},
      {"anim\t:Hover{}", frame({Trigger::Custom, "Hover"}, Ease::EaseInOut, 300), ""},
      {"anim :enter {\n  # gone\n  ease: linear\n}", frame({Trigger::Enter, {}}, Ease::Linear, 300), ""},
      {"anim :press {\r\n fill: #fff;fill: #000\r\n opacity: 0.5 rotate: -90 ease: linear\r\n}", full, ""},
      {"anim :hover { ease: ease_in 99.9ms }", frame({Trigger::Hover, {}}, Ease::EaseIn, 99), ""},
      {"anim :hover { ease: easeOut -5 }", frame({Trigger::Hover, {}}, Ease::EaseOut, 0), ""},
      {"anim :hover { ease: cubic }", frame({Trigger::Hover, {}}, Ease::EaseInOut, 300), ""},
      {"anim :hover { ease: easeIn 5s: 1 }", frame({Trigger::Hover, {}}, Ease::EaseIn, 5), ""},
      {"anim :hover { color: red; }", frame({Trigger::Hover, {}}, Ease::EaseInOut, 300), ""},
  };
  for (const Case& c : cases) {
    Input in = c.input;
    const auto got = parse_anim_block(in);
    ASSERT_TRUE(got) << c.input;
    EXPECT_EQ(*got, c.frame) << c.input;
    EXPECT_EQ(in, c.rest) << c.input;
  }
}

TEST(AnimBlockTest, Failures) {
  for (std::string_view text : {"anim: hover {}", "anim : hover {}", "anim :{}", "anim :hover\n{}", "anim :hover x {}",
                                "animate :hover {}", "anim :hover { ease: spring 250 ms }", "anim :hover { scale 1 }",
                                "anim :hover { fill: #12 }", "anim :hover { opacity: x }", "anim :hover { ease: }",
                                "anim :hover { scale: 1", "anim :hover {", "anim :hover { -: 1 }"}) {
    Input in = text;
    EXPECT_FALSE(parse_anim_block(in)) << text;
  }
}

}  // namespace
