#include "service.hpp"
#include "methods.hpp"

#include "vesk/testing/frames.hpp"

#include <gtest/gtest.h>
#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>

#include <unistd.h>

#include <future>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace vesk_lsp::service {
namespace {

namespace json = boost::json;

std::optional<std::string> any_uri(std::string_view text) {
  if (text.find(':') == std::string_view::npos) return std::nullopt;
  return std::string(text);
}

// Records every call; hover throws for the document "f:throw".
class FakeServer : public LanguageServer {
 public:
  FakeServer(Client& client, std::vector<std::string>& calls) : client_(client), calls_(calls) {}
  json::value initialize(const protocol::InitializeParams&) override {
    calls_.push_back("initialize");
    return json::parse(R"({"capabilities":{}})");
  }
  void initialized(const protocol::InitializedParams&) override {
    calls_.push_back("initialized");
    client_.log_message(3, "hello");
  }
  void shutdown() override { calls_.push_back("shutdown"); }
  void did_open(protocol::DidOpenParams p) override {
    calls_.push_back("did_open " + p.uri);
    client_.publish_diagnostics(p.uri, {});
  }
  void did_change(protocol::DidChangeParams p) override { calls_.push_back("did_change " + p.uri); }
  void did_close(const protocol::DidCloseParams& p) override { calls_.push_back("did_close " + p.uri); }
  json::value hover(const protocol::PositionParams& p) override {
    if (p.uri == "f:throw") throw std::runtime_error("boom");
    calls_.push_back("hover " + std::to_string(p.position.line));
    return nullptr;
  }
  json::value document_symbol(const protocol::DocumentSymbolParams&) override {
    calls_.push_back("document_symbol");
    return json::array{};
  }
  json::value completion(const protocol::PositionParams&) override {
    calls_.push_back("completion");
    return json::array{};
  }

 private:
  Client& client_;
  std::vector<std::string>& calls_;
};

jsonrpc::Message msg(const std::string& body) {
  auto d = jsonrpc::decode(body);
  return std::get<jsonrpc::Message>(d);
}

std::string request(int id, const std::string& method, const std::string& params = "") {
  std::string s = R"({"jsonrpc":"2.0","id":)" + std::to_string(id) + R"(,"method":")" + method + "\"";
  if (!params.empty()) s += ",\"params\":" + params;
  return s + "}";
}

std::string notification(const std::string& method, const std::string& params = "") {
  std::string s = R"({"jsonrpc":"2.0","method":")" + method + "\"";
  if (!params.empty()) s += ",\"params\":" + params;
  return s + "}";
}

const std::string kInit = request(100, "initialize", R"({"capabilities":{}})");
const std::string kHoverParams = R"({"textDocument":{"uri":"f:a"},"position":{"line":4,"character":0}})";
const std::string kOpenParams = R"({"textDocument":{"uri":"f:a","languageId":"vesk","version":1,"text":""}})";

struct Harness {
  transport::StringSink sink;
  transport::Writer writer{sink};
  std::vector<std::string> calls;
  Service service{writer, [this](Client& c) { return std::make_unique<FakeServer>(c, calls); }, any_uri};

  bool send(const std::string& body) { return service.handle(msg(body)); }
  std::vector<json::value> output() {
    std::string error;
    auto frames = vesk_testing::parse_frames(sink.take(), &error);
    EXPECT_TRUE(frames.has_value()) << error;
    return frames.value_or(std::vector<json::value>{});
  }
  void reach(State s) {
    if (s == State::kUninitialized) return;
    send(kInit);
    if (s == State::kShutDown) send(request(101, "shutdown"));
    output();
    calls.clear();
  }
};

// The answer for one message: "result" or the error code, "-" when nothing is written.
std::string answer_of(const std::vector<json::value>& out) {
  if (out.empty()) return "-";
  const json::object& o = out.back().as_object();
  if (o.contains("result")) return "result";
  return std::to_string(o.at("error").at("code").as_int64());
}

