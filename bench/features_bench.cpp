// The LSP feature functions on a 1 MB document, cursor at the end of the text
// (the worst case for completion's brace scan and for finding the cursor line).

#include "completion.hpp"
#include "diagnostics.hpp"
#include "hover.hpp"
#include "position.hpp"
#include "symbols.hpp"

#include "vesk/core/model.hpp"
#include "vesk/core/parser.hpp"

#include "vesk/testing/scene_gen.hpp"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>

namespace {

using namespace vesk_core::model;

constexpr std::size_t kDocumentBytes = 1 << 20;

struct Document {
  std::string text;
  SceneGraph graph;
  std::uint32_t last_line = 0;
};

std::string make_text(std::size_t bytes) { return vesk_testing::generate_scene(bytes, 1); }

Document make_document(std::size_t bytes) {
  Document doc;
  doc.text = make_text(bytes);
  auto parsed = vesk_core::parser::parse_document(doc.text);
  if (!parsed.ok()) {
    std::cerr << "benchmark document does not parse: " << parsed.error() << "\n";
    std::exit(1);
  }
  doc.graph = std::move(parsed).value();
  // The graph is that of the text before these two lines.
  const auto& last = doc.graph.node(static_cast<NodeIndex>(doc.graph.node_count() - 1));
  doc.text += "rect @" + std::string(last.id.resolve()) + " {\n  fill:";
  vesk_lsp::position::LineCursor lines(doc.text);
  std::uint32_t count = 0;
  while (lines.next()) ++count;
  doc.last_line = count - 1;
  return doc;
}

const Document& document() {
  static const Document doc = make_document(kDocumentBytes);
  return doc;
}

void BM_CompletionBraceScan(benchmark::State& state) {
  const auto& doc = document();
  // Column 6 of "  fill:" stops before the colon: the whole text is brace-scanned.
  for (auto _ : state) {
    benchmark::DoNotOptimize(vesk_lsp::completion::compute_completions(doc.text, doc.last_line, 6));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.text.size()));
}
BENCHMARK(BM_CompletionBraceScan);

void BM_CompletionValueContext(benchmark::State& state) {
  const auto& doc = document();
  // After "fill:": a key colon, so no brace scan; only the line search.
  for (auto _ : state) {
    benchmark::DoNotOptimize(vesk_lsp::completion::compute_completions(doc.text, doc.last_line, 100));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.text.size()));
}
BENCHMARK(BM_CompletionValueContext);

void BM_HoverKeywordLastLine(benchmark::State& state) {
  const auto& doc = document();
  for (auto _ : state) {
    benchmark::DoNotOptimize(vesk_lsp::hover::compute_hover(doc.text, doc.last_line, 3, &doc.graph));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.text.size()));
}
BENCHMARK(BM_HoverKeywordLastLine);

void BM_HoverNodeLastLine(benchmark::State& state) {
  const auto& doc = document();
  const auto line = doc.last_line - 1;  // "rect @<last node> {"
  if (vesk_lsp::hover::compute_hover(doc.text, line, 7, &doc.graph).is_null()) {
    state.SkipWithError("no node under the cursor");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(vesk_lsp::hover::compute_hover(doc.text, line, 7, &doc.graph));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.text.size()));
}
BENCHMARK(BM_HoverNodeLastLine);

void BM_Symbols(benchmark::State& state) {
  const auto& doc = document();
  for (auto _ : state) {
    benchmark::DoNotOptimize(vesk_lsp::symbols::compute_symbols(doc.text, &doc.graph, "file:///bench.vesk"));
  }
  state.counters["symbols"] =
      static_cast<double>(vesk_lsp::symbols::compute_symbols(doc.text, &doc.graph, "file:///bench.vesk").size());
  state.counters["lines"] = doc.last_line + 1;
  state.counters["bytes"] = static_cast<double>(doc.text.size());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.text.size()));
}
BENCHMARK(BM_Symbols);

// A text that parses: the whole parse, then no diagnostic.
void BM_DiagnosticsClean(benchmark::State& state) {
  static const std::string text = make_text(kDocumentBytes);
  for (auto _ : state) {
    benchmark::DoNotOptimize(vesk_lsp::diagnostics::compute_diagnostics(text));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_DiagnosticsClean);

// The error in the last line: the whole parse, then the end-of-text placement.
void BM_DiagnosticsErrorAtEnd(benchmark::State& state) {
  const auto& doc = document();
  for (auto _ : state) {
    benchmark::DoNotOptimize(vesk_lsp::diagnostics::compute_diagnostics(doc.text));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.text.size()));
}
BENCHMARK(BM_DiagnosticsErrorAtEnd);

}  // namespace

BENCHMARK_MAIN();
