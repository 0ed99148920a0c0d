// Peer for the format comparison: a general JSON round trip of a document
// (parse stdin with Boost.JSON, serialise it to stdout). Input is read and
// output written by the same loops as `vesk-lsp --format` (fd_io), the input
// buffer starting at 1 MiB and doubling, without format mode's size hint and
// huge-page advice; the parsed value lives in one monotonic resource,
// Boost.JSON's fastest set-up for a parse that is dropped whole.
#include "fd_io.hpp"

#include <boost/json.hpp>

#include <cstdio>
#include <string>

using vesk_lsp::fd_io::read_all;
using vesk_lsp::fd_io::write_all;

int main() {
  std::string text(1 << 20, '\0');
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
