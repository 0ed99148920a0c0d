#include "protocol.hpp"

#include <boost/json/serialize.hpp>
#include <gtest/gtest.h>

using namespace vesk_lsp::protocol;

namespace {

template <class T>
std::string json(const T& value) {
  return boost::json::serialize(to_json(value));
}

}  // namespace

TEST(ProtocolTest, DiagnosticMembersInOrderWithoutAbsentOnes) {
  Diagnostic full{{{1, 2}, {3, 4}}, DiagnosticSeverity::Error, "vesk-lsp", "bad"};
  EXPECT_EQ(json(full),
            R"({"range":{"start":{"line":1,"character":2},"end":{"line":3,"character":4}},)"
            R"("severity":1,"source":"vesk-lsp","message":"bad"})");
  Diagnostic bare{{}, std::nullopt, std::nullopt, "m"};
  EXPECT_EQ(json(bare), R"({"range":{"start":{"line":0,"character":0},"end":{"line":0,"character":0}},)"
                        R"("message":"m"})");
}

TEST(ProtocolTest, CompletionItemMembers) {
  CompletionItem snippet{"rect", CompletionItemKind::Keyword, "Rectangle", "rect @${1:name} {\n}",
                         InsertTextFormat::Snippet};
  EXPECT_EQ(json(snippet), R"({"label":"rect","kind":14,"detail":"Rectangle",)"
                           R"("insertText":"rect @${1:name} {\n}","insertTextFormat":2})");
  CompletionItem plain{"w:", CompletionItemKind::Property, "Width", std::nullopt, std::nullopt};
  EXPECT_EQ(json(plain), R"({"label":"w:","kind":10,"detail":"Width"})");
  EXPECT_EQ(json(CompletionItem{"x", std::nullopt, std::nullopt, std::nullopt, std::nullopt}),
            R"({"label":"x"})");
}

TEST(ProtocolTest, HoverAndMarkup) {
  Hover hover{{MarkupKind::Markdown, "**a** \"q\""}, std::nullopt};
  EXPECT_EQ(json(hover), R"({"contents":{"kind":"markdown","value":"**a** \"q\""}})");
  hover.range = Range{{0, 1}, {0, 2}};
  EXPECT_EQ(json(hover), R"({"contents":{"kind":"markdown","value":"**a** \"q\""},)"
                         R"("range":{"start":{"line":0,"character":1},"end":{"line":0,"character":2}}})");
  EXPECT_EQ(json(MarkupContent{MarkupKind::PlainText, ""}), R"({"kind":"plaintext","value":""})");
}

TEST(ProtocolTest, SymbolInformationAndLocation) {
  SymbolInformation symbol{"group @g", SymbolKind::Namespace, {"file:///a.vesk", {{2, 0}, {2, 7}}}};
  EXPECT_EQ(json(symbol), R"({"name":"group @g","kind":3,"location":{"uri":"file:///a.vesk",)"
                          R"("range":{"start":{"line":2,"character":0},"end":{"line":2,"character":7}}}})");
}

TEST(ProtocolTest, LargestPositionsStayUnsigned) {
  EXPECT_EQ(json(Position{4294967295u, 4294967295u}), R"({"line":4294967295,"character":4294967295})");
}
