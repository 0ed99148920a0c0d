// Canonical text of valid UTF-8 input always reads back and formats to itself,
// up to the one number form that settles in a second pass. Where nodes share
// an id, constraint lines written after every node block all reach the last
// of them, so such text settles only from the second pass on.

#include "format_mode.hpp"

#include "vesk/core/format.hpp"
#include "vesk/core/parser.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

bool digit(char c) { return c >= '0' && c <= '9'; }

// A value in (-0.005, 0) is written "-0", which reads back as negative zero
// and is then written "0". Rewrites every such number so the two passes
// compare equal.
std::string settle_negative_zero(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool number_start = i == 0 || !(digit(text[i - 1]) || text[i - 1] == '.');
    if (text[i] == '-' && number_start && i + 1 < text.size() && text[i + 1] == '0' &&
        (i + 2 == text.size() || !(digit(text[i + 2]) || text[i + 2] == '.'))) {
      continue;
    }
    out.push_back(text[i]);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  // Format mode refuses anything else before parsing.
  if (vesk_lsp::format_mode::first_invalid_utf8(text)) return 0;
  const vesk_core::format::FormatConfig config{true, false};
  auto once = vesk_core::format::format_document(text, config);
  if (!once.ok()) return 0;
  auto twice = vesk_core::format::format_document(once.value(), config);
  if (!twice.ok()) {
    std::fprintf(stderr, "output does not read back: %s\n", twice.error().c_str());
    std::abort();
  }
  const auto graph = vesk_core::parser::parse_document(once.value());
  if (!graph.ok()) std::abort();
  const bool shared_ids = graph.value().id_index().size() < graph.value().node_count();
  if (!shared_ids && twice.value() != once.value() &&
      settle_negative_zero(twice.value()) != settle_negative_zero(once.value())) {
    std::fprintf(stderr, "output does not format to itself\n");
    std::abort();
  }
  auto thrice = vesk_core::format::format_document(twice.value(), config);
  if (!thrice.ok() || thrice.value() != twice.value()) std::abort();
  return 0;
}
