#pragma once
// Writes a SceneGraph back as canonical Vesk text.

#include "vesk/core/model.hpp"

#include <cstddef>
#include <span>
#include <string>

namespace vesk_core::emitter {

// The whole document: imports, named styles (sorted by name bytes), the
// top-level nodes, every node's constraints in index order, then the edges.
std::string emit_document(const model::SceneGraph& graph);
// The same written into `out`, replacing what it held; its memory is reused.
void emit_document_into(const model::SceneGraph& graph, std::string& out);

// Appends the block of node `index` and, inside it, its whole subtree.
// Deep trees are walked with an explicit stack, not by recursion.
void emit_node(std::string& out, const model::SceneGraph& graph, model::NodeIndex index,
               std::size_t depth);

// One "fill: ..." line (solid, linear or radial).
void emit_paint_prop(std::string& out, const model::Paint& paint, std::size_t depth);
// One "font: \"family\" weight size" line.
void emit_font_prop(std::string& out, const model::FontSpec& font, std::size_t depth);
// One "## ..." line per annotation, in list order.
void emit_annotations(std::string& out, std::span<const model::Annotation> annotations,
                      std::size_t depth);
// One "anim :trigger { ... }" block.
void emit_anim(std::string& out, const model::AnimKeyframe& anim, std::size_t depth);

// Whole values as saturated 32-bit integers; others rounded to two decimals
// (ties to even) with trailing "0" and "." removed; NaN gives "NaN".
std::string format_num(float value);
void append_num(std::string& out, float value);

}  // namespace vesk_core::emitter
