#include "vesk/testing/scene_gen.hpp"

#include <cstdint>
#include <string_view>
#include <vector>

namespace vesk_testing {

namespace {

// splitmix64: fixed output for a seed on every platform.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 .. n-1
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
  bool chance(unsigned percent) { return below(100) < percent; }
  template <class T, std::size_t N>
  const T& pick(const T (&items)[N]) {
    return items[below(N)];
  }

 private:
  std::uint64_t state_;
};

constexpr std::string_view kWords[] = {"card",  "header", "footer", "button", "icon",  "label",
                                       "panel", "avatar", "badge",  "menu",   "title", "chart"};
constexpr std::string_view kFamilies[] = {"Inter", "Fira Sans", "JetBrains Mono", "Source Serif"};
constexpr std::string_view kEasings[] = {"linear", "ease_in", "easeOut", "spring", "ease_in_out"};
constexpr std::string_view kTriggers[] = {"hover", "press", "enter", "focus"};
constexpr std::string_view kStatus[] = {"todo", "wip", "done", "blocked"};
constexpr std::string_view kPhrases[] = {"Shows the current plan",        "Primary call to action",
                                         "Tap to expand; swipe to close", "Keeps its aspect ratio",
                                         "Größe passt sich an",           "見出しのテキスト"};

class Writer {
 public:
  Writer(std::size_t target, unsigned seed) : target_(target), rng_(seed) { out_.reserve(target + 4096); }

  std::string run() {
    header();
    do {
      if (styles_ < 4 || rng_.chance(8)) style_block();
      scene_block();
      const std::size_t edges = 1 + rng_.below(4);
      for (std::size_t i = 0; i < edges; ++i) edge_block();
      constraints();
      if (rng_.chance(10)) out_ += "## section boundary, not stored\n\n";
    } while (out_.size() < target_);
    out_ += "# end of scene\n";
    return std::move(out_);
  }

 private:
  void header() {
    out_ += "# Generated scene\n# Every construct of the format appears below.\n\n";
    out_ += "import \"shared/tokens.vesk\" as tokens\n";
    out_ += "import \"shared/icons.vesk\" as icons;\n\n";
  }

  void number(double max, bool fraction = true) {
    const std::uint64_t raw = rng_.below(static_cast<std::size_t>(max * 100) + 1);
    out_ += std::to_string(raw / 100);
    if (fraction && raw % 100) {
      const unsigned cents = static_cast<unsigned>(raw % 100);
      out_ += '.';
      out_ += static_cast<char>('0' + cents / 10);
      if (cents % 10) out_ += static_cast<char>('0' + cents % 10);
    }
  }

  void color() {
    static constexpr char kHex[] = "0123456789abcdef";
    static constexpr std::size_t kLengths[] = {3, 6, 6, 6, 8};
    out_ += '#';
    const std::size_t n = rng_.pick(kLengths);
    for (std::size_t i = 0; i < n; ++i) out_ += kHex[rng_.below(16)];
  }

  std::string fresh_id() {
    std::string id(rng_.pick(kWords));
    id += '_';
    id += std::to_string(ids_.size());
    ids_.push_back(id);
    return id;
  }

  void indent(int depth) { out_.append(static_cast<std::size_t>(depth) * 2, ' '); }

  void style_block() {
    const std::string name = "style_" + std::to_string(styles_++);
    out_ += "# shared look\nstyle ";
    out_ += name;
    out_ += " {\n  fill: ";
    color();
    out_ += "\n  corner: ";
    number(16);
    out_ += "; opacity: 0.";
    out_ += std::to_string(1 + rng_.below(9));
    out_ += "\n  font: \"";
    out_ += rng_.pick(kFamilies);
    out_ += "\" ";
    out_ += std::to_string(100 * (1 + rng_.below(9)));
    out_ += ' ';
    number(32);
    out_ += "\n  stroke: #000 1\n}\n\n";
  }

  void use_style() {
    if (styles_ == 0) return;
    out_ += "use: style_";
    out_ += std::to_string(rng_.below(styles_));
  }

