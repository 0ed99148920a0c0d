// Writes a Vesk document (stdin) as JSON with the same content (stdout), so a
// general JSON round trip can be timed against the formatter on equal data.
#include "vesk/core/model.hpp"
#include "vesk/core/parser.hpp"

#include <boost/json.hpp>

#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>

namespace {

using namespace vesk_core::model;
namespace json = boost::json;

json::string text(NodeId id) { return json::string(id.resolve()); }

json::value color(const Color& c) { return json::string(c.to_hex()); }

json::value paint(const Paint& p) {
  if (const auto* solid = std::get_if<Paint::Solid>(&p.value)) return color(solid->color);
  json::object out;
  json::array stops;
  const List<GradientStop>* list = nullptr;
  if (const auto* linear = std::get_if<Paint::LinearGradient>(&p.value)) {
    out["linear"] = linear->angle;
    list = &linear->stops;
  } else {
    list = &std::get<Paint::RadialGradient>(p.value).stops;
    out["radial"] = true;
  }
  for (const auto& s : *list) stops.push_back(json::object{{"color", color(s.color)}, {"offset", s.offset}});
  out["stops"] = std::move(stops);
  return out;
}

json::object style(const Style& s) {
  json::object out;
  if (s.fill) out["fill"] = paint(*s.fill);
  if (s.stroke) out["stroke"] = json::object{{"paint", paint(s.stroke->paint)}, {"width", s.stroke->width}};
  if (s.font)
    out["font"] = json::object{{"family", s.font->family}, {"weight", s.font->weight}, {"size", s.font->size}};
  if (s.corner_radius) out["corner"] = *s.corner_radius;
  if (s.opacity) out["opacity"] = *s.opacity;
  if (s.shadow) {
    out["shadow"] = json::object{
        {"x", s.shadow->x}, {"y", s.shadow->y}, {"blur", s.shadow->blur}, {"color", color(s.shadow->color)}};
  }
  return out;
}

json::array annotations(const List<Annotation>& list) {
  static constexpr const char* kKinds[] = {"description", "accept", "status", "priority", "tag"};
  json::array out;
  for (const auto& a : list) out.push_back(json::object{{kKinds[static_cast<int>(a.kind)], a.text}});
  return out;
}

template <class List>
json::array animations(const List& list) {
  json::array out;
  for (const auto& k : list) {
    json::object a;
    static constexpr const char* kTriggers[] = {"hover", "press", "enter"};
    a["trigger"] = k.trigger.kind == AnimTrigger::Kind::Custom
                       ? json::string(k.trigger.custom)
                       : json::string(kTriggers[static_cast<int>(k.trigger.kind)]);
    if (k.fill) a["fill"] = paint(*k.fill);
    if (k.opacity) a["opacity"] = *k.opacity;
    if (k.scale) a["scale"] = *k.scale;
    if (k.rotate) a["rotate"] = *k.rotate;
    a["easing"] = static_cast<int>(k.easing.kind);
    if (k.easing.kind == Easing::Kind::Cubic) {
      a["cubic"] = json::array(k.easing.cubic.begin(), k.easing.cubic.end());
    }
    a["duration_ms"] = k.duration_ms;
    out.push_back(std::move(a));
  }
  return out;
}

json::value layout(const LayoutMode& mode) {
  return std::visit(
      [](const auto& m) -> json::value {
        using M = std::decay_t<decltype(m)>;
        if constexpr (std::is_same_v<M, LayoutMode::Free>) {
          return "free";
        } else if constexpr (std::is_same_v<M, LayoutMode::Grid>) {
          return json::object{{"grid", m.cols}, {"gap", m.gap}, {"pad", m.pad}};
        } else {
          return json::object{
              {std::is_same_v<M, LayoutMode::Column> ? "column" : "row", true}, {"gap", m.gap}, {"pad", m.pad}};
        }
      },
      mode.value);
}

template <class List>
json::array ids(const List& list) {
  json::array out;
  for (const NodeId id : list) out.push_back(text(id));
  return out;
}

json::object node(const SceneGraph& g, NodeIndex index) {
  const SceneNode& n = g.node(index);
  json::object out;
  out["id"] = text(n.id);
  std::visit(
      [&](const auto& kind) {
        using K = std::decay_t<decltype(kind)>;
        if constexpr (std::is_same_v<K, NodeKind::Group>) {
          out["kind"] = "group";
          out["layout"] = layout(kind.layout);
        } else if constexpr (std::is_same_v<K, NodeKind::Rect>) {
          out["kind"] = "rect";
          out["w"] = kind.width;
          out["h"] = kind.height;
        } else if constexpr (std::is_same_v<K, NodeKind::Ellipse>) {
          out["kind"] = "ellipse";
          out["rx"] = kind.rx;
          out["ry"] = kind.ry;
        } else if constexpr (std::is_same_v<K, NodeKind::Text>) {
          out["kind"] = "text";
          out["content"] = std::string_view(kind.content);
        } else if constexpr (std::is_same_v<K, NodeKind::Path>) {
          out["kind"] = "path";
          json::array commands;
          for (const auto& c : kind.commands) {
            commands.push_back(
                json::object{{"op", static_cast<int>(c.op)}, {"args", json::array(c.args.begin(), c.args.end())}});
          }
          out["commands"] = std::move(commands);
        } else {
          out["kind"] = "generic";
        }
      },
      n.kind.value);
  if (!n.comments.empty()) {
    json::array comments;
    for (const auto& c : n.comments) comments.push_back(json::string(c));
    out["comments"] = std::move(comments);
  }
  out["style"] = style(n.style.get());
  out["use"] = ids(n.use_styles);
  out["annotations"] = annotations(n.annotations);
  out["animations"] = animations(n.animations);
  json::array constraints;
  for (const auto& c : n.constraints) {
    std::visit(
        [&](const auto& v) {
          using C = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<C, Constraint::CenterIn>) {
            constraints.push_back(json::object{{"center_in", text(v.target)}});
          } else if constexpr (std::is_same_v<C, Constraint::Offset>) {
            constraints.push_back(json::object{{"offset", text(v.from)}, {"dx", v.dx}, {"dy", v.dy}});
          } else if constexpr (std::is_same_v<C, Constraint::FillParent>) {
            constraints.push_back(json::object{{"fill_parent", v.pad}});
          } else {
            constraints.push_back(json::object{{"x", v.x}, {"y", v.y}});
          }
        },
        c.value);
  }
  out["constraints"] = std::move(constraints);
  json::array children;
  for (const NodeIndex child : g.children(index)) children.push_back(node(g, child));
  out["children"] = std::move(children);
  return out;
}

}  // namespace