TEST(Dispatch, StateTimesMessage) {
  struct Case {
    const char* name;
    std::string body;
    const char* uninitialized;
    const char* initialized;
    const char* shut_down;
  };
  const Case cases[] = {
      {"initialize", request(1, "initialize", R"({"capabilities":{}})"), "result", "-32600", "-32600"},
      {"shutdown", request(1, "shutdown"), "-32002", "result", "-32600"},
      {"hover", request(1, "textDocument/hover", kHoverParams), "-32002", "result", "-32600"},
      {"completion", request(1, "textDocument/completion", kHoverParams), "-32002", "result", "-32600"},
      {"symbols", request(1, "textDocument/documentSymbol", R"({"textDocument":{"uri":"f:a"}})"), "-32002", "result",
       "-32600"},
      {"unimplemented request", request(1, "textDocument/definition", kHoverParams), "-32002", "-32601", "-32600"},
      {"unknown request", request(1, "foo/bar"), "-32002", "-32601", "-32600"},
      {"notification sent as request", request(1, "textDocument/didOpen", kOpenParams), "-32002", "-32600", "-32600"},
      {"exit sent as request", request(1, "exit"), "-32002", "-32600", "-32600"},
      {"cancel sent as request", request(1, "$/cancelRequest", R"({"id":1})"), "-32002", "-32600", "-32600"},
      {"unimplemented notification as request", request(1, "textDocument/didSave"), "-32002", "-32600", "-32600"},
      {"didOpen", notification("textDocument/didOpen", kOpenParams), "-", "-", "-"},
      {"unimplemented notification", notification("textDocument/didSave", "{}"), "-", "-", "-"},
      {"unknown notification", notification("foo/bar", "{}"), "-", "-", "-"},
      {"request method as notification", notification("textDocument/hover", kHoverParams), "-", "-", "-"},
      {"response", R"({"jsonrpc":"2.0","id":9,"result":null})", "-", "-", "-"},
  };
  for (const Case& c : cases) {
    const std::pair<State, const char*> states[] = {{State::kUninitialized, c.uninitialized},
                                                    {State::kInitialized, c.initialized},
                                                    {State::kShutDown, c.shut_down}};
    for (const auto& [state, expected] : states) {
      Harness h;
      h.reach(state);
      EXPECT_TRUE(h.send(c.body));
      auto out = h.output();
      // A didOpen that runs publishes diagnostics; only answers are looked at here.
      std::erase_if(out, [](const json::value& v) { return v.as_object().contains("method"); });
      EXPECT_LE(out.size(), 1u) << c.name;
      EXPECT_EQ(answer_of(out), expected) << c.name << " in state " << static_cast<int>(state);
      if (!out.empty()) {
        EXPECT_EQ(out[0].at("id"), json::value(1)) << c.name;
      }
    }
  }
}

TEST(Dispatch, NotificationsReachTheServerOnlyWhenInitialized) {
  for (State s : {State::kUninitialized, State::kInitialized, State::kShutDown}) {
    Harness h;
    h.reach(s);
    h.send(notification("textDocument/didOpen", kOpenParams));
    h.send(notification("textDocument/didClose", R"({"textDocument":{"uri":"f:a"}})"));
    const std::vector<std::string> expected = s == State::kInitialized
                                                  ? std::vector<std::string>{"did_open f:a", "did_close f:a"}
                                                  : std::vector<std::string>{};
    EXPECT_EQ(h.calls, expected) << static_cast<int>(s);
  }
}

TEST(Dispatch, MethodNotFoundData) {
  Harness h;
  h.reach(State::kInitialized);
  h.send(request(1, "textDocument/definition", kHoverParams));
  h.send(request(2, "x/unknown"));
  h.send(request(3, "textDocument/definition"));  // no params: still not found
  const auto out = h.output();
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(json::serialize(out[0]),
            R"({"jsonrpc":"2.0","error":{"code":-32601,"message":"Method not found"},"id":1})");
  EXPECT_EQ(json::serialize(out[1]),
            R"({"jsonrpc":"2.0","error":{"code":-32601,"message":"Method not found","data":"x/unknown"},"id":2})");
  EXPECT_EQ(out[2].at("error").at("code"), json::value(-32601));
}

