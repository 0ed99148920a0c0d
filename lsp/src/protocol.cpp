#include "protocol.hpp"

#include <boost/json/object.hpp>
#include <boost/json/string.hpp>

namespace vesk_lsp::protocol {

namespace {

template <class Enum>
std::uint64_t number(Enum value) {
  return static_cast<std::uint64_t>(value);
}

boost::json::string text(std::string_view view, const boost::json::storage_ptr& sp) {
  return boost::json::string(view, sp);
}

}  // namespace

boost::json::value to_json(const Position& position, boost::json::storage_ptr sp) {
  boost::json::object out(sp);
  out.reserve(2);
  out.emplace("line", position.line);
  out.emplace("character", position.character);
  return out;
}

boost::json::value to_json(const Range& range, boost::json::storage_ptr sp) {
  boost::json::object out(sp);
  out.reserve(2);
  out.emplace("start", to_json(range.start, sp));
  out.emplace("end", to_json(range.end, sp));
  return out;
}

boost::json::value to_json(const Location& location, boost::json::storage_ptr sp) {
  boost::json::object out(sp);
  out.reserve(2);
  out.emplace("uri", text(location.uri, sp));
  out.emplace("range", to_json(location.range, sp));
  return out;
}

boost::json::value to_json(const Diagnostic& diagnostic, boost::json::storage_ptr sp) {
  boost::json::object out(sp);
  out.reserve(4);
  out.emplace("range", to_json(diagnostic.range, sp));
  if (diagnostic.severity) out.emplace("severity", number(*diagnostic.severity));
  if (diagnostic.source) out.emplace("source", text(*diagnostic.source, sp));
  out.emplace("message", text(diagnostic.message, sp));
  return out;
}

boost::json::value to_json(const CompletionItem& item, boost::json::storage_ptr sp) {
  boost::json::object out(sp);
  out.reserve(5);
  out.emplace("label", text(item.label, sp));
  if (item.kind) out.emplace("kind", number(*item.kind));
  if (item.detail) out.emplace("detail", text(*item.detail, sp));
  if (item.insert_text) out.emplace("insertText", text(*item.insert_text, sp));
  if (item.insert_text_format) out.emplace("insertTextFormat", number(*item.insert_text_format));
  return out;
}

boost::json::value to_json(const MarkupContent& content, boost::json::storage_ptr sp) {
  boost::json::object out(sp);
  out.reserve(2);
  out.emplace("kind", content.kind == MarkupKind::Markdown ? "markdown" : "plaintext");
  out.emplace("value", text(content.value, sp));
  return out;
}

boost::json::value to_json(const Hover& hover, boost::json::storage_ptr sp) {
  boost::json::object out(sp);
  out.reserve(2);
  out.emplace("contents", to_json(hover.contents, sp));
  if (hover.range) out.emplace("range", to_json(*hover.range, sp));
  return out;
}

boost::json::value to_json(const SymbolInformation& symbol, boost::json::storage_ptr sp) {
  boost::json::object out(sp);
  out.reserve(3);
  out.emplace("name", text(symbol.name, sp));
  out.emplace("kind", number(symbol.kind));
  out.emplace("location", to_json(symbol.location, sp));
  return out;
}

}  // namespace vesk_lsp::protocol
