#include "parser_detail.hpp"
#include "words.hpp"

namespace vesk_core::parser {

namespace {

using model::Color;
using model::LayoutMode;
using model::Paint;
using model::Style;

// `bg` modifiers after the colour: corner=N and shadow=(x,y,blur,#color).
bool parse_bg_modifiers(Input& in, Style& style) {
  for (;;) {
    take_blanks(in);
    if (consume(in, "corner=")) {
      const auto corner = parse_number(in);
      if (!corner) return false;
      style.corner_radius = *corner;
    } else if (consume(in, "shadow=(")) {
      const auto x = parse_number(in);
      if (!x || !consume(in, ',')) return false;
      const auto y = parse_number(in);
      if (!y || !consume(in, ',')) return false;
      const auto blur = parse_number(in);
      if (!blur || !consume(in, ',')) return false;
      const auto color = parse_hex_color(in);
      if (!color || !consume(in, ')')) return false;
      style.shadow = model::Shadow{*x, *y, *blur, *color};
    } else {
      return true;
    }
  }
}

bool parse_layout(Input& in, LayoutMode& layout) {
  const auto word = take_ident(in);
  if (!word) return false;
  take_blanks(in);
  float gap = 0, pad = 0;
  std::uint32_t cols = 2;
  for (;;) {
    take_blanks(in);
    if (consume(in, "gap=")) {
      const auto n = parse_number(in);
      if (!n) return false;
      gap = *n;
    } else if (consume(in, "pad=")) {
      const auto n = parse_number(in);
      if (!n) return false;
      pad = *n;
    } else if (consume(in, "cols=")) {
      const auto n = parse_number(in);
      if (!n) return false;
      cols = to_count(*n);
    } else {
      break;
    }
  }
  const auto known = words::read(words::kLayouts, *word);
  if (!known) {
    layout.value = LayoutMode::Free{};
    return true;
  }
  switch (*known) {
    case words::LayoutWord::Column: layout.value = LayoutMode::Column{gap, pad}; break;
    case words::LayoutWord::Row: layout.value = LayoutMode::Row{gap, pad}; break;
    case words::LayoutWord::Grid: layout.value = LayoutMode::Grid{cols, gap, pad}; break;
  }
  return true;
}

// Reads a number into `slot`.
bool number_into(Input& in, std::optional<float>& slot) {
  const auto n = parse_number(in);
  if (!n) return false;
  slot = *n;
  return true;
}

bool color_into(Input& in, std::optional<Paint>& slot) {
  const auto color = parse_hex_color(in);
  if (!color) return false;
  slot = Paint::solid(*color);
  return true;
}

model::Easing::Kind easing_of(std::string_view word) {
  return words::read(words::kEasings, word).value_or(words::kDefaultEasing);
}

model::AnimTrigger trigger_of(std::string_view word) {
  if (const auto kind = words::read(words::kTriggers, word)) return {*kind, {}};
  return {model::AnimTrigger::Kind::Custom, std::string(word)};
}

// One `key: value` item of an anim block, without its separator.
bool parse_anim_item(Input& in, model::AnimKeyframe& frame) {
  const auto key = take_key(in);
  if (!key) return false;
  if (*key == "fill") return color_into(in, frame.fill);
  if (*key == "opacity") return number_into(in, frame.opacity);
  if (*key == "scale") return number_into(in, frame.scale);
  if (*key == "rotate") return number_into(in, frame.rotate);
  if (*key == "ease") {
    const auto word = take_ident(in);
    if (!word) return false;
    frame.easing.kind = easing_of(*word);
    take_blanks(in);
    // An absent duration keeps the default; what the attempt consumed stays consumed.
    if (const auto duration = parse_number(in)) {
      frame.duration_ms = to_count(*duration);
      consume(in, "ms");
    }
    return true;
  }
  take_till_value_end(in);
  return true;
}

}  // namespace

bool parse_node_property(Input& in, model::NodeStyle& style, model::List<NodeId>& use_styles,
                         std::optional<float>& width, std::optional<float>& height, LayoutMode& layout,
                         model::detail::Arena* arena) {
  const auto name = take_key(in);
  if (!name) return false;

  const std::string_view key = *name;
  bool ok = true;
  if (key == "w" || key == "width") {
    ok = number_into(in, width);
    if (ok) {
      take_blanks(in);
      if (starts_with(in, "h:") || starts_with(in, "h :")) {
        in.remove_prefix(1);
        take_blanks(in);
        consume(in, ':');
        take_blanks(in);
        ok = number_into(in, height);
      }
    }
  } else if (key == "h" || key == "height") {
    ok = number_into(in, height);
  } else if (key == "use") {
    const auto ident = take_ident(in);
    ok = ident.has_value();
    if (ok) use_styles.emplace_back_in(arena, NodeId::intern(*ident));
  } else if (key == "fill") {
    ok = color_into(in, style.edit_in(arena).fill);
  } else if (key == "bg") {
    Style& set = style.edit_in(arena);
    ok = color_into(in, set.fill) && parse_bg_modifiers(in, set);
  } else if (key == "stroke") {
    const auto color = parse_hex_color(in);
    ok = color && take_blanks1(in);
    if (ok) {
      const auto stroke_width = parse_number(in);
      ok = stroke_width.has_value();
      if (ok) style.edit_in(arena).stroke = model::Stroke{Paint::solid(*color), *stroke_width};
    }
  } else if (key == "corner") {
    ok = number_into(in, style.edit_in(arena).corner_radius);
  } else if (key == "opacity") {
    ok = number_into(in, style.edit_in(arena).opacity);
  } else if (key == "font") {
    ok = parse_font_value(in, style.edit_in(arena).font);
  } else if (key == "layout") {
    ok = parse_layout(in, layout);
  } else {
    take_till_value_end(in);
  }
  if (!ok) return false;
  skip_opt_separator(in);
  return true;
}

std::optional<model::AnimKeyframe> parse_anim_block(Input& in) {
  if (!consume(in, "anim")) return std::nullopt;
  if (!take_blanks1(in) || !consume(in, ':')) return std::nullopt;
  const auto word = take_ident(in);
  if (!word) return std::nullopt;
  model::AnimKeyframe frame;
  frame.trigger = trigger_of(*word);
  take_blanks(in);
  if (!consume(in, '{')) return std::nullopt;
  for (;;) {
    skip_leading_comments(in);
    if (consume(in, '}')) return frame;
    if (!parse_anim_item(in, frame)) return std::nullopt;
    skip_opt_separator(in);
  }
}

}  // namespace vesk_core::parser
