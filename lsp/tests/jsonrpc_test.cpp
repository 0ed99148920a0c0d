#include "jsonrpc.hpp"

#include <gtest/gtest.h>
#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>

#include <string>

namespace vesk_lsp::jsonrpc {
namespace {

namespace json = boost::json;

std::string nested(std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

// Expected: "request", "notification", "response" or an error code.
struct DecodeCase {
  const char* name;
  std::string body;
  std::string kind;
  int code = 0;
};

TEST(Decode, MessagesAndErrors) {
  const DecodeCase cases[] = {
      {"request with integer id", R"({"jsonrpc":"2.0","id":1,"method":"m"})", "request"},
      {"request with string id", R"({"jsonrpc":"2.0","id":"a","method":"m","params":{}})", "request"},
      {"negative id", R"({"jsonrpc":"2.0","id":-5,"method":"m"})", "request"},
      {"notification", R"({"jsonrpc":"2.0","method":"m","params":[1]})", "notification"},
      {"response with result", R"({"jsonrpc":"2.0","id":1,"result":null})", "response"},
      {"response with error", R"({"jsonrpc":"2.0","id":null,"error":{"code":-1,"message":"x"}})", "response"},
      {"not JSON", "{", "", code::kParseError},
      {"trailing garbage", R"({"jsonrpc":"2.0","method":"m"} x)", "", code::kParseError},
      {"invalid UTF-8 in a string", "{\"jsonrpc\":\"2.0\",\"method\":\"\xff\"}", "", code::kParseError},
      {"invalid UTF-8 outside strings", "\xc3\xa9", "", code::kParseError},
      {"nesting too deep", R"({"jsonrpc":"2.0","method":"m","params":)" + nested(kMaxJsonDepth) + "}", "",
       code::kParseError},
      {"nesting at the limit", R"({"jsonrpc":"2.0","method":"m","params":)" + nested(kMaxJsonDepth - 1) + "}",
       "notification"},
      {"bare number", "42", "", code::kInvalidRequest},
      {"array", "[]", "", code::kInvalidRequest},
      {"no version", R"({"id":1,"method":"m"})", "", code::kInvalidRequest},
      {"wrong version", R"({"jsonrpc":"1.0","id":1,"method":"m"})", "", code::kInvalidRequest},
      {"version as number", R"({"jsonrpc":2.0,"id":1,"method":"m"})", "", code::kInvalidRequest},
      {"method not a string", R"({"jsonrpc":"2.0","id":1,"method":3})", "", code::kInvalidRequest},
      {"fractional id", R"({"jsonrpc":"2.0","id":1.5,"method":"m"})", "", code::kInvalidRequest},
      {"null id on a request", R"({"jsonrpc":"2.0","id":null,"method":"m"})", "", code::kInvalidRequest},
      {"object id", R"({"jsonrpc":"2.0","id":{},"method":"m"})", "", code::kInvalidRequest},
      {"id beyond 64 bits signed", R"({"jsonrpc":"2.0","id":18446744073709551615,"method":"m"})", "",
       code::kInvalidRequest},
      {"neither method nor result", R"({"jsonrpc":"2.0","id":1})", "", code::kInvalidRequest},
      {"result and error", R"({"jsonrpc":"2.0","id":1,"result":1,"error":{"code":1,"message":"m"}})", "",
       code::kInvalidRequest},
      {"malformed error object", R"({"jsonrpc":"2.0","id":1,"error":{"code":"x"}})", "", code::kInvalidRequest},
      {"response without id", R"({"jsonrpc":"2.0","result":1})", "", code::kInvalidRequest},
  };
  for (const DecodeCase& c : cases) {
    auto got = decode(c.body);
    if (c.kind.empty()) {
      const auto* e = std::get_if<DecodeError>(&got);
      ASSERT_NE(e, nullptr) << c.name;
      EXPECT_EQ(e->code, c.code) << c.name;
      continue;
    }
    const auto* m = std::get_if<Message>(&got);
    ASSERT_NE(m, nullptr) << c.name;
    const char* kind = m->kind == Message::Kind::kRequest        ? "request"
                       : m->kind == Message::Kind::kNotification ? "notification"
                                                                 : "response";
    EXPECT_EQ(kind, c.kind) << c.name;
  }
}

TEST(Decode, KeepsIdMethodAndParams) {
  auto got = decode(R"({"method":"a/b","params":{"x":[1]},"id":"7","jsonrpc":"2.0","extra":true})");
  const Message& m = std::get<Message>(got);
  EXPECT_EQ(m.method, "a/b");
  EXPECT_EQ(m.id, json::value("7"));
  ASSERT_TRUE(m.params.has_value());
  EXPECT_EQ(json::serialize(*m.params), R"({"x":[1]})");

  // An explicit null is kept apart from an absent member.
  const auto with_null = decode(R"({"jsonrpc":"2.0","method":"m","params":null})");
  const Message& null_params = std::get<Message>(with_null);
  ASSERT_TRUE(null_params.params.has_value());
  EXPECT_TRUE(null_params.params->is_null());
  const auto without = decode(R"({"jsonrpc":"2.0","method":"m"})");
  EXPECT_FALSE(std::get<Message>(without).params.has_value());
}

TEST(IdKey, DistinguishesNumbersFromStrings) {
  EXPECT_NE(id_key(json::value(1)), id_key(json::value("1")));
  EXPECT_EQ(id_key(json::value(1)), id_key(json::value(std::int64_t{1})));
}

TEST(Encode, Shapes) {
  EXPECT_EQ(encode_result(json::value(3), nullptr), R"({"jsonrpc":"2.0","result":null,"id":3})");
  EXPECT_EQ(encode_error(nullptr, code::kParseError, "Parse error"),
            R"({"jsonrpc":"2.0","error":{"code":-32700,"message":"Parse error"},"id":null})");
  const json::value data("foo/bar");
  EXPECT_EQ(encode_error(json::value("x"), code::kMethodNotFound, "Method not found", &data),
            R"({"jsonrpc":"2.0","error":{"code":-32601,"message":"Method not found","data":"foo/bar"},"id":"x"})");
  EXPECT_EQ(encode_error(json::value(4), code::kRequestCancelled),
            R"({"jsonrpc":"2.0","error":{"code":-32800,"message":"Canceled"},"id":4})");
  EXPECT_EQ(encode_notification("window/logMessage", json::parse(R"({"type":3})")),
            R"({"jsonrpc":"2.0","method":"window/logMessage","params":{"type":3}})");
}

TEST(ErrorTexts, OneMessagePerCode) {
  EXPECT_EQ(error_message(code::kParseError), "Parse error");
  EXPECT_EQ(error_message(code::kInvalidRequest), "Invalid request");
  EXPECT_EQ(error_message(code::kMethodNotFound), "Method not found");
  EXPECT_EQ(error_message(code::kInternalError), "Internal error");
  EXPECT_EQ(error_message(code::kServerNotInitialized), "Server not initialized");
  EXPECT_EQ(error_message(code::kRequestCancelled), "Canceled");
  EXPECT_EQ(error_message(1), "Error");
  for (const ErrorText& a : kErrorTexts) {
    for (const ErrorText& b : kErrorTexts) {
      if (&a != &b) {
        EXPECT_NE(a.code, b.code) << a.message;
      }
    }
  }
}

}  // namespace
}  // namespace vesk_lsp::jsonrpc
