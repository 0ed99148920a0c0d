// Arbitrary bytes as the input of server mode: the run ends, and everything
// written is a sequence of well-formed frames holding JSON-RPC messages.

#include "server.hpp"
#include "service.hpp"
#include "transport.hpp"

#include <boost/json/parse.hpp>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void check_frames(std::string_view out) {
  constexpr std::string_view kHead = "Content-Length: ";
  while (!out.empty()) {
    if (!out.starts_with(kHead)) std::abort();
    out.remove_prefix(kHead.size());
    std::size_t n = 0, digits = 0;
    while (digits < out.size() && out[digits] >= '0' && out[digits] <= '9') n = n * 10 + (out[digits++] - '0');
    if (digits == 0) std::abort();
    out.remove_prefix(digits);
    if (!out.starts_with("\r\n\r\n")) std::abort();
    out.remove_prefix(4);
    if (out.size() < n) std::abort();
    boost::system::error_code ec;
    const auto v = boost::json::parse(boost::json::string_view(out.data(), n), ec);
    if (ec || !v.is_object() || v.as_object().at("jsonrpc") != "2.0") std::abort();
    out.remove_prefix(n);
  }
}

std::string frame(std::string_view body) {
  return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + std::string(body);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string input;
  std::size_t chunk = 4096;
  if (size > 0) {
    // The first byte: whether to start initialized, and how the input is cut.
    if (data[0] & 1) input = frame(R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"capabilities":{}}})");
    chunk = 1 + (data[0] >> 1);
    ++data;
    --size;
  }
  input.append(reinterpret_cast<const char*>(data), size);

  vesk_lsp::transport::MemorySource source(std::move(input), chunk);
  vesk_lsp::transport::StringSink sink;
  const int status = vesk_lsp::service::serve(
      source, sink,
      [](vesk_lsp::service::Client& c) { return std::make_unique<vesk_lsp::server::VeskLanguageServer>(c); },
      vesk_lsp::server::normalise_uri);
  if (status != 0 && status != 1) std::abort();
  check_frames(sink.take());
  return 0;
}