  void annotation(int depth) {
    indent(depth);
    switch (rng_.below(6)) {
      case 0:
        out_ += "## status: ";
        out_ += rng_.pick(kStatus);
        break;
      case 1: out_ += "## priority: high"; break;
      case 2: out_ += "## tag: ui; ## accept: \"renders at 60 fps\""; break;
      case 3:
        out_ += "## note: \"";
        out_ += rng_.pick(kPhrases);
        out_ += '"';
        break;
      case 4:
        out_ += "## \"";
        out_ += rng_.pick(kPhrases);
        out_ += '"';
        break;
      default:
        out_ += "## ";
        out_ += rng_.pick(kPhrases);
        break;
    }
    out_ += '\n';
  }

  void anim_block(int depth) {
    indent(depth);
    out_ += "anim :";
    out_ += rng_.pick(kTriggers);
    out_ += " {\n";
    indent(depth + 1);
    out_ += "scale: 1.";
    out_ += std::to_string(rng_.below(10));
    out_ += "; opacity: 0.8\n";
    if (rng_.chance(50)) {
      indent(depth + 1);
      out_ += "fill: ";
      color();
      out_ += " rotate: ";
      number(360);
      out_ += '\n';
    }
    indent(depth + 1);
    out_ += "ease: ";
    out_ += rng_.pick(kEasings);
    out_ += ' ';
    out_ += std::to_string(100 + 50 * rng_.below(10));
    out_ += "ms\n";
    indent(depth);
    out_ += "}\n";
  }

  void properties(int depth, bool sized) {
    indent(depth);
    if (sized) {
      out_ += rng_.chance(50) ? "w: " : "width: ";
      number(800);
      out_ += " h: ";
      number(600);
      out_ += '\n';
      indent(depth);
    }
    switch (rng_.below(3)) {
      case 0:
        out_ += "fill: ";
        color();
        break;
      case 1:
        out_ += "bg: ";
        color();
        out_ += " corner=";
        number(12);
        out_ += " shadow=(0,";
        number(8);
        out_ += ",";
        number(16);
        out_ += ",#00000040)";
        break;
      default: use_style(); break;
    }
    out_ += '\n';
    if (rng_.chance(40)) {
      indent(depth);
      out_ += "stroke: ";
      color();
      out_ += ' ';
      number(4);
      out_ += "; corner: ";
      number(20);
      out_ += '\n';
    }
    if (rng_.chance(30)) {
      indent(depth);
      out_ += "opacity: 0.";
      out_ += std::to_string(rng_.below(100));
      out_ += " cursor: pointer # ignored property\n";
    }
  }

  void node(int depth) {
    const std::size_t kind = rng_.below(depth >= 5 ? 5 : 7);
    const bool named = !rng_.chance(15);
    const std::string id = named ? fresh_id() : std::string();
    auto head = [&](std::string_view keyword) {
      indent(depth);
      out_ += keyword;
      if (named) {
        if (!keyword.empty()) out_ += ' ';
        out_ += '@';
        out_ += id;
      }
    };
    if (rng_.chance(20)) {
      indent(depth);
      out_ += "# ";
      out_ += rng_.pick(kPhrases);
      out_ += '\n';
    }
    switch (kind) {
      case 0:
        head("rect");
        out_ += " {\n";
        properties(depth + 1, true);
        break;
      case 1:
        head("ellipse");
        out_ += " {\n";
        properties(depth + 1, true);
        break;
      case 2:
        head("text");
        out_ += " \"";
        out_ += rng_.pick(kPhrases);
        out_ += "\" {\n";
        indent(depth + 1);
        out_ += "font: \"";
        out_ += rng_.pick(kFamilies);
        out_ += "\" ";
        out_ += std::to_string(100 * (1 + rng_.below(9)));
        out_ += ' ';
        number(40);
        out_ += "\n";
        properties(depth + 1, false);
        break;
      case 3:
        head("path");
        out_ += " {\n";
        properties(depth + 1, false);
        break;
      case 4:
        if (named) {
          head("");
        } else {
          head("rect");
        }
        out_ += " {\n";
        properties(depth + 1, false);
        break;
      default: {
        head("group");
        out_ += " {\n";
        indent(depth + 1);
        switch (rng_.below(4)) {
          case 0:
            out_ += "layout: column gap=";
            number(24);
            out_ += " pad=";
            number(16);
            break;
          case 1:
            out_ += "layout: row gap=";
            number(24);
            break;
          case 2:
            out_ += "layout: grid cols=";
            out_ += std::to_string(2 + rng_.below(4));
            out_ += " gap=8";
            break;
          default: out_ += "layout: free"; break;
        }
        out_ += '\n';
        properties(depth + 1, false);
        const std::size_t children = 2 + rng_.below(4);
        for (std::size_t i = 0; i < children; ++i) node(depth + 1);
        break;
      }
    }
    if (rng_.chance(35)) annotation(depth + 1);
    if (rng_.chance(20)) anim_block(depth + 1);
    indent(depth);
    out_ += "}\n";
  }