int main() {
  std::ios::sync_with_stdio(false);
  const std::string input{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
  auto parsed = vesk_core::parser::parse_document(input);
  if (!parsed.ok()) {
    std::fprintf(stderr, "scene_to_json: %s\n", parsed.error().c_str());
    return 1;
  }
  const SceneGraph& g = parsed.value();
  json::object doc;
  json::array imports;
  for (const auto& i : g.imports) imports.push_back(json::object{{"path", i.path}, {"alias", i.alias}});
  doc["imports"] = std::move(imports);
  json::object styles;
  for (const auto& [name, s] : g.styles) styles[name.resolve()] = style(s);
  doc["styles"] = std::move(styles);
  json::array nodes;
  for (const NodeIndex child : g.children(g.root)) nodes.push_back(node(g, child));
  doc["nodes"] = std::move(nodes);
  json::array edges;
  for (const auto& e : g.edges) {
    json::object out{{"id", text(e.id)}, {"from", text(e.from)}, {"to", text(e.to)}};
    if (e.label) out["label"] = *e.label;
    out["style"] = style(e.style);
    out["use"] = ids(e.use_styles);
    out["arrow"] = static_cast<int>(e.arrow);
    out["curve"] = static_cast<int>(e.curve);
    if (e.flow) out["flow"] = json::object{{"kind", static_cast<int>(e.flow->kind)}, {"ms", e.flow->duration_ms}};
    out["annotations"] = annotations(e.annotations);
    out["animations"] = animations(e.animations);
    edges.push_back(std::move(out));
  }
  doc["edges"] = std::move(edges);
  const std::string out = json::serialize(doc);
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}
