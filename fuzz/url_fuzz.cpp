// Parses arbitrary bytes as a URL (optionally "base\0input") and checks that serialisation is
// idempotent: parsing a URL's href gives a URL with the same href.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "vesk/url/url.hpp"

namespace {

void check_idempotent(const vesk_url::Url& url) {
  std::optional<vesk_url::Url> again = vesk_url::parse(url.href());
  if (!again || again->href() != url.href()) {
    std::fprintf(stderr, "not idempotent: \"%s\" -> \"%s\"\n", url.href().c_str(),
                 again ? again->href().c_str() : "(failure)");
    std::abort();
  }
  // The getters must hold for every parsed URL.
  (void)url.host();
  (void)url.port();
  (void)url.search();
  (void)url.hash();
  (void)url.origin();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::size_t nul = text.find('\0');
  if (nul == std::string_view::npos) {
    if (std::optional<vesk_url::Url> url = vesk_url::parse(text)) check_idempotent(*url);
    return 0;
  }
  std::optional<vesk_url::Url> base = vesk_url::parse(text.substr(0, nul));
  std::optional<vesk_url::Url> url = vesk_url::parse(text.substr(nul + 1), base ? &*base : nullptr);
  if (url) check_idempotent(*url);
  return 0;
}
