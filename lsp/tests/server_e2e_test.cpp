// The vesk-lsp binary in server mode, driven over its standard input and output.

#include "lsp_client.hpp"

#include "vesk/testing/frames.hpp"

#include <gtest/gtest.h>
#include <boost/json/array.hpp>
#include <boost/json/object.hpp>
#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>

#include <string>
#include <vector>

namespace vesk_lsp::testing {
namespace {

namespace json = boost::json;
using vesk_testing::frame;
using vesk_testing::parse_frames;

constexpr const char* kUri = "file:///tmp/scene.vesk";
constexpr const char* kGood = "group @card {\n  rect @photo { w: 320 h: 180 }\n}\n";
constexpr const char* kBad = "group @card {\n  rect @photo { w: 320 h: 180 }\n";

json::value open_params(std::string_view uri, std::string_view text) {
  json::object doc;
  doc["uri"] = uri;
  doc["languageId"] = "vesk";
  doc["version"] = 1;
  doc["text"] = text;
  return json::object{{"textDocument", std::move(doc)}};
}

json::value doc_params(std::string_view uri) { return json::object{{"textDocument", json::object{{"uri", uri}}}}; }

json::value position_params(std::string_view uri, int line, int character) {
  return json::object{{"textDocument", json::object{{"uri", uri}}},
                      {"position", json::object{{"line", line}, {"character", character}}}};
}

json::value change_params(std::string_view uri, const std::vector<std::string>& texts) {
  json::array changes;
  for (const std::string& t : texts) changes.push_back(json::object{{"text", t}});
  return json::object{{"textDocument", json::object{{"uri", uri}, {"version", 2}}},
                      {"contentChanges", std::move(changes)}};
}

// Sends an unknown request as a marker and returns what came before its answer.
std::vector<json::value> until_marker(LspClient& c, int id = 9999) {
  c.request(id, "vesk/marker");
  std::vector<json::value> before;
  EXPECT_TRUE(c.answer(id, &before).has_value()) << "no answer to the marker";
  return before;
}

void expect_clean_end(LspClient& c, int status) {
  c.close_input();
  EXPECT_EQ(c.wait(), status);
  EXPECT_EQ(c.error_output(), "");
}

TEST(ServerMode, InitializeAnswer) {
  for (
      const char* params :
      {R"({"capabilities":{}})",
       R"({"processId":12,"rootUri":"file:///x","capabilities":{"general":{"positionEncodings":["utf-8"]}},"initializationOptions":{"a":1},"trace":"off"})"}) {
    LspClient c;
    c.request(1, "initialize", json::parse(params));
    auto a = c.answer(1);
    ASSERT_TRUE(a);
    EXPECT_EQ(
        json::serialize(*a),
        R"({"jsonrpc":"2.0","result":{"capabilities":{"textDocumentSync":1,"completionProvider":{"triggerCharacters":[":","@","#"]},"hoverProvider":true,"documentSymbolProvider":true}},"id":1})");
    expect_clean_end(c, 0);
  }
}

TEST(ServerMode, InitializedLogsEveryTime) {
  LspClient c;
  c.request(1, "initialize", json::parse(R"({"capabilities":{}})"));
  ASSERT_TRUE(c.answer(1));
  c.notify("initialized", json::object{});
  c.notify("initialized", json::object{});
  const auto before = until_marker(c);
  ASSERT_EQ(before.size(), 2u);
  for (const auto& m : before) {
    EXPECT_EQ(json::serialize(m),
              R"({"jsonrpc":"2.0","method":"window/logMessage","params":{"type":3,"message":"vesk-lsp initialized"}})");
  }
  expect_clean_end(c, 0);
}

// Every state against every kind of message, in one process per state.
TEST(ServerMode, DispatchByState) {
  struct Case {
    const char* name;
    std::string method;
    std::string params;  // empty: no params member
    bool is_request;
    const char* uninitialized;  // expected answer: "result", an error code, or "-" for none
    const char* initialized;
    const char* shut_down;
  };
  const std::string hover = R"({"textDocument":{"uri":"file:///n.vesk"},"position":{"line":0,"character":0}})";
  const std::string open = R"({"textDocument":{"uri":"file:///n.vesk","languageId":"vesk","version":1,"text":""}})";
  const Case cases[] = {
      {"hover", "textDocument/hover", hover, true, "-32002", "result", "-32600"},
      {"completion", "textDocument/completion", hover, true, "-32002", "result", "-32600"},
      {"symbols", "textDocument/documentSymbol", R"({"textDocument":{"uri":"file:///n.vesk"}})", true, "-32002",
       "result", "-32600"},
      {"hover without params", "textDocument/hover", "", true, "-32002", "-32602", "-32600"},
      {"hover with bad params", "textDocument/hover", R"({"textDocument":{"uri":"file:///n.vesk"}})", true, "-32002",
       "-32602", "-32600"},
      {"hover with bad uri", "textDocument/hover",
       R"({"textDocument":{"uri":"not a url"},"position":{"line":0,"character":0}})", true, "-32002", "-32602",
       "-32600"},
      {"unimplemented request", "textDocument/definition", hover, true, "-32002", "-32601", "-32600"},
      {"unknown request", "vesk/unknown", "", true, "-32002", "-32601", "-32600"},
      {"notification as request", "textDocument/didOpen", open, true, "-32002", "-32600", "-32600"},
      {"didOpen", "textDocument/didOpen", open, false, "-", "publish", "-"},
      {"unimplemented notification", "textDocument/didSave", R"({"textDocument":{"uri":"file:///n.vesk"}})", false, "-",
       "-", "-"},
      {"unknown notification", "vesk/unknown", "{}", false, "-", "-", "-"},
      {"cancel of nothing", "$/cancelRequest", R"({"id":12345})", false, "-", "-", "-"},
      // Last: in the uninitialized state it initializes.
      {"initialize", "initialize", R"({"capabilities":{}})", true, "result", "-32600", "-32600"},
  };
  for (int state = 0; state < 3; ++state) {
    LspClient c;
    if (state >= 1) c.initialize();
    if (state == 2) {
      c.request(1, "shutdown");
      auto a = c.answer(1);
      ASSERT_TRUE(a);
      EXPECT_EQ(json::serialize(*a), R"({"jsonrpc":"2.0","result":null,"id":1})");
    }
    int id = 100;
    for (const Case& c_ : cases) {
      const char* expected = state == 0 ? c_.uninitialized : state == 1 ? c_.initialized : c_.shut_down;
      json::object m{{"jsonrpc", "2.0"}, {"method", c_.method}};
      if (c_.is_request) m["id"] = ++id;
      if (!c_.params.empty()) m["params"] = json::parse(c_.params);
      c.send(m);
      auto before = until_marker(c, 5000 + id);
      std::string got = "-";
      for (const auto& v : before) {
        const json::object& o = v.as_object();
        if (o.contains("method")) {
          got = std::string(o.at("method").as_string()) == "textDocument/publishDiagnostics" ? "publish" : "other";
        } else if (o.contains("result")) {
          got = "result";
          EXPECT_EQ(o.at("id"), json::value(id)) << c_.name;
        } else {
          got = std::to_string(o.at("error").at("code").as_int64());
          EXPECT_EQ(o.at("id"), json::value(id)) << c_.name;
        }
      }
      EXPECT_LE(before.size(), 1u) << c_.name;
      EXPECT_EQ(got, expected) << c_.name << " in state " << state;
    }
    expect_clean_end(c, 0);
  }
}

TEST(ServerMode, ErrorAnswerShapes) {
  LspClient c;
  c.request(1, "textDocument/hover");
  EXPECT_EQ(json::serialize(*c.answer(1)),
            R"({"jsonrpc":"2.0","error":{"code":-32002,"message":"Server not initialized"},"id":1})");
  c.initialize();
  c.request("s", "vesk/unknown");
  EXPECT_EQ(json::serialize(*c.answer("s")),
            R"({"jsonrpc":"2.0","error":{"code":-32601,"message":"Method not found","data":"vesk/unknown"},"id":"s"})");
  c.request(2, "textDocument/references", position_params(kUri, 0, 0));
  EXPECT_EQ(json::serialize(*c.answer(2)),
            R"({"jsonrpc":"2.0","error":{"code":-32601,"message":"Method not found"},"id":2})");
  c.request(3, "textDocument/completion");
  EXPECT_EQ(json::serialize(*c.answer(3)),
            R"({"jsonrpc":"2.0","error":{"code":-32602,"message":"Missing params field"},"id":3})");
  c.request(5, "textDocument/hover", json::value(nullptr));
  EXPECT_EQ(json::serialize(*c.answer(5)),
            R"({"jsonrpc":"2.0","error":{"code":-32602,"message":"Missing params field"},"id":5})");
  c.request(4, "initialize", json::parse(R"({"capabilities":{}})"));
  EXPECT_EQ(json::serialize(*c.answer(4)),
            R"({"jsonrpc":"2.0","error":{"code":-32600,"message":"Invalid request"},"id":4})");
  expect_clean_end(c, 0);
}

// One process per raw input; what it answers and how it ends.
TEST(ServerMode, FramingAndEnds) {
  const std::string init = frame(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"capabilities":{}}})");
  const std::string shutdown = frame(R"({"jsonrpc":"2.0","id":2,"method":"shutdown"})");
  const std::string exit = frame(R"({"jsonrpc":"2.0","method":"exit"})");
  const std::string probe_body = R"({"jsonrpc":"2.0","id":3,"method":"vesk/probe"})";
  const std::string probe = frame(probe_body);
  auto with_headers = [&](const std::string& headers) { return headers + "\r\n" + probe_body; };
  const std::string length = "Content-Length: " + std::to_string(probe_body.size()) + "\r\n";
  struct Case {
    const char* name;
    std::string input;
    std::vector<std::string> answers;  // per frame: the id and "ok" or the error code
    int status;
    bool close_input = true;
  };
  const Case cases[] = {
      {"end of input", init + probe, {"1 ok", "3 -32601"}, 0},
      {"exit after shutdown", init + shutdown + exit + probe, {"1 ok", "2 ok"}, 0, false},
      {"exit without shutdown", init + exit + probe, {"1 ok"}, 1, false},
      {"exit before initialize", exit, {}, 1, false},
      {"charset accepted",
       init + with_headers(length + "Content-Type: application/vscode-jsonrpc; charset=utf-8\r\n"),
       {"1 ok", "3 -32601"},
       0},
      {"utf8 spelling accepted",
       init + with_headers("Content-Type: application/vscode-jsonrpc; charset=utf8\r\n" + length),
       {"1 ok", "3 -32601"},
       0},
      {"media type alone",
       init + with_headers(length + "Content-Type: application/vscode-jsonrpc\r\n") + probe,
       {"1 ok", "null -32700"},
       0},
      {"charset in upper case",
       init + with_headers(length + "Content-Type: application/vscode-jsonrpc; charset=UTF-8\r\n") + probe,
       {"1 ok", "null -32700"},
       0},
      {"plus sign in length",
       init + with_headers("Content-Length: +" + std::to_string(probe_body.size()) + "\r\n"),
       {"1 ok", "3 -32601"},
       0},
      {"lower-case name",
       init + with_headers("content-length: " + std::to_string(probe_body.size()) + "\r\n") + probe,
       {"1 ok", "null -32700"},
       0},
      {"three header lines", init + with_headers(length + "X-A: 1\r\nX-B: 2\r\n") + probe, {"1 ok", "null -32700"}, 0},
      {"other header ignored", init + with_headers("X-A: 1\r\n" + length), {"1 ok", "3 -32601"}, 0},
      {"header name with a space ignored",
       init + with_headers("X A: 1\r\n" + length) + probe,
       {"1 ok", "3 -32601", "3 -32601"},
       0},
      {"bare line feeds",
       init + "Content-Length: " + std::to_string(probe_body.size()) + "\n\n" + probe_body,
       {"1 ok", "3 -32601"},
       0},
      {"empty body skipped", init + "Content-Length: 0\r\n\r\n" + probe, {"1 ok", "3 -32601"}, 0},
      {"body not JSON", init + frame("{\"jsonrpc\":") + probe, {"1 ok", "null -32700"}, 0},
      {"body not UTF-8",
       init + frame("{\"jsonrpc\":\"2.0\",\"method\":\"\xc3\x28\"}") + probe,
       {"1 ok", "null -32700"},
       0},
      {"bare number", init + frame("42") + probe, {"1 ok", "null -32600"}, 0},
      {"not JSON-RPC 2.0",
       init + frame(R"({"jsonrpc":"1.0","id":5,"method":"x"})") + probe,
       {"1 ok", "null -32600"},
       0},
      {"ends inside a message", init + "Content-Length: 40\r\n\r\n{\"jsonrpc\"", {"1 ok", "null -32700"}, 0},
      {"ends inside a header", init + "Content-Len", {"1 ok", "null -32700"}, 0},
      {"length far beyond the input", init + "Content-Length: 200000000\r\n\r\n{}", {"1 ok", "null -32700"}, 0},
      {"length past the cap", init + "Content-Length: 999999999999\r\n\r\n" + probe, {"1 ok", "null -32700"}, 0},
      {"endless header line", init + std::string(20000, 'a'), {"1 ok", "null -32700"}, 0},
      {"JSON nested too deep",
       init + frame(std::string(200, '[') + std::string(200, ']')) + probe,
       {"1 ok", "null -32700"},
       0},
  };
  for (const Case& c_ : cases) {
    LspClient c;
    c.send_raw(c_.input);
    if (c_.close_input) c.close_input();
    const auto status = c.wait();
    EXPECT_EQ(status, c_.status) << c_.name;
    std::string error;
    const std::string out = c.rest_of_output();
    auto frames = parse_frames(out, &error);
    ASSERT_TRUE(frames) << c_.name << ": " << error;
    std::vector<std::string> answers;
    for (const auto& f : *frames) {
      const json::object& o = f.as_object();
      answers.push_back(json::serialize(o.at("id")) + " " +
                        (o.contains("result") ? "ok" : std::to_string(o.at("error").at("code").as_int64())));
    }
    EXPECT_EQ(answers, c_.answers) << c_.name;
    EXPECT_EQ(c.error_output(), "") << c_.name;
  }
}

TEST(ServerMode, OpenPublishesDiagnostics) {
  LspClient c;
  c.initialize();
  c.notify("textDocument/didOpen", open_params(kUri, kGood));
  auto published = c.read();
  ASSERT_TRUE(published);
  EXPECT_EQ(
      json::serialize(*published),
      R"({"jsonrpc":"2.0","method":"textDocument/publishDiagnostics","params":{"uri":"file:///tmp/scene.vesk","diagnostics":[]}})");

  // A second open replaces the entry and publishes again; a broken text gives one error.
  c.notify("textDocument/didOpen", open_params(kUri, kBad));
  published = c.read();
  ASSERT_TRUE(published);
  const json::object& p = published->at("params").as_object();
  EXPECT_FALSE(p.contains("version"));
  ASSERT_EQ(p.at("diagnostics").as_array().size(), 1u);
  EXPECT_EQ(p.at("diagnostics").at(0).at("severity"), json::value(1));

  // A fixing change clears it.
  c.notify("textDocument/didChange", change_params(kUri, {kGood}));
  published = c.read();
  ASSERT_TRUE(published);
  EXPECT_TRUE(published->at("params").at("diagnostics").as_array().empty());
  expect_clean_end(c, 0);
}

TEST(ServerMode, ChangesKeepTheLastText) {
  LspClient c;
  c.initialize();
  c.notify("textDocument/didOpen", open_params(kUri, kGood));
  ASSERT_TRUE(c.read());

  // Two changes: the second one is the text, even when it carries a range.
  json::value two = change_params(kUri, {kGood, "rect @other { w: 1 h: 2 }\n"});
  two.at("contentChanges").as_array()[1].as_object()["range"] =
      json::parse(R"({"start":{"line":0,"character":0},"end":{"line":0,"character":3}})");
  c.notify("textDocument/didChange", two);
  auto published = c.read();
  ASSERT_TRUE(published);
  EXPECT_TRUE(published->at("params").at("diagnostics").as_array().empty());
  c.request(1, "textDocument/documentSymbol", doc_params(kUri));
  auto symbols = c.answer(1);
  ASSERT_TRUE(symbols);
  const json::array& list = symbols->at("result").as_array();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].at("name"), json::value("rect @other"));

