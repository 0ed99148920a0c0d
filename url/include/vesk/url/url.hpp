#pragma once
// WHATWG URL parsing and serialisation.

#include <optional>
#include <string>
#include <string_view>

namespace vesk_url {

class Url {
 public:
  // The serialisation (the normalised form).
  const std::string& href() const { return href_; }

 private:
  std::string href_;
};

// The basic URL parser; nullopt on failure.
std::optional<Url> parse(std::string_view input, const Url* base = nullptr);

}  // namespace vesk_url
