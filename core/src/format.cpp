#include "vesk/core/format.hpp"

#include "vesk/core/emitter.hpp"
#include "vesk/core/parser.hpp"
#include "vesk/core/transform.hpp"

namespace vesk_core::format {

namespace {

// Writes into `out`, whose memory is reused.
Result<std::string> rewrite_and_emit(Result<model::SceneGraph> parsed, const FormatConfig& config, std::string out) {
  if (!parsed.ok()) return Result<std::string>::failure(std::move(parsed).error());
  model::SceneGraph graph = std::move(parsed).value();
  if (config.dedup) transform::dedup_use_styles(graph);
  if (config.hoist) transform::hoist_styles(graph);
  emitter::emit_document_into(graph, out);
  return Result<std::string>::success(std::move(out));
}

}  // namespace

Result<std::string> format_document(std::string_view text, const FormatConfig& config) {
  // The canonical text is about as long as the input.
  std::string out;
  out.reserve(text.size());
  return rewrite_and_emit(parser::parse_document(text), config, std::move(out));
}

Result<std::string> format_document_owned(std::string text, const FormatConfig& config) {
  auto parsed = parser::parse_document(text);
  // The graph owns copies of everything it keeps: the input's memory, already
  // in use by the process, takes the canonical text.
  return rewrite_and_emit(std::move(parsed), config, std::move(text));
}

}  // namespace vesk_core::format
