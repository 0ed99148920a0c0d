#include "vesk/core/format.hpp"

#include "vesk/core/emitter.hpp"
#include "vesk/core/parser.hpp"
#include "vesk/core/transform.hpp"

namespace vesk_core::format {

Result<std::string> format_document(std::string_view text, const FormatConfig& config) {
  auto parsed = parser::parse_document(text);
  if (!parsed.ok()) return Result<std::string>::failure(std::move(parsed).error());
  model::SceneGraph graph = std::move(parsed).value();
  if (config.dedup) transform::dedup_use_styles(graph);
  if (config.hoist) transform::hoist_styles(graph);
  return Result<std::string>::success(emitter::emit_document(graph));
}

}  // namespace vesk_core::format