  // An empty change list changes nothing and publishes nothing.
  c.notify("textDocument/didChange", change_params(kUri, {}));
  EXPECT_TRUE(until_marker(c).empty());
  c.request(2, "textDocument/documentSymbol", doc_params(kUri));
  EXPECT_EQ(c.answer(2)->at("result").as_array().size(), 1u);

  // A change for a document never opened stores it and publishes.
  c.notify("textDocument/didChange", change_params("file:///tmp/new.vesk", {kBad}));
  published = c.read();
  ASSERT_TRUE(published);
  EXPECT_EQ(published->at("params").at("uri"), json::value("file:///tmp/new.vesk"));
  EXPECT_EQ(published->at("params").at("diagnostics").as_array().size(), 1u);
  expect_clean_end(c, 0);
}

TEST(ServerMode, RequestsOnOpenClosedAndUnknownDocuments) {
  LspClient c;
  c.initialize();
  c.notify("textDocument/didOpen", open_params(kUri, kGood));
  ASSERT_TRUE(c.read());

  c.request(1, "textDocument/hover", position_params(kUri, 1, 9));
  auto hover = c.answer(1);
  ASSERT_TRUE(hover);
  ASSERT_TRUE(hover->at("result").is_object()) << json::serialize(*hover);
  EXPECT_EQ(hover->at("result").at("contents").at("kind"), json::value("markdown"));

  c.request(2, "textDocument/completion", position_params(kUri, 3, 0));
  auto completion = c.answer(2);
  ASSERT_TRUE(completion);
  ASSERT_TRUE(completion->at("result").is_array());
  EXPECT_FALSE(completion->at("result").as_array().empty());

  c.request(3, "textDocument/documentSymbol", doc_params(kUri));
  auto symbols = c.answer(3);
  ASSERT_TRUE(symbols);
  EXPECT_EQ(symbols->at("result").as_array().size(), 2u);

  // Closing publishes nothing; afterwards the document is unknown.
  c.notify("textDocument/didClose", doc_params(kUri));
  c.notify("textDocument/didClose", doc_params("file:///tmp/never.vesk"));
  EXPECT_TRUE(until_marker(c).empty());
  for (const char* uri : {kUri, "file:///tmp/never.vesk"}) {
    c.request(4, "textDocument/hover", position_params(uri, 1, 9));
    EXPECT_TRUE(c.answer(4)->at("result").is_null());
    c.request(5, "textDocument/completion", position_params(uri, 0, 0));
    EXPECT_EQ(c.answer(5)->at("result"), json::array{});
    c.request(6, "textDocument/documentSymbol", doc_params(uri));
    EXPECT_EQ(c.answer(6)->at("result"), json::array{});
  }
  expect_clean_end(c, 0);
}

TEST(ServerMode, OpenBeforeInitializeStoresNothing) {
  LspClient c;
  c.notify("textDocument/didOpen", open_params(kUri, kGood));
  c.initialize();
  c.request(1, "textDocument/documentSymbol", doc_params(kUri));
  auto a = c.answer(1);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->at("result"), json::array{});
  expect_clean_end(c, 0);
}