TEST(Dispatch, InvalidParams) {
  Harness h;
  h.send(request(1, "initialize"));
  h.send(request(2, "initialize", "{}"));
  EXPECT_EQ(h.service.state(), State::kUninitialized);
  h.send(request(3, "initialize", R"({"capabilities":{}})"));
  EXPECT_EQ(h.service.state(), State::kInitialized);
  h.send(request(4, "textDocument/hover"));
  h.send(request(5, "textDocument/hover", R"({"textDocument":{"uri":"f:a"},"position":{"line":-1,"character":0}})"));
  h.send(request(6, "textDocument/hover", R"({"textDocument":{"uri":"nouri"},"position":{"line":0,"character":0}})"));
  // A null params member is an absent one.
  h.send(request(7, "textDocument/hover", "null"));
  h.send(request(8, "shutdown", "null"));
  // Notifications with bad parameters are dropped.
  h.send(notification("textDocument/didOpen", R"({"textDocument":{"uri":"f:a"}})"));
  h.send(notification("textDocument/didOpen"));
  h.send(notification("textDocument/didOpen", "null"));
  const auto out = h.output();
  ASSERT_EQ(out.size(), 8u);
  EXPECT_EQ(json::serialize(out[0]),
            R"({"jsonrpc":"2.0","error":{"code":-32602,"message":"Missing params field"},"id":1})");
  EXPECT_EQ(out[1].at("error").at("code"), json::value(-32602));
  EXPECT_NE(std::string(out[1].at("error").at("message").as_string()).find("capabilities"), std::string::npos);
  EXPECT_TRUE(out[2].as_object().contains("result"));
  EXPECT_EQ(json::serialize(out[3]),
            R"({"jsonrpc":"2.0","error":{"code":-32602,"message":"Missing params field"},"id":4})");
  EXPECT_NE(std::string(out[4].at("error").at("message").as_string()).find("position.line"), std::string::npos);
  EXPECT_NE(std::string(out[5].at("error").at("message").as_string()).find("invalid URI"), std::string::npos);
  EXPECT_EQ(json::serialize(out[6]),
            R"({"jsonrpc":"2.0","error":{"code":-32602,"message":"Missing params field"},"id":7})");
  EXPECT_EQ(json::serialize(out[7]), R"({"jsonrpc":"2.0","result":null,"id":8})");
  EXPECT_EQ(h.calls, (std::vector<std::string>{"initialize", "shutdown"}));
}

TEST(Dispatch, InitializedAndPublishRule) {
  Harness h;
  // Before initialize the server's publish is dropped (and didOpen does not run anyway).
  h.send(notification("initialized", "{}"));
  EXPECT_TRUE(h.calls.empty());
  h.reach(State::kInitialized);
  // Without its empty object, absent or null, it is dropped like any notification that does not decode.
  h.send(notification("initialized"));
  h.send(notification("initialized", "null"));
  h.send(notification("initialized", "[]"));
  EXPECT_TRUE(h.calls.empty());
  h.send(notification("initialized", "{}"));
  h.send(notification("initialized", "{}"));
  h.send(notification("textDocument/didOpen", kOpenParams));
  const auto out = h.output();
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(json::serialize(out[0]),
            R"({"jsonrpc":"2.0","method":"window/logMessage","params":{"type":3,"message":"hello"}})");
  EXPECT_EQ(out[1], out[0]);
  EXPECT_EQ(json::serialize(out[2]),
            R"({"jsonrpc":"2.0","method":"textDocument/publishDiagnostics","params":{"uri":"f:a","diagnostics":[]}})");
}

TEST(Dispatch, ClientPublishesOnlyWhenInitializedOrShutDown) {
  for (State s : {State::kUninitialized, State::kInitialized, State::kShutDown, State::kExited}) {
    transport::StringSink sink;
    transport::Writer writer(sink);
    Outbox outbox(writer);
    std::atomic<State> state{s};
    Client client(outbox, state);
    client.publish_diagnostics("f:a", {});
    const bool sent = !sink.take().empty();
    EXPECT_EQ(sent, s == State::kInitialized || s == State::kShutDown) << static_cast<int>(s);
    client.log_message(3, "x");
    EXPECT_FALSE(sink.take().empty());
  }
}

