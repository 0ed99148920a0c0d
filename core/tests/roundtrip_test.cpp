// Canonical text reads back as the graph it was written from.

#include "vesk/core/emitter.hpp"
#include "vesk/core/format.hpp"
#include "vesk/core/parser.hpp"

#include "vesk/testing/scene_gen.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace vesk_core;
using namespace vesk_core::model;

namespace {

const format::FormatConfig kDedup{true, false};

std::string format_ok(std::string_view text) {
  auto result = format::format_document(text, kDedup);
  EXPECT_TRUE(result.ok()) << result.error() << "\n--- input ---\n" << text;
  return result.ok() ? result.value() : std::string();
}

// Random documents over every construct of the language, in loose spelling.
class SceneWriter {
 public:
  explicit SceneWriter(unsigned seed) : rng_(seed) {}

  std::string document() {
    out_.clear();
    ids_.clear();
    for (int i = pick(0, 2); i > 0; --i) out_ += "import \"lib/" + word() + ".vesk\" as " + word() + "\n";
    for (int i = pick(0, 3); i > 0; --i) style_block();
    for (int i = pick(1, 5); i > 0; --i) {
      if (chance(3)) out_ += "# " + word() + " comment\n";
      if (chance(8)) out_ += "## dropped top-level note\n";
      node(0);
      if (chance(6)) out_ += "stray line that is skipped\n";
    }
    for (int i = pick(0, 4); i > 0 && !ids_.empty(); --i) constraint();
    for (int i = pick(0, 3); i > 0; --i) edge();
    return out_;
  }

 private:
  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool chance(int one_in) { return pick(1, one_in) == 1; }
  std::string word() {
    static const char* const words[] = {"card", "hero", "cta", "nav", "item", "badge", "\xCE\xB1lpha", "x_1"};
    return words[pick(0, 7)];
  }
  std::string fresh_id() {
    std::string id = word() + std::to_string(ids_.size());
    ids_.push_back(id);
    return id;
  }
  std::string any_id() {
    return ids_.empty() ? "missing" : ids_[static_cast<std::size_t>(pick(0, int(ids_.size()) - 1))];
  }
  // Integers, two-decimal values and longer decimals that the writer rounds.
  std::string num(bool negative_ok = true) {
    std::string s;
    if (negative_ok && chance(5)) s = "-";
    switch (pick(0, 3)) {
      case 0: s += std::to_string(pick(0, 500)); break;
      case 1: s += std::to_string(pick(0, 99)) + "." + std::to_string(pick(1, 99)); break;
      case 2: s += std::to_string(pick(1, 9)) + "." + std::to_string(pick(1000, 9999)); break;
      default: s += std::to_string(pick(1, 3)) + "."; break;
    }
    return s;
  }
  std::string color() {
    static const char* const colors[] = {"#fff", "#FFF8", "#1a2b3c", "#1A2B3C80", "#000", "#6b7080"};
    return colors[pick(0, 5)];
  }
  std::string sep() { return chance(3) ? "; " : "\n"; }
  void indent(int depth) { out_.append(static_cast<std::size_t>(2 * depth), ' '); }

  void annotation(int depth) {
    static const char* const forms[] = {
        "## \"quoted description\"",
        "## free text; with a semicolon",
        "## note:remember",
        "## status: done",
        "## priority : high",
        "## tag: ui",
        "## accept: \"shows the price\"",
        "## he said \"hi\"",
        "## accept: press \"Buy\"",
        "## note: a \"b\" c",
        "## \xC2\xA0\"q\" rest",
        "## status: \"a; b\"",
        "## tag: \" padded \"",
        "## priority: \"two\nlines\"",
        "##",
    };
    indent(depth);
    out_ += forms[pick(0, 14)];
    out_ += "\n";
  }

