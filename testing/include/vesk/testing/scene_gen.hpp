#pragma once
// Generator of large, valid Vesk documents for tests and benchmarks.

#include <cstddef>
#include <string>
#include <string_view>

namespace vesk_testing {

// A document of about `target_bytes` (at least one scene block), the same for
// the same arguments: imports, named styles, nested node blocks of every kind
// with every property kind, annotations, anim blocks, comments, edges and
// constraint lines.
std::string generate_scene(std::size_t target_bytes, unsigned seed);

// `depth` group blocks, each inside the one before: "group {" lines, or
// "group @id {" with an `id`, then as many "}" lines.
std::string nested_groups(std::size_t depth, std::string_view id = {});

}  // namespace vesk_testing
