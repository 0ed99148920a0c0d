#pragma once
// Reading Vesk text into a SceneGraph.

#include "vesk/core/model.hpp"
#include "vesk/core/result.hpp"

#include <string_view>

namespace vesk_core::parser {

// The whole document to a graph, or the message of its first error.
Result<model::SceneGraph> parse_document(std::string_view text);

}  // namespace vesk_core::parser