  void anim(int depth) {
    static const char* const triggers[] = {"hover", "press", "enter", "tap", "Hover"};
    static const char* const eases[] = {"linear", "ease_in", "easeOut", "spring", "ease_in_out", "cubic", "bounce"};
    indent(depth);
    out_ += std::string("anim :") + triggers[pick(0, 4)] + " {\n";
    if (chance(2)) {
      indent(depth + 1);
      out_ += "fill: " + color() + "\n";
    }
    if (chance(2)) {
      indent(depth + 1);
      out_ += "opacity: " + num(false) + "\n";
    }
    if (chance(2)) {
      indent(depth + 1);
      out_ += "scale: " + num(false) + "\n";
    }
    if (chance(2)) {
      indent(depth + 1);
      out_ += "rotate: " + num() + "\n";
    }
    if (chance(3)) {
      indent(depth + 1);
      out_ += "# comment lost\n";
    }
    if (chance(4)) {
      indent(depth + 1);
      out_ += "unknown: 5\n";
    }
    if (!chance(3)) {
      indent(depth + 1);
      out_ += std::string("ease: ") + eases[pick(0, 6)];
      if (chance(2)) out_ += " " + std::to_string(pick(0, 2000)) + (chance(2) ? "ms" : "");
      out_ += "\n";
    }
    indent(depth);
    out_ += "}\n";
  }

  void properties(int depth, const std::string& kind) {
    for (int i = pick(0, 5); i > 0; --i) {
      indent(depth);
      switch (pick(0, 11)) {
        case 0: out_ += "fill: " + color(); break;
        case 1: out_ += "stroke: " + color() + " " + num(false); break;
        case 2: out_ += "corner: " + num(false); break;
        case 3: out_ += "opacity: " + num(false); break;
        case 4: out_ += "font: \"Inter Tight\" " + std::to_string(pick(100, 900)) + " " + num(false); break;
        case 5: out_ += "font: " + num(false); break;
        case 6: out_ += "use: " + word(); break;
        case 7: out_ += "bg: " + color() + " corner=" + num(false) + " shadow=(0,2,4,#0004)"; break;
        case 8: out_ += "w: " + num() + " h: " + num(); break;
        case 9: out_ += "height: " + num(); break;
        case 10:
          if (kind == "group") {
            static const char* const modes[] = {"column", "row", "grid", "free"};
            out_ += std::string("layout: ") + modes[pick(0, 3)] + " gap=" + num(false) + " pad=" + num(false);
            if (chance(2)) out_ += " cols=" + std::to_string(pick(1, 6));
          } else {
            out_ += "ignored_key: anything";
          }
          break;
        default: out_ += "# a comment in the body\n"; continue;
      }
      out_ += sep();
    }
  }

  void node(int depth) {
    static const char* const kinds[] = {"group", "rect", "ellipse", "path", "text", "@"};
    const std::string kind = depth >= 3 ? kinds[pick(1, 5)] : kinds[pick(0, 5)];
    indent(depth);
    if (kind == "@") {
      out_ += "@" + fresh_id() + " {\n";
    } else {
      out_ += kind;
      if (!chance(4)) out_ += " @" + fresh_id();
      if (kind == "text" && !chance(4)) out_ += " \"Hello, \xE4\xB8\x96\xE7\x95\x8C\"";
      out_ += " {\n";
    }
    for (int i = pick(0, 2); i > 0; --i) annotation(depth + 1);
    properties(depth + 1, kind);
    if (kind == "group" || kind == "@") {
      for (int i = pick(0, 3); i > 0; --i) node(depth + 1);
    }
    for (int i = pick(0, 1); i > 0; --i) anim(depth + 1);
    indent(depth);
    out_ += "}\n";
  }

  void style_block() {
    out_ += "style " + word() + " {\n";
    for (int i = pick(0, 5); i > 0; --i) {
      switch (pick(0, 5)) {
        case 0: out_ += "  fill: " + color(); break;
        case 1: out_ += "  font: \"Inter\" 500 " + num(false); break;
        case 2: out_ += "  corner: " + num(false); break;
        case 3: out_ += "  opacity: " + num(false); break;
        case 4: out_ += "  stroke: #000 2"; break;  // accepted, not kept
        default: out_ += "  # comment\n"; continue;
      }
      out_ += sep();
    }
    out_ += "}\n";
  }

