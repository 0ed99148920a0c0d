// Every LSP feature on arbitrary bytes at an arbitrary position: no crash, and
// the answers keep their shape.

#include "completion.hpp"
#include "diagnostics.hpp"
#include "hover.hpp"
#include "symbols.hpp"

#include "vesk/core/parser.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint32_t line = 0;
  std::uint32_t character = 0;
  if (size >= 2) {
    // Low bits: a small position; bits 7 and 6 mirror line and character to
    // the top of their range, past any end of line or text.
    line = data[0] % 16;
    character = data[1];
    if (data[0] & 0x80) line = UINT32_MAX - line;
    if (data[0] & 0x40) character = UINT32_MAX - character;
    data += 2;
    size -= 2;
  }
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const auto diagnostics = vesk_lsp::diagnostics::compute_diagnostics(text);
  if (diagnostics.size() > 1) std::abort();

  const auto completions = vesk_lsp::completion::compute_completions(text, line, character);
  if (completions.size() > 17) std::abort();

  auto parsed = vesk_core::parser::parse_document(text);
  const vesk_core::model::SceneGraph* graph = parsed.ok() ? &parsed.value() : nullptr;
  if ((graph == nullptr) != (diagnostics.size() == 1)) std::abort();

  const auto hover = vesk_lsp::hover::compute_hover(text, line, character, graph);
  if (!hover.is_null() && !hover.is_object()) std::abort();

  (void)vesk_lsp::symbols::compute_symbols(text, graph, "file:///fuzz.vesk");
  return 0;
}