TEST(Dispatch, DuplicateIdsAndCancellationWithinABatch) {
  Harness h;
  h.reach(State::kInitialized);
  const std::string hover = request(7, "textDocument/hover", kHoverParams);
  EXPECT_TRUE(h.service.handle(std::vector<jsonrpc::Message>{msg(hover), msg(hover),
                                                             msg(request(8, "textDocument/completion", kHoverParams)),
                                                             msg(notification("$/cancelRequest", R"({"id":8})"))}));
  auto out = h.output();
  ASSERT_EQ(out.size(), 3u);
  EXPECT_TRUE(out[0].as_object().contains("result"));
  EXPECT_EQ(json::serialize(out[1]), R"({"jsonrpc":"2.0","error":{"code":-32600,"message":"Invalid request"},"id":7})");
  EXPECT_EQ(json::serialize(out[2]), R"({"jsonrpc":"2.0","error":{"code":-32800,"message":"Canceled"},"id":8})");
  // The cancelled request had run when the cancel was read; only its answer changes.
  EXPECT_EQ(h.calls, (std::vector<std::string>{"hover 4", "completion"}));

  // Once answered, an id is free again, and cancelling it does nothing.
  h.send(notification("$/cancelRequest", R"({"id":7})"));
  h.send(hover);
  h.service.handle(std::vector<jsonrpc::Message>{msg(hover), msg(notification("$/cancelRequest", R"({"id":"7"})"))});
  out = h.output();
  ASSERT_EQ(out.size(), 2u);
  EXPECT_TRUE(out[0].as_object().contains("result"));
  EXPECT_TRUE(out[1].as_object().contains("result"));
}

using vesk_testing::summary;

std::string cancel(int id) { return notification("$/cancelRequest", R"({"id":)" + std::to_string(id) + "}"); }
std::string hover_request(int id) { return request(id, "textDocument/hover", kHoverParams); }

// Messages handled together, each judged by the state the ones before it left.
TEST(Dispatch, BatchInReadOrder) {
  struct Case {
    const char* name;
    State start;
    std::vector<std::string> batch;
    std::vector<std::string> written;
    int status;  // -1: serving goes on
  };
  const std::string exit = notification("exit");
  const Case cases[] = {
      {"nothing after exit is handled", State::kInitialized, {hover_request(50), exit, cancel(50)}, {"50 result"}, 1},
      {"a cancel after shutdown is ignored",
       State::kInitialized,
       {hover_request(12), request(13, "shutdown"), cancel(12), exit},
       {"12 result", "13 result"},
       0},
      {"a request after shutdown",
       State::kInitialized,
       {request(10, "shutdown"), hover_request(11), cancel(11), exit},
       {"10 result", "11 -32600"},
       0},
      {"refused requests are not in progress",
       State::kUninitialized,
       {hover_request(7), hover_request(7), exit},
       {"7 -32002", "7 -32002"},
       1},
      {"initialized by an earlier message",
       State::kUninitialized,
       {kInit, hover_request(2), cancel(2)},
       {"100 result", "2 -32800"},
       -1},
      {"open after initialize in one batch",
       State::kUninitialized,
       {kInit, notification("textDocument/didOpen", kOpenParams), hover_request(2)},
       {"100 result", "textDocument/publishDiagnostics", "2 result"},
       -1},
      {"second initialize", State::kUninitialized, {kInit, kInit}, {"100 result", "100 -32600"}, -1},
      {"repeated id", State::kInitialized, {hover_request(3), hover_request(3)}, {"3 result", "3 -32600"}, -1},
      {"bad params are not in progress",
       State::kInitialized,
       {request(4, "textDocument/hover", "{}"), hover_request(4)},
       {"4 -32602", "4 result"},
       -1},
      {"a cancelled id is free again",
       State::kInitialized,
       {hover_request(5), cancel(5), hover_request(5)},
       {"5 -32800", "5 result"},
       -1},
      {"a cancel before its request", State::kInitialized, {cancel(6), hover_request(6)}, {"6 result"}, -1},
      {"an error answer is not in progress",
       State::kInitialized,
       {request(9, "textDocument/definition", kHoverParams), cancel(9)},
       {"9 -32601"},
       -1},
      {"cancel of shutdown comes too late", State::kInitialized, {request(8, "shutdown"), cancel(8)}, {"8 result"}, -1},
  };
  for (const Case& c : cases) {
    Harness h;
    h.reach(c.start);
    std::vector<jsonrpc::Message> batch;
    for (const std::string& body : c.batch) batch.push_back(msg(body));
    const bool serving = h.service.handle(batch);
    EXPECT_EQ(summary(h.output()), c.written) << c.name;
    EXPECT_EQ(serving, c.status < 0) << c.name;
    if (!serving) {
      EXPECT_EQ(h.service.exit_status(), c.status) << c.name;
    }
  }
}

