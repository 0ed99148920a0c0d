// Arbitrary bytes as the input of server mode: the run ends, and everything
// written is a sequence of well-formed frames holding JSON-RPC messages.

#include "server.hpp"
#include "service.hpp"
#include "transport.hpp"

#include "vesk/testing/frames.hpp"

#include <boost/json/object.hpp>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using vesk_testing::frame;

void check_frames(std::string_view out) {
  const auto messages = vesk_testing::parse_frames(out);
  if (!messages) std::abort();
  for (const boost::json::value& v : *messages) {
    const boost::json::object* o = v.if_object();
    const boost::json::value* version = o ? o->if_contains("jsonrpc") : nullptr;
    if (!version || *version != "2.0") std::abort();
  }
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
