// Canonical text of valid UTF-8 input always reads back, and a second pass
// reaches a fixed point.

#include "format_mode.hpp"

#include "vesk/core/format.hpp"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  // Format mode refuses anything else before parsing.
  if (vesk_lsp::format_mode::first_invalid_utf8(text)) return 0;
  const vesk_core::format::FormatConfig config{true, false};
  auto once = vesk_core::format::format_document(text, config);
  if (!once.ok()) return 0;
  auto twice = vesk_core::format::format_document(once.value(), config);
  if (!twice.ok()) std::abort();  // the writer produced text the parser rejects
  // Numbers such as -0.001 settle in two steps ("-0", then "0").
  auto thrice = vesk_core::format::format_document(twice.value(), config);
  if (!thrice.ok() || thrice.value() != twice.value()) std::abort();
  return 0;
}