TEST(Dispatch, FailingOperationAnswersInternalError) {
  Harness h;
  h.reach(State::kInitialized);
  h.send(request(1, "textDocument/hover", R"({"textDocument":{"uri":"f:throw"},"position":{"line":0,"character":0}})"));
  h.send(request(2, "textDocument/hover", kHoverParams));
  const auto out = h.output();
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].at("error").at("code"), json::value(-32603));
  EXPECT_TRUE(out[1].as_object().contains("result"));
}

TEST(Dispatch, ExitStatusAndLaterMessagesDropped) {
  struct Case {
    State state;
    int status;
  };
  for (const Case c : {Case{State::kUninitialized, 1}, Case{State::kInitialized, 1}, Case{State::kShutDown, 0}}) {
    Harness h;
    h.reach(c.state);
    EXPECT_FALSE(h.service.handle(
        std::vector<jsonrpc::Message>{msg(notification("exit")), msg(request(5, "textDocument/hover", kHoverParams))}));
    EXPECT_EQ(h.service.exit_status(), c.status);
    EXPECT_EQ(h.service.state(), State::kExited);
    EXPECT_TRUE(h.output().empty());
  }
}

// Whole runs over in-memory input.
struct RunResult {
  int status;
  std::vector<json::value> out;
  std::vector<std::string> calls;
};

RunResult run(const std::string& input) {
  transport::MemorySource source(input, 1000);
  transport::StringSink sink;
  std::vector<std::string> calls;
  const int status = serve(
      source, sink, [&](Client& c) { return std::make_unique<FakeServer>(c, calls); }, any_uri);
  std::string error;
  auto frames = vesk_testing::parse_frames(sink.take(), &error);
  EXPECT_TRUE(frames.has_value()) << error;
  return {status, frames.value_or(std::vector<json::value>{}), calls};
}

using vesk_testing::frame;

TEST(Serve, EndsOfInput) {
  struct Case {
    const char* name;
    std::string input;
    int status;
    std::vector<std::string> answers;  // "result", or the error code with the id
  };
  const std::string hover = frame(request(2, "textDocument/hover", kHoverParams));
  const Case cases[] = {
      {"end of input", frame(kInit) + hover, 0, {"result", "result"}},
      {"not JSON", frame(kInit) + frame("{oops") + hover, 0, {"result", "-32700 null"}},
      {"not a message", frame(kInit) + frame("42") + hover, 0, {"result", "-32600 null"}},
      {"ends inside a message", frame(kInit) + "Content-Length: 10\r\n\r\n{", 0, {"result", "-32700 null"}},
      {"bad header",
       frame(kInit) + "Content-Type: text/plain\r\nContent-Length: 2\r\n\r\n{}" + hover,
       0,
       {"result", "-32700 null"}},
      {"exit before shutdown", frame(kInit) + frame(notification("exit")) + hover, 1, {"result"}},
      {"exit after shutdown",
       frame(kInit) + frame(request(3, "shutdown")) + frame(notification("exit")) + hover,
       0,
       {"result", "result"}},
      {"exit uninitialized", frame(notification("exit")) + hover, 1, {}},
  };
  for (const Case& c : cases) {
    const RunResult r = run(c.input);
    EXPECT_EQ(r.status, c.status) << c.name;
    std::vector<std::string> answers;
    for (const json::value& v : r.out) {
      const json::object& o = v.as_object();
      if (o.contains("result")) {
        answers.push_back("result");
      } else {
        answers.push_back(std::to_string(o.at("error").at("code").as_int64()) + " " + json::serialize(o.at("id")));
      }
    }
    EXPECT_EQ(answers, c.answers) << c.name;
  }
}

