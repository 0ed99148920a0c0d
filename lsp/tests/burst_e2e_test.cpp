// Messages written to the binary in one write: each is judged in the order
// read, by the state that the messages before it left.

#include "lsp_client.hpp"

#include "vesk/testing/frames.hpp"

#include <gtest/gtest.h>
#include <boost/json/object.hpp>
#include <boost/json/serialize.hpp>

#include <string>
#include <vector>

namespace vesk_lsp::testing {
namespace {

namespace json = boost::json;
using vesk_testing::frame;
using vesk_testing::parse_frames;
using vesk_testing::summary;

const std::string kDoc = R"({"textDocument":{"uri":"file:///b.vesk"})";
const std::string kOpen =
    R"({"textDocument":{"uri":"file:///b.vesk","languageId":"vesk","version":1,"text":"rect @r { w: 1 h: 2 }\n"}})";

std::string request(int id, const std::string& method, const std::string& params = "") {
  std::string s = R"({"jsonrpc":"2.0","id":)" + std::to_string(id) + R"(,"method":")" + method + "\"";
  if (!params.empty()) s += R"(,"params":)" + params;
  return frame(s + "}");
}

std::string notification(const std::string& method, const std::string& params = "") {
  std::string s = R"({"jsonrpc":"2.0","method":")" + method + "\"";
  if (!params.empty()) s += R"(,"params":)" + params;
  return frame(s + "}");
}

std::string initialize(int id) { return request(id, "initialize", R"({"capabilities":{}})"); }
std::string hover(int id) {
  return request(id, "textDocument/hover", kDoc + R"(,"position":{"line":0,"character":1}})");
}
std::string shutdown(int id) { return request(id, "shutdown"); }
std::string cancel(int id) { return notification("$/cancelRequest", R"({"id":)" + std::to_string(id) + "}"); }
const std::string kExit = notification("exit");

TEST(Burst, JudgedInReadOrder) {
  struct Case {
    const char* name;
    bool initialized;  // initialize and initialized answered before the burst
    std::vector<std::string> burst;
    std::vector<std::string> written;
    int status;
  };
  const Case cases[] = {
      {"nothing after exit is handled", true, {hover(50), kExit, cancel(50)}, {"50 result"}, 1},
      {"a cancel after shutdown is ignored",
       true,
       {hover(12), shutdown(13), cancel(12), kExit},
       {"12 result", "13 result"},
       0},
      {"a request after shutdown", true, {shutdown(10), hover(11), cancel(11), kExit}, {"10 result", "11 -32600"}, 0},
      {"refused requests are not in progress", false, {hover(7), hover(7), kExit}, {"7 -32002", "7 -32002"}, 1},
      {"a cancel after initialize counts", false, {initialize(1), hover(2), cancel(2)}, {"1 result", "2 -32800"}, 0},
      {"initialized, opened and asked in one burst",
       false,
       {initialize(1), notification("initialized", "{}"), notification("textDocument/didOpen", kOpen),
        request(2, "textDocument/documentSymbol", kDoc + "}")},
       {"1 result", "window/logMessage", "textDocument/publishDiagnostics", "2 result"},
       0},
      {"a repeated id in progress", true, {hover(3), hover(3)}, {"3 result", "3 -32600"}, 0},
      {"a cancelled id is free again", true, {hover(5), cancel(5), hover(5)}, {"5 -32800", "5 result"}, 0},
      {"at most four at once: the fifth comes after they are answered",
       false,
       {initialize(1), hover(2), hover(3), hover(4), cancel(2)},
       {"1 result", "2 result", "3 result", "4 result"},
       0},
      {"null params", true, {request(6, "textDocument/hover", "null"), kExit}, {"6 -32602"}, 1},
  };
  for (const Case& c : cases) {
    LspClient client;
    if (c.initialized) client.initialize();
    std::string burst;
    for (const std::string& m : c.burst) burst += m;
    client.send_raw(burst);
    client.close_input();
    EXPECT_EQ(client.wait(), c.status) << c.name;
    std::string error;
    const auto frames = parse_frames(client.rest_of_output(), &error);
    ASSERT_TRUE(frames) << c.name << ": " << error;
    EXPECT_EQ(summary(*frames), c.written) << c.name;
    EXPECT_EQ(client.error_output(), "") << c.name;
  }
}

}  // namespace
}  // namespace vesk_lsp::testing
