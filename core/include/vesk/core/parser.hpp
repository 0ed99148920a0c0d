#pragma once
// Reading Vesk text into a SceneGraph.

#include "vesk/core/model.hpp"
#include "vesk/core/result.hpp"

#include <string_view>

namespace vesk_core::parser {

// Node blocks nest at most this deep (top-level blocks are at depth 1); a
// deeper block fails with the node message, so parsed graphs never exceed it.
inline constexpr std::size_t kMaxNestingDepth = 1000;

// The whole document to a graph, or the message of its first error.
Result<model::SceneGraph> parse_document(std::string_view text);

}  // namespace vesk_core::parser
