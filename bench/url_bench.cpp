// URL parsing cost: the document URIs the server parses once per message, and long inputs.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "vesk/url/url.hpp"

namespace {

const std::vector<std::string> kDocumentUris = {
    "file:///home/user/projects/scenes/main.vesk",
    "file:///home/user/My%20Projects/scene%20one/intro.vesk",
    "file:///c%3A/Users/user/Documents/scenes/layout.vesk",
    "file:///C:/Users/user/Documents/scenes/layout.vesk",
    "file:///home/user/projects/a/./b/../scenes/%C3%A9t%C3%A9.vesk",
    "untitled:Untitled-1",
};

// One parse per iteration, cycling through typical URIs: the time is ns per URI.
void BM_ParseDocumentUri(benchmark::State& state) {
  std::size_t i = 0;
  for (auto _ : state) {
    std::optional<vesk_url::Url> url = vesk_url::parse(kDocumentUris[i]);
    benchmark::DoNotOptimize(url);
    i = (i + 1 == kDocumentUris.size()) ? 0 : i + 1;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_ParseDocumentUri);

void BM_ParseOne(benchmark::State& state, const char* uri) {
  for (auto _ : state) {
    std::optional<vesk_url::Url> url = vesk_url::parse(uri);
    benchmark::DoNotOptimize(url);
  }
}
BENCHMARK_CAPTURE(BM_ParseOne, plain_file, "file:///home/user/projects/scenes/main.vesk");
BENCHMARK_CAPTURE(BM_ParseOne, encoded_drive, "file:///c%3A/Users/user/Documents/scenes/layout.vesk");
BENCHMARK_CAPTURE(BM_ParseOne, untitled, "untitled:Untitled-1");
BENCHMARK_CAPTURE(BM_ParseOne, https_unicode_host,
                  "https://b\xC3\xBC"
                  "cher.example/a?b#c");

// Linear growth with the number of dot segments.
void BM_DotSegments(benchmark::State& state) {
  std::string uri = "file:///a";
  for (std::int64_t i = 0; i < state.range(0); ++i) uri += "/../b/./c";
  for (auto _ : state) {
    std::optional<vesk_url::Url> url = vesk_url::parse(uri);
    benchmark::DoNotOptimize(url);
  }
  state.SetComplexityN(state.range(0));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * uri.size()));
}
BENCHMARK(BM_DotSegments)->RangeMultiplier(8)->Range(8, 1 << 15)->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
