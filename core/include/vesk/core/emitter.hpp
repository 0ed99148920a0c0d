#pragma once
// Writes a SceneGraph back as canonical Vesk text.

#include "vesk/core/model.hpp"

#include <string>

namespace vesk_core::emitter {

// The whole document: imports, named styles (sorted by name bytes), the
// top-level nodes, every node's constraints in index order, then the edges.
std::string emit_document(const model::SceneGraph& graph);
// The same written into `out`, replacing what it held; its memory is reused.
void emit_document_into(const model::SceneGraph& graph, std::string& out);

// Whole values as saturated 32-bit integers; others rounded to two decimals
// (ties to even) with trailing "0" and "." removed; NaN gives "NaN".
std::string format_num(float value);
void append_num(std::string& out, float value);

}  // namespace vesk_core::emitter
