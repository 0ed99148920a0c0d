#pragma once
// JSON-RPC 2.0 messages: decoding of message bodies, encoding of answers.

#include <boost/json/value.hpp>

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace vesk_lsp::jsonrpc {

namespace code {
constexpr int kParseError = -32700;
constexpr int kInvalidRequest = -32600;
constexpr int kMethodNotFound = -32601;
constexpr int kInvalidParams = -32602;
constexpr int kInternalError = -32603;
constexpr int kServerNotInitialized = -32002;
constexpr int kRequestCancelled = -32800;
}  // namespace code

// The message of each error that the framework answers by itself.
struct ErrorText {
  int code;
  std::string_view message;
};
inline constexpr ErrorText kErrorTexts[] = {
    {code::kParseError, "Parse error"},          {code::kInvalidRequest, "Invalid request"},
    {code::kMethodNotFound, "Method not found"}, {code::kInvalidParams, "Invalid params"},
    {code::kInternalError, "Internal error"},    {code::kServerNotInitialized, "Server not initialized"},
    {code::kRequestCancelled, "Canceled"},
};

// The -32602 message of a request without the params its method needs.
inline constexpr std::string_view kMissingParams = "Missing params field";

// Deeper JSON than this is a parse error.
constexpr std::size_t kMaxJsonDepth = 128;

struct Message {
  enum class Kind { kRequest, kNotification, kResponse };
  Kind kind = Kind::kNotification;
  std::string method;                        // requests and notifications
  std::optional<boost::json::value> params;  // absent when the member is missing
  boost::json::value id;                     // integer or string for requests and responses
};

// The error code of a body that is not a message: kParseError or kInvalidRequest.
struct DecodeError {
  int code;
};

std::variant<Message, DecodeError> decode(std::string_view body);

// Key under which a request id is kept: 1 and "1" differ.
std::string id_key(const boost::json::value& id);

std::string encode_result(const boost::json::value& id, boost::json::value result);
std::string encode_error(const boost::json::value& id, int code, std::string_view message,
                         const boost::json::value* data = nullptr);
// An error with the message of `code` from the table above.
std::string encode_error(const boost::json::value& id, int code, const boost::json::value* data = nullptr);
std::string encode_notification(std::string_view method, boost::json::value params);

// The message of `code` in the table above; "Error" for a code not in it.
std::string_view error_message(int code);

}  // namespace vesk_lsp::jsonrpc
