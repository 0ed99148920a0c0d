#pragma once
// Rewrites of named-style references, and the plain number form they key on.

#include "vesk/core/model.hpp"

#include <string>

namespace vesk_core::transform {

// Shortest decimal that reads back as the same float, never with an exponent:
// 1e20f -> "100000000000000000000", -0.0f -> "-0", "inf", "-inf", "NaN".
std::string format_plain_float(float value);
// Appends the same text to `out`.
void append_plain_float(std::string& out, float value);

// Key text of a paint: the hex colour, "linear({angle}deg,{stops})" or
// "radial({stops})", stops as "{hex}/{offset}" joined with ",".
std::string paint_key(const model::Paint& paint);
// The grouping key of an inline style: one part per property it sets, joined
// with "|"; empty for the empty style.
std::string style_signature(const model::Style& style);

// Removes repeated names from every node's and edge's use_styles, keeping the
// first of each in its place.
void dedup_use_styles(model::SceneGraph& graph);
// Moves every inline style shared by two or more nodes into a named style
// "_auto_{n}" (numbered from 1 by the lowest node index of each group) and
// makes those nodes use it instead. Strokes and shadows, which named styles
// cannot carry in the text, stay on the nodes; a shared style of nothing else
// is not hoisted. Edges are left alone.
void hoist_styles(model::SceneGraph& graph);

}  // namespace vesk_core::transform
