#pragma once
// Host parsing and serialisation, shared by the URL parser.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "vesk/url/url.hpp"

namespace vesk_url::detail {

struct Host {
  HostKind kind = HostKind::none;
  std::string text;  // serialised
};

// The host parser over a UTF-8 host string; `opaque` for URLs that are not special.
std::optional<Host> parse_host(std::string_view input, bool opaque);

// Pieces of the IPv4 and IPv6 parsers, exposed for unit tests.
std::optional<std::uint32_t> parse_ipv4(std::string_view input);
bool ends_in_a_number(std::string_view input);
std::optional<std::string> parse_ipv6(std::string_view input);  // serialised, without brackets

std::string serialize_ipv4(std::uint32_t address);

}  // namespace vesk_url::detail
