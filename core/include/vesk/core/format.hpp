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

}  // namespace vesk_core::format