  void constraint() {
    out_ += "@" + any_id() + " -> ";
    switch (pick(0, 4)) {
      case 0: out_ += "center_in: " + any_id(); break;
      case 1: out_ += "offset: @" + any_id() + " " + num() + ", " + num(); break;
      case 2: out_ += "fill_parent: " + (chance(2) ? num(false) : std::string()); break;
      case 3: out_ += "absolute:" + num() + "," + num(); break;
      default: out_ += "spin: 90"; break;
    }
    out_ += "\n";
  }

  void edge() {
    out_ += "edge ";
    if (!chance(4)) out_ += "@" + fresh_id() + " ";
    out_ += "{\n";
    if (chance(2)) annotation(1);
    if (!chance(5)) out_ += "  from: @" + any_id() + "\n";
    if (!chance(5)) out_ += "  to: @" + any_id() + "\n";
    if (chance(2)) out_ += "  label: \"goes to\"\n";
    if (chance(2)) out_ += "  use: wire\n  use: wire\n";
    if (chance(2)) out_ += "  stroke: " + color() + (chance(2) ? " " + num(false) : std::string()) + "\n";
    if (chance(2)) out_ += "  opacity: " + num(false) + "\n";
    static const char* const arrows[] = {"none", "start", "end", "both", "Both"};
    if (chance(2)) out_ += std::string("  arrow: ") + arrows[pick(0, 4)] + "\n";
    static const char* const curves[] = {"straight", "smooth", "step", "bezier"};
    if (chance(2)) out_ += std::string("  curve: ") + curves[pick(0, 3)] + "\n";
    if (chance(2))
      out_ += std::string("  flow: ") + (chance(2) ? "dash" : "pulse") + " " + std::to_string(pick(0, 3000)) + "ms\n";
    if (chance(3)) out_ += "  mystery: value\n";
    if (chance(3)) anim(1);
    out_ += "}\n";
  }

  std::mt19937 rng_;
  std::string out_;
  std::vector<std::string> ids_;
};

}  // namespace

TEST(RoundTripTest, GeneratedDocumentsReachAFixedPointInOneStep) {
  SceneWriter writer(20261210);
  for (int i = 0; i < 300; ++i) {
    const std::string source = writer.document();
    const std::string once = format_ok(source);
    const std::string twice = format_ok(once);
    ASSERT_EQ(twice, once) << "--- source ---\n" << source;
    // Writing the parse of the canonical text gives the same text.
    auto reparsed = parser::parse_document(once);
    ASSERT_TRUE(reparsed.ok());
    ASSERT_EQ(emitter::emit_document(reparsed.value()), once);
  }
}

TEST(RoundTripTest, SceneGeneratorDocumentsReachAFixedPointInOneStep) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    const std::string source = vesk_testing::generate_scene(4000 + 500 * seed, seed);
    const std::string once = format_ok(source);
    ASSERT_EQ(format_ok(once), once) << "seed " << seed;
    auto reparsed = parser::parse_document(once);
    ASSERT_TRUE(reparsed.ok());
    ASSERT_EQ(emitter::emit_document(reparsed.value()), once) << "seed " << seed;
  }
}

