// Parse throughput on generated documents.
#include "vesk/core/parser.hpp"
#include "vesk/testing/scene_gen.hpp"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

void BM_ParseDocument(benchmark::State& state) {
  const std::string text = vesk_testing::generate_scene(static_cast<std::size_t>(state.range(0)), 42);
  for (auto _ : state) {
    auto result = vesk_core::parser::parse_document(text);
    if (!result.ok()) {
      state.SkipWithError("generated document did not parse");
      break;
    }
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ParseDocument)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
