// Peer for the format comparison: a general JSON round trip of a document
// (parse stdin with Boost.JSON, serialise it to stdout). Input is read and
// output written with the same plain read/write loops as `vesk-lsp --format`;
// the parsed value lives in one monotonic resource, Boost.JSON's fastest set-up
// for a parse that is dropped whole.
#include <boost/json.hpp>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace {

bool read_all(int fd, std::string& text) {
  std::size_t size = 0;
  text.resize(1 << 20);
  for (;;) {
    if (size == text.size()) text.resize(text.size() * 2);
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

}  // namespace

int main() {
  std::string text;
  if (!read_all(0, text)) {
    std::perror("json_peer: read");
    return 1;
  }
  boost::json::monotonic_resource memory;
  boost::json::parse_options options;
  options.max_depth = 100000;
  boost::json::error_code ec;
  const boost::json::value doc = boost::json::parse(text, ec, &memory, options);
  if (ec) {
    std::fprintf(stderr, "json_peer: %s\n", ec.message().c_str());
    return 1;
  }
  const std::string out = boost::json::serialize(doc);
  if (!write_all(1, out)) {
    std::perror("json_peer: write");
    return 1;
  }
  return 0;
}
