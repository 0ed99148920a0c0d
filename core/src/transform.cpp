#include "vesk/core/transform.hpp"

#include <boost/unordered/unordered_flat_map.hpp>
#include <boost/unordered/unordered_flat_set.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

namespace vesk_core::transform {

void append_plain_float(std::string& out, float value) {
  if (std::isnan(value)) {
    out += "NaN";
    return;
  }
  if (std::isinf(value)) {
    out += value < 0 ? "-inf" : "inf";
    return;
  }
  // The shortest digits come from the scientific form; place the point by hand.
  char buf[32];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  const std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));
  std::size_t pos = 0;
  if (sci[0] == '-') {
    out.push_back('-');
    pos = 1;
  }
  const std::size_t e = sci.find('e');
  char digits[16];
  std::size_t n = 0;
  for (std::size_t i = pos; i < e; ++i) {
    if (sci[i] != '.') digits[n++] = sci[i];
  }
  std::size_t at = e + 1;
  const bool negative_exponent = sci[at] == '-';
  if (sci[at] == '-' || sci[at] == '+') ++at;
  int exponent = 0;
  std::from_chars(sci.data() + at, sci.data() + sci.size(), exponent);
  if (negative_exponent) exponent = -exponent;
  const int point = exponent + 1;  // digits before the decimal point
  const int count = static_cast<int>(n);
  if (point <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-point), '0');
    out.append(digits, n);
  } else if (point >= count) {
    out.append(digits, n);
    out.append(static_cast<std::size_t>(point - count), '0');
  } else {
    out.append(digits, static_cast<std::size_t>(point));
    out.push_back('.');
    out.append(digits + point, n - static_cast<std::size_t>(point));
  }
}

std::string format_plain_float(float value) {
  std::string out;
  append_plain_float(out, value);
  return out;
}

namespace {

using namespace model;

void append_stops(std::string& out, const List<GradientStop>& stops) {
  bool first = true;
  for (const GradientStop& stop : stops) {
    if (!first) out.push_back(',');
    first = false;
    out += stop.color.to_hex();
    out.push_back('/');
    append_plain_float(out, stop.offset);
  }
}

void append_paint_key(std::string& out, const Paint& paint) {
  if (const auto* solid = std::get_if<Paint::Solid>(&paint.value)) {
    out += solid->color.to_hex();
  } else if (const auto* linear = std::get_if<Paint::LinearGradient>(&paint.value)) {
    out += "linear(";
    append_plain_float(out, linear->angle);
    out += "deg,";
    append_stops(out, linear->stops);
    out.push_back(')');
  } else if (const auto* radial = std::get_if<Paint::RadialGradient>(&paint.value)) {
    out += "radial(";
    append_stops(out, radial->stops);
    out.push_back(')');
  }
}

// Keeps the first of each name, in place. Short lists, the usual case, are
// searched directly; a long one gets a set of its own size, so that no list
// pays for the capacity that another one needed.
template <class List>
void dedup_list(List& names) {
  constexpr std::size_t kScanned = 16;
  if (names.size() < 2) return;
  auto kept = names.begin();
  if (names.size() <= kScanned) {
    for (auto it = names.begin(); it != names.end(); ++it) {
      if (std::find(names.begin(), kept, *it) == kept) *kept++ = *it;
    }
  } else {
    boost::unordered_flat_set<NodeId> seen;
    seen.reserve(names.size());
    for (auto it = names.begin(); it != names.end(); ++it) {
      if (seen.insert(*it).second) *kept++ = *it;
    }
  }
  names.erase(kept, names.end());
}

}  // namespace

std::string paint_key(const Paint& paint) {
  std::string out;
  append_paint_key(out, paint);
  return out;
}

std::string style_signature(const Style& style) {
  std::string out;
  auto part = [&](std::string_view name) {
    if (!out.empty()) out.push_back('|');
    out += name;
    out.push_back('=');
  };
  if (style.fill) {
    part("fill");
    append_paint_key(out, *style.fill);
  }
  if (style.stroke) {
    part("stroke");
    append_paint_key(out, style.stroke->paint);
    out.push_back(',');
    append_plain_float(out, style.stroke->width);
  }
  if (style.font) {
    part("font");
    out += style.font->family;
    out.push_back(',');
    out += std::to_string(style.font->weight);
    out.push_back(',');
    append_plain_float(out, style.font->size);
  }
  if (style.corner_radius) {
    part("corner");
    append_plain_float(out, *style.corner_radius);
  }
  if (style.opacity) {
    part("opacity");
    append_plain_float(out, *style.opacity);
  }
  if (style.shadow) {
    part("shadow");
    append_plain_float(out, style.shadow->x);
    out.push_back(',');
    append_plain_float(out, style.shadow->y);
    out.push_back(',');
    append_plain_float(out, style.shadow->blur);
    out.push_back(',');
    out += style.shadow->color.to_hex();
  }
  return out;
}

void dedup_use_styles(SceneGraph& graph) {
  for (SceneNode& node : graph.nodes()) dedup_list(node.use_styles);
  for (Edge& edge : graph.edges) dedup_list(edge.use_styles);
}

void hoist_styles(SceneGraph& graph) {
  struct Group {
    Style style;
    std::vector<NodeIndex> members;
  };
  // Groups are created while walking the nodes in index order, so their order
  // is that of the lowest index of each: the numbering does not depend on hashing.
  std::vector<Group> groups;
  boost::unordered_flat_map<std::string, std::size_t> by_signature;
  const auto count = static_cast<NodeIndex>(graph.node_count());
  for (NodeIndex i = 0; i < count; ++i) {
    const Style& style = graph.node(i).style.get();
    if (style.empty()) continue;
    const auto [it, added] = by_signature.try_emplace(style_signature(style), groups.size());
    if (added) groups.push_back(Group{style, {}});
    groups[it->second].members.push_back(i);
  }
  std::size_t number = 0;
  for (Group& group : groups) {
    if (group.members.size() < 2) continue;
    // A named style carries no stroke or shadow in the text: those stay on
    // the nodes, so hoisting loses nothing from the canonical text.
    Style shared = group.style;
    shared.stroke.reset();
    shared.shadow.reset();
    if (shared.empty()) continue;
    const NodeId name = NodeId::intern("_auto_" + std::to_string(++number));
    graph.styles.insert_or_assign(name, std::move(shared));
    for (const NodeIndex member : group.members) {
      SceneNode& node = graph.node(member);
      Style kept;
      kept.stroke = std::move(node.style.edit().stroke);
      kept.shadow = std::move(node.style.edit().shadow);
      node.style = std::move(kept);
      if (std::find(node.use_styles.begin(), node.use_styles.end(), name) == node.use_styles.end()) {
        node.use_styles.insert(node.use_styles.begin(), name);
      }
    }
  }
}

}  // namespace vesk_core::transform
