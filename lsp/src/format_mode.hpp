#pragma once
// `vesk-lsp --format`: one document from a file descriptor to another.

#include <cstddef>
#include <optional>
#include <string_view>

namespace vesk_lsp::format_mode {

// Exit statuses of format mode.
inline constexpr int kOk = 0;
inline constexpr int kParseError = 1;
inline constexpr int kIoError = 2;  // unreadable or non-UTF-8 input, failed write

// Offset of the first byte that does not start a well-formed UTF-8 sequence
// (overlong forms, surrogates and code points above U+10FFFF are ill-formed),
// or nullopt when the whole text is well formed.
std::optional<std::size_t> first_invalid_utf8(std::string_view text);

// Reads all of `in`, formats it (dedup on, hoist off), writes the canonical
// text to `out` or one error line to `err`, and returns the exit status.
// Plain blocking I/O; a closed `out` gives kIoError (SIGPIPE must be ignored).
int run(int in, int out, int err);

}  // namespace vesk_lsp::format_mode