TEST(ServerMode, UriSpellingsNameOneDocument) {
  LspClient c;
  c.initialize();
  c.notify("textDocument/didOpen", open_params("FILE:///tmp/./dir/../scene.vesk", kGood));
  auto published = c.read();
  ASSERT_TRUE(published);
  EXPECT_EQ(published->at("params").at("uri"), json::value(kUri));
  c.request(1, "textDocument/documentSymbol", doc_params("file:///tmp/scene.vesk"));
  auto symbols = c.answer(1);
  ASSERT_TRUE(symbols);
  const json::array& list = symbols->at("result").as_array();
  ASSERT_FALSE(list.empty());
  for (const auto& s : list) EXPECT_EQ(s.at("location").at("uri"), json::value(kUri));
  // Asked with a third spelling, the location carries the normalised form.
  c.request(2, "textDocument/documentSymbol", doc_params("file:/tmp/scene.vesk"));
  auto again = c.answer(2);
  ASSERT_TRUE(again);
  ASSERT_EQ(again->at("result").as_array().size(), list.size());
  EXPECT_EQ(again->at("result").at(0).at("location").at("uri"), json::value(kUri));
  c.notify("textDocument/didClose", doc_params("file:///tmp/%2E/scene.vesk"));
  c.request(3, "textDocument/documentSymbol", doc_params(kUri));
  EXPECT_EQ(c.answer(3)->at("result"), json::array{});
  expect_clean_end(c, 0);
}

