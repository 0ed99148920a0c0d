#include "diagnostics.hpp"

#include "vesk/core/parser.hpp"

namespace vesk_lsp::diagnostics {

boost::json::array compute_diagnostics(std::string_view text) {
  auto parsed = vesk_core::parser::parse_document(text);
  boost::json::array out;
  if (parsed.ok()) return out;
  out.push_back(protocol::to_json(error_diagnostic(text, std::move(parsed).error())));
  return out;
}

}  // namespace vesk_lsp::diagnostics
