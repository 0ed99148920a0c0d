#pragma once
// Keyword help and node summaries under the cursor.

#include "vesk/core/model.hpp"

#include <boost/json/value.hpp>

#include <cstdint>
#include <string_view>

namespace vesk_lsp::hover {

// A Hover object, or null when there is nothing to show. `graph` may be null.
boost::json::value compute_hover(std::string_view text, std::uint32_t line, std::uint32_t character,
                                 const vesk_core::model::SceneGraph* graph);

}  // namespace vesk_lsp::hover
