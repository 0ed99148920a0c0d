#pragma once
// Completion items from the text before the cursor.

#include <boost/json/array.hpp>

#include <cstdint>
#include <string_view>

namespace vesk_lsp::completion {

boost::json::array compute_completions(std::string_view text, std::uint32_t line, std::uint32_t character);

}  // namespace vesk_lsp::completion
