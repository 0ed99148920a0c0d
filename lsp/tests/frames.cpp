#include "frames.hpp"

#include <boost/json/parse.hpp>

namespace vesk_lsp::testing {

std::optional<std::vector<boost::json::value>> parse_frames(std::string_view bytes, std::string* error) {
  std::vector<boost::json::value> out;
  auto bad = [&](std::string why) -> std::optional<std::vector<boost::json::value>> {
    if (error) *error = std::move(why);
    return std::nullopt;
  };
  constexpr std::string_view kHead = "Content-Length: ";
  while (!bytes.empty()) {
    if (!bytes.starts_with(kHead)) return bad("frame does not start with Content-Length");
    bytes.remove_prefix(kHead.size());
    std::size_t n = 0, digits = 0;
    while (digits < bytes.size() && bytes[digits] >= '0' && bytes[digits] <= '9') {
      n = n * 10 + static_cast<std::size_t>(bytes[digits] - '0');
      ++digits;
    }
    if (digits == 0) return bad("no length");
    bytes.remove_prefix(digits);
    if (!bytes.starts_with("\r\n\r\n")) return bad("header not ended by an empty line");
    bytes.remove_prefix(4);
    if (bytes.size() < n) return bad("body shorter than its length");
    boost::system::error_code ec;
    auto v = boost::json::parse(boost::json::string_view(bytes.data(), n), ec);
    if (ec) return bad("body is not JSON: " + std::string(bytes.substr(0, n)));
    out.push_back(std::move(v));
    bytes.remove_prefix(n);
  }
  return out;
}

std::string frame(std::string_view body) {
  return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + std::string(body);
}

}  // namespace vesk_lsp::testing
