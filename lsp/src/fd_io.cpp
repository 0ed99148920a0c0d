#include "fd_io.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace vesk_lsp::fd_io {

bool read_all(int fd, std::string& text, Grow grow) {
  std::size_t size = 0;
  for (;;) {
    if (size == text.size()) {
      const std::size_t next = std::max<std::size_t>(text.size() * 2, 4096);
      grow ? grow(text, next) : text.resize(next);
    }
    const ssize_t n = ::read(fd, text.data() + size, text.size() - size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) break;
    size += static_cast<std::size_t>(n);
  }
  text.resize(size);
  return true;
}

bool write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace vesk_lsp::fd_io
