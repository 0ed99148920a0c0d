#include "protocol.hpp"

#include <boost/json/array.hpp>
#include <boost/json/object.hpp>
#include <boost/json/string.hpp>

#include <limits>

namespace vesk_lsp::protocol {

namespace json = boost::json;

namespace {

// Decoding: a failure is thrown up to the entry point of the decoder, `run`.

struct Failure {
  std::string message;
};

[[noreturn]] void fail(std::string message) { throw Failure{std::move(message)}; }

std::string join(std::string_view path, std::string_view key) {
  if (path.empty()) return std::string(key);
  std::string out(path);
  out += '.';
  out += key;
  return out;
}

[[noreturn]] void wrong_type(const std::string& path, std::string_view expected) {
  fail("invalid type for `" + path + "`: expected " + std::string(expected));
}

const json::object& as_object(const json::value& v, const std::string& path) {
  if (!v.is_object()) {
    if (path.empty()) fail("invalid type: expected an object");
    wrong_type(path, "an object");
  }
  return v.get_object();
}

// A required member: present and not absent.
const json::value& required(const json::object& o, std::string_view path, std::string_view key) {
  const json::value* v = o.if_contains(json::string_view(key.data(), key.size()));
  if (v == nullptr) fail("missing field `" + join(path, key) + "`");
  return *v;
}

// An optional member: nullptr when absent or null.
const json::value* optional(const json::object& o, std::string_view key) {
  const json::value* v = o.if_contains(json::string_view(key.data(), key.size()));
  if (v == nullptr || v->is_null()) return nullptr;
  return v;
}

template <class T>
T integer(const json::value& v, const std::string& path, std::string_view expected) {
  if (v.is_int64()) {
    const std::int64_t n = v.get_int64();
    if (n >= static_cast<std::int64_t>(std::numeric_limits<T>::min()) &&
        n <= static_cast<std::int64_t>(std::numeric_limits<T>::max())) {
      return static_cast<T>(n);
    }
    fail("invalid value for `" + path + "`: " + std::to_string(n) + " is out of range for " + std::string(expected));
  }
  if (v.is_uint64()) fail("invalid value for `" + path + "`: out of range for " + std::string(expected));
  wrong_type(path, expected);
}

std::uint32_t uinteger(const json::value& v, const std::string& path) {
  return integer<std::uint32_t>(v, path, "an unsigned 32-bit integer");
}

std::int32_t int32(const json::value& v, const std::string& path) {
  return integer<std::int32_t>(v, path, "a 32-bit integer");
}

std::string string(const json::value& v, const std::string& path) {
  if (!v.is_string()) wrong_type(path, "a string");
  return std::string(v.get_string());
}

std::string uri(const json::object& o, std::string_view path, const UriParser& parse) {
  const std::string p = join(path, "uri");
  const std::string text = string(required(o, path, "uri"), p);
  auto parsed = parse(text);
  if (!parsed) fail("invalid URI in `" + p + "`: " + text);
  return std::move(*parsed);
}

// A progress token, when present, is an integer or a string.
void progress_token(const json::object& o, std::string_view key) {
  const json::value* v = optional(o, key);
  if (v != nullptr && !v->is_int64() && !v->is_string()) wrong_type(std::string(key), "an integer or a string");
}

template <class F>
auto run(F&& f) -> Result<decltype(f())> {
  using T = decltype(f());
  try {
    return Result<T>::success(f());
  } catch (const Failure& e) {
    return Result<T>::failure(e.message);
  }
}

// Encoding.

template <class Enum>
std::uint64_t number(Enum value) {
  return static_cast<std::uint64_t>(value);
}

json::string text(std::string_view view, const json::storage_ptr& sp) { return json::string(view, sp); }

// Position and Range, read and written.

Position position(const json::value& v, const std::string& path) {
  const json::object& o = as_object(v, path);
  Position p;
  p.line = uinteger(required(o, path, "line"), join(path, "line"));
  p.character = uinteger(required(o, path, "character"), join(path, "character"));
  return p;
}

Range range(const json::value& v, const std::string& path) {
  const json::object& o = as_object(v, path);
  return Range{position(required(o, path, "start"), join(path, "start")),
               position(required(o, path, "end"), join(path, "end"))};
}

}  // namespace

json::value to_json(const Position& position, json::storage_ptr sp) {
  json::object out(sp);
  out.reserve(2);
  out.emplace("line", position.line);
  out.emplace("character", position.character);
  return out;
}

json::value to_json(const Range& range, json::storage_ptr sp) {
  json::object out(sp);
  out.reserve(2);
  out.emplace("start", to_json(range.start, sp));
  out.emplace("end", to_json(range.end, sp));
  return out;
}

// Parameters.

namespace {

std::string text_document_uri(const json::object& o, const UriParser& parse) {
  const json::object& doc = as_object(required(o, "", "textDocument"), "textDocument");
  return uri(doc, "textDocument", parse);
}

PositionParams position_params(const json::object& o, const UriParser& parse) {
  PositionParams p;
  p.uri = text_document_uri(o, parse);
  p.position = position(required(o, "", "position"), "position");
  progress_token(o, "workDoneToken");
  return p;
}

}  // namespace

Result<InitializeParams> decode_initialize(const json::value& v) {
  return run([&] {
    const json::object& o = as_object(v, "");
    as_object(required(o, "", "capabilities"), "capabilities");
    return InitializeParams{};
  });
}

Result<InitializedParams> decode_initialized(const json::value& v) {
  return run([&] {
    as_object(v, "");
    return InitializedParams{};
  });
}

Result<DidOpenParams> decode_did_open(const json::value& v, const UriParser& parse) {
  return run([&] {
    const json::object& o = as_object(v, "");
    const json::object& doc = as_object(required(o, "", "textDocument"), "textDocument");
    DidOpenParams p;
    p.uri = uri(doc, "textDocument", parse);
    p.language_id = string(required(doc, "textDocument", "languageId"), "textDocument.languageId");
    p.version = int32(required(doc, "textDocument", "version"), "textDocument.version");
    p.text = string(required(doc, "textDocument", "text"), "textDocument.text");
    return p;
  });
}

Result<DidChangeParams> decode_did_change(const json::value& v, const UriParser& parse) {
  return run([&] {
    const json::object& o = as_object(v, "");
    const json::object& doc = as_object(required(o, "", "textDocument"), "textDocument");
    DidChangeParams p;
    p.uri = uri(doc, "textDocument", parse);
    p.version = int32(required(doc, "textDocument", "version"), "textDocument.version");
    const json::value& changes = required(o, "", "contentChanges");
    if (!changes.is_array()) wrong_type("contentChanges", "an array");
    std::size_t i = 0;
    for (const json::value& c : changes.get_array()) {
      const std::string path = "contentChanges[" + std::to_string(i++) + "]";
      const json::object& co = as_object(c, path);
      ContentChange change;
      if (const json::value* r = optional(co, "range")) change.range = range(*r, join(path, "range"));
      if (const json::value* n = optional(co, "rangeLength"))
        change.range_length = uinteger(*n, join(path, "rangeLength"));
      change.text = string(required(co, path, "text"), join(path, "text"));
      p.changes.push_back(std::move(change));
    }
    return p;
  });
}

Result<DidCloseParams> decode_did_close(const json::value& v, const UriParser& parse) {
  return run([&] {
    const json::object& o = as_object(v, "");
    return DidCloseParams{text_document_uri(o, parse)};
  });
}

Result<PositionParams> decode_hover(const json::value& v, const UriParser& parse) {
  return run([&] { return position_params(as_object(v, ""), parse); });
}

Result<PositionParams> decode_completion(const json::value& v, const UriParser& parse) {
  return run([&] {
    const json::object& o = as_object(v, "");
    PositionParams p = position_params(o, parse);
    progress_token(o, "partialResultToken");
    if (const json::value* ctx = optional(o, "context")) {
      const json::object& c = as_object(*ctx, "context");
      int32(required(c, "context", "triggerKind"), "context.triggerKind");
      if (const json::value* ch = optional(c, "triggerCharacter")) string(*ch, "context.triggerCharacter");
    }
    return p;
  });
}

Result<DocumentSymbolParams> decode_document_symbol(const json::value& v, const UriParser& parse) {
  return run([&] {
    const json::object& o = as_object(v, "");
    DocumentSymbolParams p{text_document_uri(o, parse)};
    progress_token(o, "workDoneToken");
    progress_token(o, "partialResultToken");
    return p;
  });
}

Result<CancelParams> decode_cancel(const json::value& v) {
  return run([&] {
    const json::object& o = as_object(v, "");
    const json::value& id = required(o, "", "id");
    if (!id.is_int64() && !id.is_string()) wrong_type("id", "an integer or a string");
    return CancelParams{id};
  });
}

// Results.

json::value to_json(const Location& location, json::storage_ptr sp) {
  json::object out(sp);
  out.reserve(2);
  out.emplace("uri", text(location.uri, sp));
  out.emplace("range", to_json(location.range, sp));
  return out;
}

json::value to_json(const Diagnostic& diagnostic, json::storage_ptr sp) {
  json::object out(sp);
  out.reserve(4);
  out.emplace("range", to_json(diagnostic.range, sp));
  if (diagnostic.severity) out.emplace("severity", number(*diagnostic.severity));
  if (diagnostic.source) out.emplace("source", text(*diagnostic.source, sp));
  out.emplace("message", text(diagnostic.message, sp));
  return out;
}

json::value to_json(const CompletionItem& item, json::storage_ptr sp) {
  json::object out(sp);
  out.reserve(5);
  out.emplace("label", text(item.label, sp));
  if (item.kind) out.emplace("kind", number(*item.kind));
  if (item.detail) out.emplace("detail", text(*item.detail, sp));
  if (item.insert_text) out.emplace("insertText", text(*item.insert_text, sp));
  if (item.insert_text_format) out.emplace("insertTextFormat", number(*item.insert_text_format));
  return out;
}

json::value to_json(const MarkupContent& content, json::storage_ptr sp) {
  json::object out(sp);
  out.reserve(2);
  out.emplace("kind", content.kind == MarkupKind::Markdown ? "markdown" : "plaintext");
  out.emplace("value", text(content.value, sp));
  return out;
}

json::value to_json(const Hover& hover, json::storage_ptr sp) {
  json::object out(sp);
  out.reserve(2);
  out.emplace("contents", to_json(hover.contents, sp));
  if (hover.range) out.emplace("range", to_json(*hover.range, sp));
  return out;
}

json::value to_json(const SymbolInformation& symbol, json::storage_ptr sp) {
  json::object out(sp);
  out.reserve(3);
  out.emplace("name", text(symbol.name, sp));
  out.emplace("kind", number(symbol.kind));
  out.emplace("location", to_json(symbol.location, sp));
  return out;
}

}  // namespace vesk_lsp::protocol
