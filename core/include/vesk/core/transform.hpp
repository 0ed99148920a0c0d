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

}  // namespace vesk_core::transform
