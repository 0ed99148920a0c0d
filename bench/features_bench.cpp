// The LSP feature functions on a 1 MB document, cursor at the end of the text
// (the worst case for completion's brace scan and for finding the cursor line).

#include "completion.hpp"
#include "hover.hpp"
#include "position.hpp"
#include "symbols.hpp"

#include "vesk/core/model.hpp"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

namespace {

using namespace vesk_core::model;

constexpr std::size_t kDocumentBytes = 1 << 20;

struct Document {
  std::string text;
  SceneGraph graph;
  std::uint32_t last_line = 0;
};

void add(SceneGraph& graph, NodeIndex parent, std::string_view id, NodeKind kind, NodeIndex* index = nullptr) {
  const NodeIndex at = graph.add_node(parent, SceneNode(NodeId::intern(id), std::move(kind)));
  if (index != nullptr) *index = at;
}

// Style blocks and nested node blocks, each unit about 300 bytes, with the
// graph a parse of it gives (nodes only; symbols and hover read nothing else).
Document make_document(std::size_t bytes) {
  Document doc;
  for (std::size_t i = 0; doc.text.size() < bytes; ++i) {
    const std::string n = std::to_string(i);
    doc.text += "style s" + n + " {\n  fill: #6C5CE7\n  corner: 4\n}\n";
    doc.text += "# unit " + n + "\ngroup @g" + n + " {\n  layout: column gap=8 pad=4\n";
    doc.text += "  rect @r" + n + " {\n    w: 120 h: 40\n    fill: #FF6B6B\n    use: s" + n +
                "\n    ## status: draft\n  }\n";
    doc.text += "  text @t" + n + " \"Label " + n + "\" {\n    font: \"Inter\" 600 14\n  }\n";
    doc.text += "  ellipse @e" + n + " { w: 20 h: 20 }\n}\n";
    NodeIndex group = 0;
    add(doc.graph, SceneGraph::root, "g" + n, NodeKind{NodeKind::Group{}}, &group);
    add(doc.graph, group, "r" + n, NodeKind{NodeKind::Rect{120, 40}});
    add(doc.graph, group, "t" + n, NodeKind{NodeKind::Text{"Label " + n}});
    add(doc.graph, group, "e" + n, NodeKind{NodeKind::Ellipse{20, 20}});
  }
  doc.text += "rect @r0 {\n  fill:";
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
  const auto line = doc.last_line - 1;  // "rect @r0 {"
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
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.text.size()));
}
BENCHMARK(BM_Symbols);

}  // namespace

BENCHMARK_MAIN();