  void scene_block() {
    const std::string screen = std::to_string(++screens_);
    out_ += "# screen ";
    out_ += screen;
    out_ += "\ngroup @screen_";
    out_ += screen;
    out_ += " {\n  layout: column gap=16 pad=24\n  ## status: wip\n";
    const std::size_t children = 3 + rng_.below(4);
    for (std::size_t i = 0; i < children; ++i) node(1);
    out_ += "}\n\n";
  }

  const std::string& some_id() { return ids_[ids_.size() - 1 - rng_.below(ids_.size() < 40 ? ids_.size() : 40)]; }

  void edge_block() {
    if (ids_.size() < 2) return;
    out_ += "edge";
    if (rng_.chance(80)) {
      out_ += " @link_";
      out_ += std::to_string(edges_++);
    }
    out_ += " {\n  from: @";
    out_ += some_id();
    out_ += "; to: @";
    out_ += some_id();
    out_ += "\n  label: \"";
    out_ += rng_.pick(kWords);
    out_ += "\"\n  stroke: ";
    color();
    if (rng_.chance(50)) {
      out_ += ' ';
      number(3);
    }
    out_ += "\n  arrow: ";
    out_ += rng_.chance(50) ? "end" : "both";
    out_ += "; curve: ";
    out_ += rng_.chance(50) ? "smooth" : "step";
    out_ += "\n  flow: ";
    out_ += rng_.chance(50) ? "dash " : "pulse ";
    out_ += std::to_string(200 + 100 * rng_.below(10));
    out_ += "ms; opacity: 0.9\n";
    if (rng_.chance(30)) {
      out_ += "  ";
      use_style();
      out_ += '\n';
    }
    if (rng_.chance(30)) annotation(1);
    if (rng_.chance(15)) anim_block(1);
    out_ += "}\n";
  }

  void constraints() {
    if (ids_.empty()) return;
    const std::size_t n = rng_.below(4);
    for (std::size_t i = 0; i < n; ++i) {
      out_ += '@';
      out_ += some_id();
      switch (rng_.below(4)) {
        case 0:
          out_ += " -> center_in: screen_";
          out_ += std::to_string(screens_);
          break;
        case 1:
          out_ += " -> offset: @";
          out_ += some_id();
          out_ += " 8, -4";
          break;
        case 2:
          out_ += " -> fill_parent: ";
          number(16);
          break;
        default:
          out_ += " -> absolute: ";
          number(1000);
          out_ += ", ";
          number(1000);
          break;
      }
      out_ += '\n';
    }
    out_ += '\n';
  }

  std::size_t target_;
  Rng rng_;
  std::string out_;
  std::vector<std::string> ids_;
  std::size_t styles_ = 0;
  std::size_t screens_ = 0;
  std::size_t edges_ = 0;
};

}  // namespace

std::string nested_groups(std::size_t depth, std::string_view id) {
  std::string open = "group ";
  if (!id.empty()) {
    open += '@';
    open += id;
    open += ' ';
  }
  open += "{\n";
  std::string text;
  text.reserve(depth * (open.size() + 2));
  for (std::size_t i = 0; i < depth; ++i) text += open;
  for (std::size_t i = 0; i < depth; ++i) text += "}\n";
  return text;
}

std::string generate_scene(std::size_t target_bytes, unsigned seed) { return Writer(target_bytes, seed).run(); }

}  // namespace vesk_testing
