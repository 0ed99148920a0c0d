// Style-reference rewrites on large graphs.
#include "vesk/core/model.hpp"
#include "vesk/core/transform.hpp"

#include <benchmark/benchmark.h>

#include <charconv>
#include <string_view>

namespace {

using namespace vesk_core::model;

// One node with n distinct used styles, then n nodes that use two each. A
// seen-set shared by every list and cleared per list costs the capacity the
// first list gave it on each of the n others: quadratic.
SceneGraph use_graph(std::size_t n) {
  SceneGraph graph;
  SceneNode wide(NodeId::intern("h"), NodeKind{NodeKind::Generic{}});
  char name[24] = {'u'};
  for (std::size_t i = 0; i < n; ++i) {
    const auto end = std::to_chars(name + 1, name + sizeof name, i).ptr;
    wide.use_styles.push_back(NodeId::intern(std::string_view(name, static_cast<std::size_t>(end - name))));
  }
  graph.add_node(SceneGraph::root, std::move(wide));
  const NodeId x = NodeId::intern("x"), y = NodeId::intern("y");
  for (std::size_t i = 0; i < n; ++i) {
    SceneNode node(NodeId::intern("n"), NodeKind{NodeKind::Generic{}});
    node.use_styles = {x, y};
    graph.add_node(SceneGraph::root, std::move(node));
  }
  return graph;
}

// Repeated runs do the same work: the lists hold no repeats after the first.
// The fitted complexity (the `_BigO` line) must stay N.
void BM_DedupUseStyles(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  SceneGraph graph = use_graph(n);
  for (auto _ : state) {
    vesk_core::transform::dedup_use_styles(graph);
    benchmark::ClobberMemory();
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DedupUseStyles)
    ->Arg(100000)
    ->Arg(200000)
    ->Arg(400000)
    ->Arg(800000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

}  // namespace

BENCHMARK_MAIN();
