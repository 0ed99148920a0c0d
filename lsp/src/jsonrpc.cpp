#include "jsonrpc.hpp"

#include <boost/json/object.hpp>
#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>

#include <utility>

namespace vesk_lsp::jsonrpc {

namespace json = boost::json;

namespace {

// Ids are integers that fit 64 bits signed, or strings.
bool valid_id(const json::value& id) {
  if (id.is_int64() || id.is_string()) return true;
  return false;
}

}  // namespace

std::variant<Message, DecodeError> decode(std::string_view body) {
  json::parse_options options;
  options.max_depth = kMaxJsonDepth;
  boost::system::error_code ec;
  json::value doc = json::parse(json::string_view(body.data(), body.size()), ec, {}, options);
  if (ec) return DecodeError{code::kParseError};

  json::object* obj = doc.if_object();
  if (obj == nullptr) return DecodeError{code::kInvalidRequest};
  const json::value* version = obj->if_contains("jsonrpc");
  if (version == nullptr || !version->is_string() || version->get_string() != "2.0") {
    return DecodeError{code::kInvalidRequest};
  }

  Message msg;
  const json::value* id = std::as_const(*obj).if_contains("id");

  if (const json::value* method = obj->if_contains("method")) {
    if (!method->is_string()) return DecodeError{code::kInvalidRequest};
    msg.method = std::string(method->get_string());
    if (json::value* params = obj->if_contains("params")) msg.params = std::move(*params);
    if (id != nullptr) {
      if (!valid_id(*id)) return DecodeError{code::kInvalidRequest};
      msg.kind = Message::Kind::kRequest;
      msg.id = *id;
    } else {
      msg.kind = Message::Kind::kNotification;
    }
    return msg;
  }

  // A response: an id and exactly one of "result" and "error".
  const bool has_result = obj->contains("result");
  const json::value* error = obj->if_contains("error");
  // An error answer to something the editor could not read carries id null.
  if (id == nullptr || !(valid_id(*id) || id->is_null()) || has_result == (error != nullptr)) {
    return DecodeError{code::kInvalidRequest};
  }
  if (error != nullptr) {
    const json::object* e = error->if_object();
    const json::value* c = e ? e->if_contains("code") : nullptr;
    const json::value* m = e ? e->if_contains("message") : nullptr;
    if (c == nullptr || !c->is_int64() || m == nullptr || !m->is_string()) return DecodeError{code::kInvalidRequest};
  }
  msg.kind = Message::Kind::kResponse;
  msg.id = *id;
  return msg;
}

std::string id_key(const json::value& id) { return json::serialize(id); }

std::string encode_result(const json::value& id, json::value result) {
  json::object o;
  o["jsonrpc"] = "2.0";
  o["result"] = std::move(result);
  o["id"] = id;
  return json::serialize(o);
}

std::string encode_error(const json::value& id, int code, std::string_view message, const json::value* data) {
  json::object err;
  err["code"] = code;
  err["message"] = json::string_view(message.data(), message.size());
  if (data != nullptr) err["data"] = *data;
  json::object o;
  o["jsonrpc"] = "2.0";
  o["error"] = std::move(err);
  o["id"] = id;
  return json::serialize(o);
}

std::string encode_notification(std::string_view method, json::value params) {
  json::object o;
  o["jsonrpc"] = "2.0";
  o["method"] = json::string_view(method.data(), method.size());
  o["params"] = std::move(params);
  return json::serialize(o);
}

std::string encode_error(const json::value& id, int code, const json::value* data) {
  return encode_error(id, code, error_message(code), data);
}

std::string_view error_message(int code) {
  for (const ErrorText& e : kErrorTexts) {
    if (e.code == code) return e.message;
  }
  return "Error";
}

}  // namespace vesk_lsp::jsonrpc
