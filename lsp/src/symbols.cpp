#include "symbols.hpp"

#include "position.hpp"
#include "protocol.hpp"

#include "vesk/core/chars.hpp"
#include "vesk/core/id.hpp"

#include <boost/json/monotonic_resource.hpp>

#include <optional>
#include <string>
#include <variant>

namespace vesk_lsp::symbols {

namespace {

using protocol::SymbolKind;
using vesk_core::chars::ident_char;
using vesk_core::chars::span_of;
using vesk_core::chars::trim;
using vesk_core::chars::white_space;
using vesk_core::model::NodeKind;

constexpr std::string_view kNodeKeywords[] = {"group", "rect", "ellipse", "path", "text"};
constexpr std::string_view kAnonPrefix = "_anon_";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool not_white_space(char32_t c) { return !white_space(c); }

// The identifier right after an "@" (`rest` starts behind it); may be empty.
std::string_view identifier(std::string_view rest) { return rest.substr(0, span_of(rest, ident_char)); }

bool named_id(std::string_view id) { return !id.empty() && !id.starts_with(kAnonPrefix); }

// Line `number` trimmed, read as the parser reads it: without the byte-order
// mark that may open the text. The symbol's range still counts the mark.
std::string_view trimmed(std::string_view line, std::uint32_t number) {
  if (number == 0 && line.starts_with(kByteOrderMark)) line.remove_prefix(kByteOrderMark.size());
  return trim(line);
}

// The identifier of the node head that line `t` (trimmed) writes, if any.
std::optional<std::string_view> candidate(std::string_view t) {
  if (t.starts_with('@')) {
    const std::string_view id = identifier(t.substr(1));
    if (!named_id(id)) return std::nullopt;
    std::string_view rest = t.substr(1 + id.size());
    rest.remove_prefix(span_of(rest, white_space));
    if (!rest.starts_with('{')) return std::nullopt;
    return id;
  }
  for (const auto keyword : kNodeKeywords) {
    if (!t.starts_with(keyword)) continue;
    const std::size_t at = t.find('@');
    if (at == std::string_view::npos) return std::nullopt;
    const std::string_view id = identifier(t.substr(at + 1));
    if (!named_id(id)) return std::nullopt;
    return id;
  }
  return std::nullopt;
}

struct NodeSymbol {
  std::string_view word;  // empty for a generic node
  SymbolKind kind;
};

std::optional<NodeSymbol> node_symbol(const NodeKind& kind) {
  struct Visitor {
    std::optional<NodeSymbol> operator()(const NodeKind::Root&) const { return std::nullopt; }
    std::optional<NodeSymbol> operator()(const NodeKind::Generic&) const { return NodeSymbol{"", SymbolKind::Object}; }
    std::optional<NodeSymbol> operator()(const NodeKind::Group&) const {
      return NodeSymbol{"group", SymbolKind::Namespace};
    }
    std::optional<NodeSymbol> operator()(const NodeKind::Rect&) const { return NodeSymbol{"rect", SymbolKind::Object}; }
    std::optional<NodeSymbol> operator()(const NodeKind::Ellipse&) const {
      return NodeSymbol{"ellipse", SymbolKind::Object};
    }
    std::optional<NodeSymbol> operator()(const NodeKind::Path&) const { return NodeSymbol{"path", SymbolKind::Object}; }
    std::optional<NodeSymbol> operator()(const NodeKind::Text&) const { return NodeSymbol{"text", SymbolKind::String}; }
  };
  return std::visit(Visitor{}, kind.value);
}

void add_symbol(boost::json::array& out, std::string name, SymbolKind kind, std::string_view uri,
                std::uint32_t line_number, std::string_view line) {
  protocol::SymbolInformation symbol;
  symbol.name = std::move(name);
  symbol.kind = kind;
  symbol.location.uri = std::string(uri);
  symbol.location.range = {{line_number, 0}, {line_number, position::utf16_length(line)}};
  out.push_back(protocol::to_json(symbol, out.storage()));
}

}  // namespace

boost::json::array compute_symbols(std::string_view text, const vesk_core::model::SceneGraph* graph,
                                   std::string_view uri) {
  // Thousands of small objects, all released together with the answer.
  boost::json::array out(boost::json::make_shared_resource<boost::json::monotonic_resource>());

  // Named styles, from the text alone.
  position::LineCursor styles(text);
  std::uint32_t number = 0;
  for (auto line = styles.next(); line; line = styles.next(), ++number) {
    const std::string_view t = trimmed(*line, number);
    if (!t.starts_with("style ")) continue;
    std::string_view rest = t.substr(6);
    rest.remove_prefix(span_of(rest, white_space));
    const std::string_view word = rest.substr(0, span_of(rest, not_white_space));
    std::string name = "style ";
    name.append(word);
    add_symbol(out, std::move(name), SymbolKind::Class, uri, number, *line);
  }
  if (graph == nullptr) return out;

  // Node heads whose identifier names a node of the graph.
  position::LineCursor nodes(text);
  number = 0;
  for (auto line = nodes.next(); line; line = nodes.next(), ++number) {
    const auto id = candidate(trimmed(*line, number));
    if (!id) continue;
    const auto known = vesk_core::id::NodeId::lookup(*id);
    const auto* node = known ? graph->get_by_id(*known) : nullptr;
    if (node == nullptr) continue;
    const auto symbol = node_symbol(node->kind);
    if (!symbol) continue;
    std::string name;
    if (!symbol->word.empty()) name.append(symbol->word).append(" ");
    name.append("@").append(*id);
    add_symbol(out, std::move(name), symbol->kind, uri, number, *line);
  }
  return out;
}

}  // namespace vesk_lsp::symbols
