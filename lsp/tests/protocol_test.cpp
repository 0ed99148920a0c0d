#include "protocol.hpp"

#include <gtest/gtest.h>
#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>

#include <string>

namespace vesk_lsp::protocol {
namespace {

namespace json = boost::json;

// Decoding.

// Accepts anything with a scheme and lower-cases it, like a URL parser would.
std::optional<std::string> fake_uri(std::string_view text) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0) return std::nullopt;
  std::string out(text);
  for (std::size_t i = 0; i < colon; ++i) out[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(out[i])));
  return out;
}

const UriParser kUri = fake_uri;

// Empty `error` means the decoding must succeed; otherwise the failure
// message must contain it.
struct ParamsCase {
  const char* name;
  const char* json;
  const char* error;
};

void check(const char* name, const char* text, const char* error, auto decoder) {
  const auto result = decoder(json::parse(text));
  if (*error == '\0') {
    EXPECT_TRUE(result.ok()) << name << ": " << (result.ok() ? "" : result.error());
  } else {
    ASSERT_FALSE(result.ok()) << name;
    EXPECT_NE(result.error().find(error), std::string::npos) << name << ": " << result.error();
  }
}

TEST(DecodePosition, HoverTable) {
  const ParamsCase cases[] = {
      {"plain", R"({"textDocument":{"uri":"file:///a.vesk"},"position":{"line":1,"character":2}})", ""},
      {"unknown members ignored",
       R"({"textDocument":{"uri":"file:///a","x":1},"position":{"line":0,"character":0,"y":2},"z":[]})", ""},
      {"largest uinteger", R"({"textDocument":{"uri":"file:///a"},"position":{"line":4294967295,"character":0}})", ""},
      {"line past 32 bits", R"({"textDocument":{"uri":"file:///a"},"position":{"line":4294967296,"character":0}})",
       "position.line"},
      {"huge line", R"({"textDocument":{"uri":"file:///a"},"position":{"line":18446744073709551615,"character":0}})",
       "position.line"},
      {"negative character", R"({"textDocument":{"uri":"file:///a"},"position":{"line":0,"character":-1}})",
       "position.character"},
      {"fractional line", R"({"textDocument":{"uri":"file:///a"},"position":{"line":1.0,"character":0}})",
       "position.line"},
      {"line as string", R"({"textDocument":{"uri":"file:///a"},"position":{"line":"1","character":0}})",
       "position.line"},
      {"missing character", R"({"textDocument":{"uri":"file:///a"},"position":{"line":1}})",
       "missing field `position.character`"},
      {"missing position", R"({"textDocument":{"uri":"file:///a"}})", "missing field `position`"},
      {"null position", R"({"textDocument":{"uri":"file:///a"},"position":null})", "position"},
      {"missing document", R"({"position":{"line":0,"character":0}})", "missing field `textDocument`"},
      {"uri not a string", R"({"textDocument":{"uri":5},"position":{"line":0,"character":0}})", "textDocument.uri"},
      {"uri that does not parse", R"({"textDocument":{"uri":"no scheme"},"position":{"line":0,"character":0}})",
       "invalid URI"},
      {"null work-done token",
       R"({"textDocument":{"uri":"f:x"},"position":{"line":0,"character":0},"workDoneToken":null})", ""},
      {"bad work-done token",
       R"({"textDocument":{"uri":"f:x"},"position":{"line":0,"character":0},"workDoneToken":true})", "workDoneToken"},
      {"params an array", R"([1,2])", "expected an object"},
  };
  for (const ParamsCase& c : cases)
    check(c.name, c.json, c.error, [](const json::value& v) { return decode_hover(v, kUri); });
}

TEST(DecodePosition, CompletionContext) {
  const ParamsCase cases[] = {
      {"no context", R"({"textDocument":{"uri":"f:x"},"position":{"line":0,"character":0}})", ""},
      {"context",
       R"({"textDocument":{"uri":"f:x"},"position":{"line":0,"character":0},"context":{"triggerKind":2,"triggerCharacter":":"}})",
       ""},
      {"null context", R"({"textDocument":{"uri":"f:x"},"position":{"line":0,"character":0},"context":null})", ""},
      {"context without kind", R"({"textDocument":{"uri":"f:x"},"position":{"line":0,"character":0},"context":{}})",
       "context.triggerKind"},
      {"trigger character a number",
       R"({"textDocument":{"uri":"f:x"},"position":{"line":0,"character":0},"context":{"triggerKind":2,"triggerCharacter":1}})",
       "context.triggerCharacter"},
  };
  for (const ParamsCase& c : cases)
    check(c.name, c.json, c.error, [](const json::value& v) { return decode_completion(v, kUri); });
}

TEST(DecodeDidOpen, Table) {
  const ParamsCase cases[] = {
      {"plain", R"({"textDocument":{"uri":"file:///a","languageId":"vesk","version":1,"text":"x"}})", ""},
      {"missing text", R"({"textDocument":{"uri":"file:///a","languageId":"vesk","version":1}})", "textDocument.text"},
      {"missing language", R"({"textDocument":{"uri":"file:///a","version":1,"text":""}})", "textDocument.languageId"},
      {"version past 32 bits",
       R"({"textDocument":{"uri":"file:///a","languageId":"v","version":2147483648,"text":""}})",
       "textDocument.version"},
      {"negative version", R"({"textDocument":{"uri":"file:///a","languageId":"v","version":-2147483648,"text":""}})",
       ""},
      {"text not a string", R"({"textDocument":{"uri":"file:///a","languageId":"v","version":1,"text":null}})",
       "textDocument.text"},
  };
  for (const ParamsCase& c : cases)
    check(c.name, c.json, c.error, [](const json::value& v) { return decode_did_open(v, kUri); });

  const auto ok = decode_did_open(
      json::parse(R"({"textDocument":{"uri":"FILE:///a","languageId":"vesk","version":7,"text":"t"}})"), kUri);
  ASSERT_TRUE(ok.ok());
  EXPECT_EQ(ok.value().uri, "file:///a");
  EXPECT_EQ(ok.value().version, 7);
  EXPECT_EQ(ok.value().text, "t");
}

TEST(DecodeDidChange, Table) {
  const ParamsCase cases[] = {
      {"no changes", R"({"textDocument":{"uri":"f:x","version":2},"contentChanges":[]})", ""},
      {"ranged change",
       R"({"textDocument":{"uri":"f:x","version":2},"contentChanges":[{"range":{"start":{"line":0,"character":0},"end":{"line":0,"character":1}},"rangeLength":1,"text":"a"}]})",
       ""},
      {"null range", R"({"textDocument":{"uri":"f:x","version":2},"contentChanges":[{"range":null,"text":"a"}]})", ""},
      {"missing version", R"({"textDocument":{"uri":"f:x"},"contentChanges":[]})", "textDocument.version"},
      {"changes not an array", R"({"textDocument":{"uri":"f:x","version":2},"contentChanges":{}})", "contentChanges"},
      {"change without text", R"({"textDocument":{"uri":"f:x","version":2},"contentChanges":[{"text":"a"},{}]})",
       "contentChanges[1].text"},
      {"broken range",
       R"({"textDocument":{"uri":"f:x","version":2},"contentChanges":[{"range":{"start":{"line":0}},"text":"a"}]})",
       "contentChanges[0].range.start.character"},
      {"negative range length",
       R"({"textDocument":{"uri":"f:x","version":2},"contentChanges":[{"rangeLength":-1,"text":"a"}]})", "rangeLength"},
  };
  for (const ParamsCase& c : cases)
    check(c.name, c.json, c.error, [](const json::value& v) { return decode_did_change(v, kUri); });

  const auto two = decode_did_change(
      json::parse(
          R"({"textDocument":{"uri":"f:x","version":2},"contentChanges":[{"text":"a"},{"range":{"start":{"line":0,"character":0},"end":{"line":0,"character":0}},"text":"b"}]})"),
      kUri);
  ASSERT_TRUE(two.ok());
  ASSERT_EQ(two.value().changes.size(), 2u);
  EXPECT_EQ(two.value().changes[1].text, "b");
  EXPECT_TRUE(two.value().changes[1].range.has_value());
  EXPECT_FALSE(two.value().changes[0].range.has_value());
}

TEST(DecodeOthers, Table) {
  const ParamsCase init[] = {
      {"capabilities only", R"({"capabilities":{}})", ""},
      {"everything else ignored", R"({"processId":"not a number","rootUri":7,"capabilities":{"x":1}})", ""},
      {"no capabilities", R"({"processId":1})", "missing field `capabilities`"},
      {"capabilities null", R"({"capabilities":null})", "capabilities"},
      {"capabilities an array", R"({"capabilities":[]})", "capabilities"},
  };
  for (const ParamsCase& c : init)
    check(c.name, c.json, c.error, [](const json::value& v) { return decode_initialize(v); });

  const ParamsCase cancel[] = {
      {"integer id", R"({"id":3})", ""},
      {"string id", R"({"id":"3"})", ""},
      {"no id", R"({})", "missing field `id`"},
      {"null id", R"({"id":null})", "id"},
  };
  for (const ParamsCase& c : cancel)
    check(c.name, c.json, c.error, [](const json::value& v) { return decode_cancel(v); });

  check("close", R"({"textDocument":{"uri":"f:x"}})", "",
        [](const json::value& v) { return decode_did_close(v, kUri); });
  check("close without uri", R"({"textDocument":{}})", "textDocument.uri",
        [](const json::value& v) { return decode_did_close(v, kUri); });
  check("symbols", R"({"textDocument":{"uri":"f:x"},"partialResultToken":"t"})", "",
        [](const json::value& v) { return decode_document_symbol(v, kUri); });
  check("initialized", R"({})", "", [](const json::value& v) { return decode_initialized(v); });
  check("initialized not an object", R"(1)", "object", [](const json::value& v) { return decode_initialized(v); });
}

// Encoding.

template <class T>
std::string encoded(const T& value) {
  return json::serialize(to_json(value));
}

TEST(ProtocolTest, DiagnosticMembersInOrderWithoutAbsentOnes) {
  Diagnostic full{{{1, 2}, {3, 4}}, DiagnosticSeverity::Error, "vesk-lsp", "bad"};
  EXPECT_EQ(encoded(full), R"({"range":{"start":{"line":1,"character":2},"end":{"line":3,"character":4}},)"
                           R"("severity":1,"source":"vesk-lsp","message":"bad"})");
  Diagnostic bare{{}, std::nullopt, std::nullopt, "m"};
  EXPECT_EQ(encoded(bare), R"({"range":{"start":{"line":0,"character":0},"end":{"line":0,"character":0}},)"
                           R"("message":"m"})");
}

TEST(ProtocolTest, CompletionItemMembers) {
  CompletionItem snippet{"rect", CompletionItemKind::Keyword, "Rectangle", "rect @${1:name} {\n}",
                         InsertTextFormat::Snippet};
  EXPECT_EQ(encoded(snippet), R"({"label":"rect","kind":14,"detail":"Rectangle",)"
                              R"("insertText":"rect @${1:name} {\n}","insertTextFormat":2})");
  CompletionItem plain{"w:", CompletionItemKind::Property, "Width", std::nullopt, std::nullopt};
  EXPECT_EQ(encoded(plain), R"({"label":"w:","kind":10,"detail":"Width"})");
  EXPECT_EQ(encoded(CompletionItem{"x", std::nullopt, std::nullopt, std::nullopt, std::nullopt}), R"({"label":"x"})");
}

TEST(ProtocolTest, HoverAndMarkup) {
  Hover hover{{MarkupKind::Markdown, "**a** \"q\""}, std::nullopt};
  EXPECT_EQ(encoded(hover), R"({"contents":{"kind":"markdown","value":"**a** \"q\""}})");
  hover.range = Range{{0, 1}, {0, 2}};
  EXPECT_EQ(encoded(hover), R"({"contents":{"kind":"markdown","value":"**a** \"q\""},)"
                            R"("range":{"start":{"line":0,"character":1},"end":{"line":0,"character":2}}})");
  EXPECT_EQ(encoded(MarkupContent{MarkupKind::PlainText, ""}), R"({"kind":"plaintext","value":""})");
}

TEST(ProtocolTest, SymbolInformationAndLocation) {
  SymbolInformation symbol{"group @g", SymbolKind::Namespace, {"file:///a.vesk", {{2, 0}, {2, 7}}}};
  EXPECT_EQ(encoded(symbol), R"({"name":"group @g","kind":3,"location":{"uri":"file:///a.vesk",)"
                             R"("range":{"start":{"line":2,"character":0},"end":{"line":2,"character":7}}}})");
}

// One Position and Range type: what is written reads back as the same value.
TEST(ProtocolTest, PositionAndRangeReadAsWritten) {
  const Range range{{1, 2}, {4294967295u, 0}};
  const auto change =
      decode_did_change(json::parse(R"({"textDocument":{"uri":"f:x","version":1},"contentChanges":[{"range":)" +
                                    encoded(range) + R"(,"text":""}]})"),
                        kUri);
  ASSERT_TRUE(change.ok()) << change.error();
  EXPECT_EQ(change.value().changes[0].range, range);
  const auto hover =
      decode_hover(json::parse(R"({"textDocument":{"uri":"f:x"},"position":)" + encoded(range.end) + "}"), kUri);
  ASSERT_TRUE(hover.ok()) << hover.error();
  EXPECT_EQ(hover.value().position, range.end);
}

TEST(ProtocolTest, LargestPositionsStayUnsigned) {
  EXPECT_EQ(encoded(Position{4294967295u, 4294967295u}), R"({"line":4294967295,"character":4294967295})");
}

}  // namespace
}  // namespace vesk_lsp::protocol
