#pragma once
// Flat document symbols: style lines, then node heads that name graph nodes.

#include "vesk/core/model.hpp"

#include <boost/json/array.hpp>

#include <string_view>

namespace vesk_lsp::symbols {

// `graph` may be null; `uri` is written into every location as given.
boost::json::array compute_symbols(std::string_view text, const vesk_core::model::SceneGraph* graph,
                                   std::string_view uri);

}  // namespace vesk_lsp::symbols
