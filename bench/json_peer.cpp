// Peer for the format comparison: a general JSON round trip of a document
// (parse stdin with Boost.JSON, serialise it to stdout).
#include <boost/json.hpp>

#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>

int main() {
  std::ios::sync_with_stdio(false);
  const std::string text{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
  boost::json::parse_options options;
  options.max_depth = 100000;
  boost::json::error_code ec;
  const boost::json::value doc = boost::json::parse(text, ec, {}, options);
  if (ec) {
    std::fprintf(stderr, "json_peer: %s\n", ec.message().c_str());
    return 1;
  }
  const std::string out = boost::json::serialize(doc);
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}
