// parse_document on arbitrary valid UTF-8: a graph or one of the five messages.
#include "vesk/core/parser.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// Well-formed UTF-8 only: no overlongs, no surrogates, nothing above U+10FFFF.
bool valid_utf8(const unsigned char* p, std::size_t n) {
  std::size_t i = 0;
  while (i < n) {
    const unsigned char b = p[i];
    std::size_t len;
    std::uint32_t cp;
    if (b < 0x80) {
      ++i;
      continue;
    } else if (b >= 0xC2 && b <= 0xDF) {
      len = 2;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3;
      cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4;
      cp = b & 0x07;
    } else {
      return false;
    }
    if (n - i < len) return false;
    for (std::size_t k = 1; k < len; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
    i += len;
  }
  return true;
}

bool known_message(const std::string& message) {
  static const std::string tail = "Parsing Error: ContextError { context: [], cause: None }";
  for (const char* head : {"Node", "Style", "Edge", "Import", "Constraint"}) {
    if (message == std::string(head) + " parse error: " + tail) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!valid_utf8(data, size)) return -1;  // keeps such inputs out of the corpus
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto result = vesk_core::parser::parse_document(text);
  if (result.ok()) {
    if (result.value().node_count() == 0) std::abort();
  } else if (!known_message(result.error())) {
    std::fprintf(stderr, "unexpected message: %s\n", result.error().c_str());
    std::abort();
  }
  return 0;
}