TEST(RoundTripTest, AnnotationsFromTextSurviveFormatting) {
  using K = Annotation::Kind;
  const std::pair<const char*, List<Annotation>> cases[] = {
      {"## he said \"hi\"", {{K::Description, "he said \"hi\""}}},
      {"## note: a \"b\" c", {{K::Description, "note: a \"b\" c"}}},
      {"## note: x \"y\"; ## tag: z", {{K::Description, "note: x \"y\""}, {K::Tag, "z"}}},
      {"## accept: press \"Buy\"", {{K::Accept, "press \"Buy\""}}},
      {"## \xC2\xA0\"q\" rest", {{K::Description, "\"q\" rest"}}},
      {"## \xC2\xA0tag: a\"b", {{K::Description, "tag: a\"b"}}},
      {"## accept: \xC2\xA0\"q\"", {{K::Accept, "\"q\""}}},
      {"## status: \xC2\xA0\"q\" x", {{K::Status, "\"q\" x"}}},
      {"## status: \"a; b\"", {{K::Status, "a; b"}}},
      {"## tag: \" padded \"", {{K::Tag, " padded "}}},
      {"## priority: \"two\nlines\"", {{K::Priority, "two\nlines"}}},
      {"## status: done; ## priority: high", {{K::Status, "done"}, {K::Priority, "high"}}},
      {"## \"  spaced  \"", {{K::Description, "  spaced  "}}},
      {"##", {{K::Description, ""}}},
  };
  for (const auto& [line, expected] : cases) {
    const std::string source = std::string("rect @r {\n  ") + line + "\n}\nedge @e {\n  " + line + "\n}\n";
    auto first = parser::parse_document(source);
    ASSERT_TRUE(first.ok()) << line;
    ASSERT_EQ(first.value().get_by_id(NodeId::intern("r"))->annotations, expected) << line;
    const std::string canonical = format_ok(source);
    auto again = parser::parse_document(canonical);
    ASSERT_TRUE(again.ok()) << canonical;
    EXPECT_EQ(again.value().get_by_id(NodeId::intern("r"))->annotations, expected) << canonical;
    EXPECT_EQ(again.value().edges.at(0).annotations, expected) << canonical;
  }
}

TEST(RoundTripTest, AnnotationsFromTheModelReadBack) {
  using K = Annotation::Kind;
  // Second value: what reads back when no form can carry the text.
  const std::pair<Annotation, std::string> cases[] = {
      {{K::Description, "Card"}, "Card"},
      {{K::Description, "say \"hi\" twice"}, "say \"hi\" twice"},
      {{K::Description, "tag: x\"y"}, "tag: x\"y"},
      {{K::Description, "note:  a\"b"}, "note:  a\"b"},
      {{K::Description, "note: a\"b; c"}, "note: a\"b; c"},
      {{K::Description, "note: \"q\""}, "note: \"q\""},
      {{K::Description, "\"q\" rest"}, "\"q\" rest"},
      {{K::Description, "x\"\r"}, "x'\r"},
      {{K::Description, "a \"b\"\nc"}, "a 'b'\nc"},
      {{K::Accept, "shows \"Buy\""}, "shows \"Buy\""},
      {{K::Accept, "\"q\" rest"}, "\"q\" rest"},
      {{K::Accept, "a;\nb "}, "a;\nb "},
      {{K::Accept, " \"a\""}, " 'a'"},
      {{K::Status, "\"q\""}, "\"q\""},
      {{K::Status, "a; b"}, "a; b"},
      {{K::Priority, "two\nlines"}, "two\nlines"},
      {{K::Tag, " padded "}, " padded "},
      {{K::Tag, "\xC2\xA0x"}, "\xC2\xA0x"},
      {{K::Tag, "\"a\"; b"}, "'a'; b"},
      {{K::Tag, ""}, ""},
  };
  for (const auto& [annotation, text] : cases) {
    SceneGraph g;
    SceneNode n(NodeId::intern("n"), NodeKind{NodeKind::Generic{}});
    n.annotations = {annotation, Annotation{K::Tag, "after"}};
    g.add_node(g.root, std::move(n));
    const std::string written = emitter::emit_document(g);
    auto back = parser::parse_document(written);
    ASSERT_TRUE(back.ok()) << written;
    const auto& read = back.value().get_by_id(NodeId::intern("n"))->annotations;
    EXPECT_EQ(read, (List<Annotation>{{annotation.kind, text}, {K::Tag, "after"}})) << written;
  }
}

TEST(RoundTripTest, DeepDocumentFormats) {
  constexpr int kDepth = 900;  // within the parser's nesting bound
  std::string source;
  for (int i = 0; i < kDepth; ++i) source += "group {\n";
  source += "rect @leaf { }\n";
  for (int i = 0; i < kDepth; ++i) source += "}\n";
  const std::string once = format_ok(source);
  EXPECT_EQ(format_ok(once), once);
}
