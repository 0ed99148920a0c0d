#pragma once
// The writer's per-block and per-line steps, for tests.

#include "vesk/core/emitter.hpp"
#include "vesk/core/model.hpp"

#include <cstddef>
#include <span>
#include <string>

namespace vesk_core::emitter::detail {

// Appends the block of node `index` and, inside it, its whole subtree.
// Deep trees are walked with an explicit stack, not by recursion.
void emit_node(std::string& out, const model::SceneGraph& graph, model::NodeIndex index, std::size_t depth);

// One "fill: ..." line (solid, linear or radial).
void emit_paint_prop(std::string& out, const model::Paint& paint, std::size_t depth);
// One "font: \"family\" weight size" line.
void emit_font_prop(std::string& out, const model::FontSpec& font, std::size_t depth);
// One "## ..." line per annotation, in list order.
void emit_annotations(std::string& out, std::span<const model::Annotation> annotations, std::size_t depth);
// One "anim :trigger { ... }" block.
void emit_anim(std::string& out, const model::AnimKeyframe& anim, std::size_t depth);

}  // namespace vesk_core::emitter::detail
