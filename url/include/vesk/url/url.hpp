#pragma once
// WHATWG URL parsing and serialisation (UTF-8 only).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vesk_url {

namespace detail {
class Parser;
}

// What a URL's host is; `none` is the null host (e.g. "mailto:x" or "untitled:Untitled-1").
enum class HostKind : std::uint8_t { none, domain, ipv4, ipv6, opaque, empty };

class Url {
 public:
  // The serialisation (the normalised form).
  const std::string& href() const { return href_; }

  // The scheme without its colon, lower case.
  const std::string& scheme() const { return scheme_; }
  // Everything below follows the URL API getters: "" stands for an absent part.
  std::string protocol() const { return scheme_ + ':'; }
  const std::string& username() const { return username_; }
  const std::string& password() const { return password_; }
  // Host and port ("example.com:8080"), or "".
  std::string host() const;
  // The serialised host ("[::1]", "127.0.0.1", "example.com"), or "".
  const std::string& hostname() const { return host_; }
  // The port in decimal, or "" when absent or the scheme's default.
  std::string port() const;
  const std::string& pathname() const { return path_; }
  // "?query", or "" when the query is absent or empty.
  std::string search() const;
  // "#fragment", or "" when the fragment is absent or empty.
  std::string hash() const;
  // The serialised origin: "scheme://host[:port]" for http(s), ws(s) and ftp (and blob: URLs
  // wrapping http(s)), "null" for every other URL.
  std::string origin() const;

  HostKind host_kind() const { return host_kind_; }
  std::optional<std::uint16_t> port_number() const { return port_; }
  const std::optional<std::string>& query() const { return query_; }
  const std::optional<std::string>& fragment() const { return fragment_; }
  bool has_opaque_path() const { return opaque_path_; }
  bool is_special() const;

  friend bool operator==(const Url& a, const Url& b) { return a.href_ == b.href_; }

 private:
  friend class detail::Parser;

  std::string scheme_;
  std::string username_;
  std::string password_;
  std::string host_;  // serialised; empty for none and empty hosts
  HostKind host_kind_ = HostKind::none;
  std::optional<std::uint16_t> port_;
  // The serialised path: an opaque path as is, or "/seg1/seg2..." (empty for an empty list).
  std::string path_;
  bool opaque_path_ = false;
  std::optional<std::string> query_;
  std::optional<std::string> fragment_;
  std::string href_;
};

// The basic URL parser; nullopt on failure. Invalid UTF-8 in `input` reads as U+FFFD.
std::optional<Url> parse(std::string_view input, const Url* base = nullptr);

}  // namespace vesk_url
