#include "vesk/core/format.hpp"

#include "vesk/core/emitter.hpp"
#include "vesk/core/parser.hpp"
#include "vesk/core/transform.hpp"

namespace vesk_core::format {

namespace {

Result<std::string> rewrite_and_emit(Result<model::SceneGraph> parsed, const FormatConfig& config) {
  if (!parsed.ok()) return Result<std::string>::failure(std::move(parsed).error());
  model::SceneGraph graph = std::move(parsed).value();
  if (config.dedup) transform::dedup_use_styles(graph);
  if (config.hoist) transform::hoist_styles(graph);
  return Result<std::string>::success(emitter::emit_document(graph));
}

}  // namespace

Result<std::string> format_document(std::string_view text, const FormatConfig& config) {
  return rewrite_and_emit(parser::parse_document(text), config);
}

Result<std::string> format_document_owned(std::string text, const FormatConfig& config) {
  auto parsed = parser::parse_document(text);
  std::string().swap(text);  // the graph owns copies of everything it keeps
  return rewrite_and_emit(std::move(parsed), config);
}

}  // namespace vesk_core::format
