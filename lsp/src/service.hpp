#pragma once
// The run loop: a reader thread decodes messages into a bounded queue; this
// thread hands them to the Service in batches of those already waiting.

#include "dispatch.hpp"
#include "protocol.hpp"
#include "transport.hpp"

#include <cstddef>

namespace vesk_lsp::service {

// Most messages handled at once, and most decoded messages waiting.
constexpr std::size_t kMaxInProgress = 4;
constexpr std::size_t kQueueCapacity = 100;

// Reads, decodes and dispatches until the input ends, a message cannot be
// decoded, or `exit` arrives; returns the exit status. A reader thread fills a
// bounded queue; this thread dispatches. Throws std::system_error when the
// reader thread cannot be started.
int serve(transport::ByteSource& source, transport::Sink& sink, const ServerFactory& factory,
          protocol::UriParser uri_parser);

}  // namespace vesk_lsp::service
