// Throughput of emit_document on a graph built through the model.

#include "vesk/core/emitter.hpp"

#include <benchmark/benchmark.h>

#include <string>

using namespace vesk_core::model;

namespace {

std::string numbered(const char* prefix, int n) {
  std::string out(prefix);
  out += std::to_string(n);
  return out;
}

SceneGraph build(int groups) {
  SceneGraph g;
  for (int i = 0; i < groups; ++i) {
    SceneNode group(NodeId::intern(numbered("card", i)),
                    NodeKind{NodeKind::Group{LayoutMode{LayoutMode::Column{8, 16}}}});
    group.comments = {"a card"};
    group.annotations = {Annotation{Annotation::Kind::Description, "Card"},
                         Annotation{Annotation::Kind::Status, "done"}};
    group.use_styles.push_back(NodeId::intern("surface"));
    group.style->fill = Paint::solid(Color{1, 1, 1, 1});
    AnimKeyframe hover;
    hover.scale = 1.05f;
    group.animations.push_back(hover);
    const NodeIndex at = g.add_node(g.root, std::move(group));
    SceneNode photo(NodeId::intern(numbered("photo", i)), NodeKind{NodeKind::Rect{320, 180.5f}});
    photo.style->corner_radius = 8;
    photo.style->stroke = Stroke{Paint::solid(Color{0.2f, 0.2f, 0.2f, 1}), 1};
    g.add_node(at, std::move(photo));
    SceneNode title(NodeId::intern(numbered("title", i)), NodeKind{NodeKind::Text{"Trail shoes"}});
    title.style->font = FontSpec{"Inter", 600, 18};
    title.constraints.push_back(Constraint{Constraint::Offset{NodeId::intern("photo"), 0, 12.25f}});
    g.add_node(at, std::move(title));
    Edge edge{NodeId::intern(numbered("e", i)),
              NodeId::intern(numbered("card", i)),
              NodeId::intern("cart"),
              "open",
              Style{},
              {},
              ArrowKind::End,
              CurveKind::Smooth,
              FlowAnim{},
              {},
              {}};
    edge.style.stroke = Stroke{Paint::solid(Color{0.42f, 0.44f, 0.5f, 1}), 1.5f};
    g.edges.push_back(std::move(edge));
  }
  return g;
}

void BM_EmitDocument(benchmark::State& state) {
  const SceneGraph graph = build(static_cast<int>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string text = vesk_core::emitter::emit_document(graph);
    bytes = text.size();
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
  state.counters["output_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_EmitDocument)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_FormatNum(benchmark::State& state) {
  float x = 0.0f;
  for (auto _ : state) {
    benchmark::DoNotOptimize(vesk_core::emitter::format_num(x));
    x += 0.37f;
    if (x > 1000.0f) x = 0.0f;
  }
}
BENCHMARK(BM_FormatNum);

}  // namespace

BENCHMARK_MAIN();
