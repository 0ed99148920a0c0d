#pragma once
// Parse, rewrite and write a document in canonical form.

#include "vesk/core/result.hpp"

#include <string>
#include <string_view>

namespace vesk_core::format {

struct FormatConfig {
  bool dedup = false;  // run dedup_use_styles
  bool hoist = false;  // run hoist_styles
};

// The canonical text, or the parse-error message unchanged.
Result<std::string> format_document(std::string_view text, const FormatConfig& config);
// The same on a text it takes over and releases once it is parsed, so that
// the input and the canonical text are never held at the same time.
Result<std::string> format_document_owned(std::string text, const FormatConfig& config);

}  // namespace vesk_core::format