TEST(ServerMode, ShutdownKeepsDocumentsAndStillPublishesNothingNew) {
  LspClient c;
  c.initialize();
  c.notify("textDocument/didOpen", open_params(kUri, kGood));
  ASSERT_TRUE(c.read());
  c.request(1, "shutdown");
  ASSERT_TRUE(c.answer(1));
  c.notify("textDocument/didOpen", open_params(kUri, kBad));  // ignored once shut down
  EXPECT_TRUE(until_marker(c).empty());
  c.notify("exit");
  EXPECT_EQ(c.wait(), 0);
  EXPECT_EQ(c.error_output(), "");
}

TEST(ServerMode, ArgumentsOtherThanFormatServe) {
  for (std::vector<std::string> args :
       {std::vector<std::string>{"--stdio"}, {"extra", "--format"}, {"--FORMAT"}, {"--format=1"}}) {
    LspClient c(args);
    c.request(1, "initialize", json::parse(R"({"capabilities":{}})"));
    auto a = c.answer(1);
    ASSERT_TRUE(a) << args[0];
    EXPECT_TRUE(a->as_object().contains("result"));
    expect_clean_end(c, 0);
  }
}

// A burst far larger than the queue is read, handled and answered in order.
TEST(ServerMode, ManyMessagesInOneWrite) {
  LspClient c;
  c.initialize();
  std::string burst;
  for (int i = 0; i < 300; ++i) {
    burst += frame(json::serialize(json::object{{"jsonrpc", "2.0"},
                                                {"id", i},
                                                {"method", "textDocument/completion"},
                                                {"params", position_params(kUri, 0, 0)}}));
  }
  c.send_raw(burst);
  for (int i = 0; i < 300; ++i) {
    auto a = c.read();
    ASSERT_TRUE(a);
    EXPECT_EQ(a->at("id"), json::value(i));
  }
  expect_clean_end(c, 0);
}

}  // namespace
}  // namespace vesk_lsp::testing
