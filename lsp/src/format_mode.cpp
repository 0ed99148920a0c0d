#include "format_mode.hpp"

#include "fd_io.hpp"
#include "vesk/core/format.hpp"

#include <malloc.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

namespace vesk_lsp::format_mode {

namespace {

bool continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

using fd_io::write_all;

void report(int err, std::string_view prefix, std::string_view reason) {
  std::string line(prefix);
  line += reason;
  line.push_back('\n');
  (void)write_all(err, line);  // nothing is left to tell if stderr is gone too
}

// Grows `text` to `size` bytes, asking for huge pages on a large new block
// first: the buffer is touched whole, and later holds the canonical text too.
void grow(std::string& text, std::size_t size) {
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  if (size > text.capacity() && size >= 2 * kHuge) {
    text.reserve(size);
#if defined(MADV_HUGEPAGE)
    const auto data = reinterpret_cast<std::uintptr_t>(text.data());
    const auto begin = (data + kHuge - 1) & ~(kHuge - 1);
    const auto end = (data + text.capacity()) & ~(kHuge - 1);
    if (end > begin) (void)::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
  }
  text.resize(size);
}

// All of `fd`; false with errno set on a read error.
bool read_all(int fd, std::string& text) {
  struct stat info {};
  std::size_t capacity = 64 * 1024;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    capacity = static_cast<std::size_t>(info.st_size) + 1;  // +1 sees the end in one read
  }
  grow(text, capacity);
  return fd_io::read_all(fd, text, grow);
}

}  // namespace

std::optional<std::size_t> first_invalid_utf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::size_t i = 0;
  while (i < size) {
    // Runs of ASCII eight bytes at a time.
    while (i + 8 <= size) {
      std::uint64_t word;
      std::memcpy(&word, bytes + i, 8);
      if (word & 0x8080808080808080ull) break;
      i += 8;
    }
    if (i >= size) break;
    const unsigned char b0 = bytes[i];
    if (b0 < 0x80) {
      ++i;
      continue;
    }
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      length = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      length = 3;
      if (b0 == 0xE0) low = 0xA0;   // overlong
      if (b0 == 0xED) high = 0x9F;  // surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      length = 4;
      if (b0 == 0xF0) low = 0x90;   // overlong
      if (b0 == 0xF4) high = 0x8F;  // above U+10FFFF
    } else {
      return i;  // continuation byte, overlong C0/C1, or F5..FF
    }
    if (i + length > size) return i;
    if (bytes[i + 1] < low || bytes[i + 1] > high) return i;
    for (std::size_t k = 2; k < length; ++k) {
      if (!continuation(bytes[i + k])) return i;
    }
    i += length;
  }
  return std::nullopt;
}

int run(int in, int out, int err) {
  // Keep large blocks in their own mappings, returned on release: a freed
  // input buffer would otherwise raise glibc's threshold and the graph and the
  // output would then grow on the heap, which is not given back.
  ::mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
  std::string input;
  if (!read_all(in, input)) {
    report(err, "failed to read stdin: ", std::strerror(errno));
    return kIoError;
  }
  if (const auto bad = first_invalid_utf8(input)) {
    report(err, "failed to read stdin: stream is not valid UTF-8 at byte ", std::to_string(*bad));
    return kIoError;
  }
  auto result =
      vesk_core::format::format_document_owned(std::move(input), vesk_core::format::FormatConfig{true, false});
  if (!result.ok()) {
    report(err, "vesk-lsp --format error: ", result.error());
    return kParseError;
  }
  if (!write_all(out, result.value())) {
    report(err, "failed to write stdout: ", std::strerror(errno));
    return kIoError;
  }
  return kOk;
}

}  // namespace vesk_lsp::format_mode
