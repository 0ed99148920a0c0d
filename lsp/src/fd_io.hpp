#pragma once
// Whole reads and writes of a file descriptor, plain blocking I/O.

#include <cstddef>
#include <string>
#include <string_view>

namespace vesk_lsp::fd_io {

// Grows a read buffer to the given size.
using Grow = void (*)(std::string& buffer, std::size_t size);

// Reads `fd` to its end into `text`: the buffer starts at the size `text` has
// (its bytes are overwritten) and doubles through `grow` (a plain resize when
// null) whenever it is full; at the end `text` holds exactly the bytes read.
// False with errno set on a read error.
bool read_all(int fd, std::string& text, Grow grow = nullptr);

// Writes everything, retrying short writes and interrupts; false with errno set.
bool write_all(int fd, std::string_view data);

}  // namespace vesk_lsp::fd_io