TEST(Serve, ManyMessagesPassTheBoundedQueueInOrder) {
  std::string input = frame(kInit);
  for (int i = 0; i < 1000; ++i)
    input += frame(
        request(i, "textDocument/hover",
                R"({"textDocument":{"uri":"f:a"},"position":{"line":)" + std::to_string(i) + R"(,"character":0}})"));
  const RunResult r = run(input);
  ASSERT_EQ(r.out.size(), 1001u);
  for (int i = 0; i < 1000; ++i) {
    EXPECT_EQ(r.out[static_cast<std::size_t>(i) + 1].at("id"), json::value(i));
    EXPECT_EQ(r.calls[static_cast<std::size_t>(i) + 1], "hover " + std::to_string(i));
  }
}

// `exit` while the input is still open: the blocked reader must not hold the run up.
TEST(Serve, ExitDoesNotWaitForABlockedRead) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const std::string input = frame(kInit) + frame(request(1, "shutdown")) + frame(notification("exit"));
  ASSERT_EQ(::write(fds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  auto done = std::async(std::launch::async, [&] {
    transport::FdSource source(fds[0]);
    transport::StringSink sink;
    std::vector<std::string> calls;
    return serve(
        source, sink, [&](Client& c) { return std::make_unique<FakeServer>(c, calls); }, any_uri);
  });
  const bool finished = done.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  ::close(fds[1]);  // unblocks a hung run so the test can end
  ASSERT_TRUE(finished);
  EXPECT_EQ(done.get(), 0);
  ::close(fds[0]);
}

// What a method is: "request", "notification", "unimplemented request",
// "unimplemented notification", "service notification" or "unknown".
std::string kind_of(std::string_view method) {
  const Binding* b = find_method(method);
  if (b == nullptr) return "unknown";
  const std::string kind = b->kind == MethodKind::kRequest ? "request" : "notification";
  if (b->call != nullptr) return kind;
  return b->step == Step::kNone ? "unimplemented " + kind : "service " + kind;
}

TEST(Methods, KnowsTheUnimplementedMethods) {
  EXPECT_EQ(kind_of("textDocument/willSaveWaitUntil"), "unimplemented request");
  EXPECT_EQ(kind_of("workspace/executeCommand"), "unimplemented request");
  EXPECT_EQ(kind_of("workspace/didChangeWatchedFiles"), "unimplemented notification");
  EXPECT_EQ(kind_of("textDocument/hover"), "request");
  EXPECT_EQ(kind_of("textDocument/didOpen"), "notification");
  EXPECT_EQ(kind_of("$/cancelRequest"), "service notification");
  EXPECT_EQ(kind_of("exit"), "service notification");
  EXPECT_EQ(kind_of("textDocument/Hover"), "unknown");
  EXPECT_EQ(kind_of(""), "unknown");
}

// Each method once; nine bound to operations, two run by the service, 46
// requests and 8 notifications known but not implemented.
TEST(Methods, TableHoldsEachMethodOnce) {
  std::map<std::string, int> counts;
  for (const Binding& b : bindings()) {
    EXPECT_EQ(find_method(b.method), &b) << b.method;
    ++counts[kind_of(b.method)];
  }
  EXPECT_EQ(counts, (std::map<std::string, int>{{"request", 5},
                                                {"notification", 4},
                                                {"service notification", 2},
                                                {"unimplemented request", 46},
                                                {"unimplemented notification", 8}}));
}

}  // namespace
}  // namespace vesk_lsp::service
