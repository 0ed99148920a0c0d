#pragma once
// Every LSP method the framework knows, each bound once: the handled ones to
// their parameter decoder and operation, the rest by name alone.

#include "protocol.hpp"

#include <boost/json/value.hpp>

#include <span>
#include <string_view>

namespace vesk_lsp::service {

class LanguageServer;

enum class MethodKind { kRequest, kNotification };

// What the service itself does around a method.
enum class Step {
  kNone,
  kInitialize,  // allowed only before initialization; its success initializes
  kShutdown,    // the state becomes shut down before the operation runs
  kExit,        // ends serving
  kCancel,      // cancels a request in progress
};

// Decodes the params (nullptr when absent or null) and runs the operation:
// the answer of a request (null for a notification), or why the params did
// not decode.
using Call = protocol::Result<boost::json::value> (*)(LanguageServer& server, const boost::json::value* params,
                                                      const protocol::UriParser& uri);

struct Binding {
  std::string_view method;
  MethodKind kind;
  Call call = nullptr;  // nullptr: not implemented, or handled by the service (see `step`)
  Step step = Step::kNone;
};

// All of them.
std::span<const Binding> bindings();

// The binding of `method`; nullptr for a method the framework does not know.
const Binding* find_method(std::string_view method);

}  // namespace vesk_lsp::service
