#pragma once
// Splitting server output into frames, checking each is well formed.

#include <boost/json/value.hpp>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk_lsp::testing {

// The JSON bodies of `bytes`, which must be a sequence of exactly
// "Content-Length: N\r\n\r\n" + N bytes of JSON; nullopt (with `error` set) otherwise.
std::optional<std::vector<boost::json::value>> parse_frames(std::string_view bytes, std::string* error = nullptr);

// One frame around `body`.
std::string frame(std::string_view body);

}  // namespace vesk_lsp::testing
