// vesk-lsp under hostile input and load: deep nesting, a huge document, a huge
// announced length, many documents and long sessions.

#include "completion.hpp"
#include "hover.hpp"
#include "lsp_client.hpp"
#include "server.hpp"
#include "service.hpp"
#include "symbols.hpp"
#include "transport.hpp"

#include "vesk/core/format.hpp"
#include "vesk/core/id.hpp"
#include "vesk/core/parser.hpp"
#include "vesk/testing/frames.hpp"
#include "vesk/testing/process.hpp"
#include "vesk/testing/scene_gen.hpp"

#include <gtest/gtest.h>
#include <boost/json/array.hpp>
#include <boost/json/object.hpp>
#include <boost/json/serialize.hpp>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define VESK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VESK_ASAN 1
#endif
#endif

namespace vesk_lsp::testing {
namespace {

namespace json = boost::json;
using vesk_testing::frame;
using vesk_testing::nested_groups;
using vesk_testing::parse_frames;
using vesk_testing::ProcessOptions;
using vesk_testing::run_process;

const std::string kBinary = VESK_LSP_BINARY;
constexpr std::string_view kNodeMessage = "Node parse error: Parsing Error: ContextError { context: [], cause: None }";
constexpr const char* kUri = "file:///tmp/limits.vesk";

#ifdef VESK_ASAN
// The sanitizer build keeps freed memory in quarantine and maps shadow memory.
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

struct Measured {
  vesk_testing::ProcessResult result;
  long peak_rss_kb = -1;
};

// Runs the server binary on `input` and measures its peak memory.
Measured run_measured(const std::string& input, std::chrono::milliseconds timeout) {
  const std::string file = ::testing::TempDir() + "vesk_limits_rss";
  Measured m;
  m.result = run_process({VESK_PEAK_RSS_BINARY, file, kBinary}, input, ProcessOptions{timeout});
  std::ifstream in(file);
  in >> m.peak_rss_kb;
  return m;
}

std::string message(const json::object& m) { return frame(json::serialize(m)); }

std::string request(int id, std::string_view method, json::value params) {
  return message(json::object{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}});
}

std::string notification(std::string_view method, json::value params) {
  return message(json::object{{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
}

std::string initialize() {
  return request(0, "initialize", json::object{{"capabilities", json::object{}}}) +
         notification("initialized", json::object{});
}

std::string shutdown_and_exit(int id) {
  return message(json::object{{"jsonrpc", "2.0"}, {"id", id}, {"method", "shutdown"}}) +
         message(json::object{{"jsonrpc", "2.0"}, {"method", "exit"}});
}

std::string did_open(std::string_view uri, std::string_view text) {
  return notification(
      "textDocument/didOpen",
      json::object{
          {"textDocument", json::object{{"uri", uri}, {"languageId", "vesk"}, {"version", 1}, {"text", text}}}});
}

std::string did_change(std::string_view uri, int version, std::string_view text) {
  return notification("textDocument/didChange",
                      json::object{{"textDocument", json::object{{"uri", uri}, {"version", version}}},
                                   {"contentChanges", json::array{json::object{{"text", text}}}}});
}

std::string did_close(std::string_view uri) {
  return notification("textDocument/didClose", json::object{{"textDocument", json::object{{"uri", uri}}}});
}

json::value position(std::string_view uri, int line, int character) {
  return json::object{{"textDocument", json::object{{"uri", uri}}},
                      {"position", json::object{{"line", line}, {"character", character}}}};
}

std::vector<json::value> frames_of(const std::string& out) {
  std::string error;
  auto frames = parse_frames(out, &error);
  EXPECT_TRUE(frames.has_value()) << error;
  return frames ? std::move(*frames) : std::vector<json::value>{};
}

bool is_method(const json::value& v, std::string_view method) {
  const auto* m = v.as_object().if_contains("method");
  return m && m->is_string() && m->as_string() == method;
}

// About 1 KB of valid text, different for every `k`.
std::string kilobyte_document(int k) {
  std::string text;
  for (int i = 0; text.size() < 1000; ++i) {
    text += "rect @d" + std::to_string(k) + "_" + std::to_string(i) + " { w: " + std::to_string(i) + " h: 10 }\n";
  }
  return text;
}

// Positions far past the end of a line or of the text are clamped, never read
// beyond the text.
TEST(Limits, FeaturesAtExtremePositions) {
  constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
  const std::string texts[] = {"", "rect @a {", "rect @a {\r\n  w: 1\n}\n", "text @t \"\xC3\xA9\xF0\x9F\x98\x80\" {\n",
                               "\n\n"};
  const std::pair<std::uint32_t, std::uint32_t> positions[] = {
      {0, kMax}, {kMax, 0}, {kMax, kMax}, {1, kMax}, {kMax - 1, 7}};
  for (const std::string& text : texts) {
    auto parsed = vesk_core::parser::parse_document(text);
    const auto* graph = parsed.ok() ? &parsed.value() : nullptr;
    for (const auto& [line, character] : positions) {
      SCOPED_TRACE(text + " @ " + std::to_string(line) + ":" + std::to_string(character));
      const auto hover = hover::compute_hover(text, line, character, graph);
      EXPECT_TRUE(hover.is_null() || hover.is_object());
      EXPECT_LE(completion::compute_completions(text, line, character).size(), 17u);
    }
  }
}

TEST(Limits, DeepNestingThroughFormat) {
  const auto r =
      run_process({kBinary, "--format"}, nested_groups(100000, "g"), ProcessOptions{std::chrono::seconds(120)});
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "vesk-lsp --format error: " + std::string(kNodeMessage) + "\n");
}

// The document is refused with one diagnostic; the features still answer on
// its text, deep inside it too, and the server stays up.
TEST(Limits, DeepNestingThroughDidOpen) {
  const json::value symbol_params = json::object{{"textDocument", json::object{{"uri", kUri}}}};
  const std::string input = initialize() + did_open(kUri, nested_groups(100000, "g")) +
                            request(1, "textDocument/hover", position(kUri, 0, 0)) +
                            request(2, "textDocument/completion", position(kUri, 99999, 10)) +
                            request(3, "textDocument/documentSymbol", symbol_params) +
                            request(4, "textDocument/hover", position(kUri, 150000, 0)) + shutdown_and_exit(5);
  const auto r = run_process({kBinary}, input, ProcessOptions{std::chrono::seconds(120)});
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  const auto frames = frames_of(r.out);
  std::vector<json::value> published;
  std::vector<std::int64_t> answered;
  for (const json::value& f : frames) {
    if (is_method(f, "textDocument/publishDiagnostics")) published.push_back(f);
    const auto* id = f.as_object().if_contains("id");
    if (id && id->is_int64() && f.as_object().contains("result")) answered.push_back(id->as_int64());
  }
  ASSERT_EQ(published.size(), 1u);
  const json::array& diagnostics = published[0].at("params").at("diagnostics").as_array();
  ASSERT_EQ(diagnostics.size(), 1u);
  EXPECT_EQ(diagnostics[0].at("message").as_string(), kNodeMessage);
  EXPECT_EQ(answered, (std::vector<std::int64_t>{0, 1, 2, 3, 4, 5}));
}

TEST(Limits, HugeDocumentThroughFormat) {
  // The sanitizer build runs several times slower; a smaller document still
  // crosses every buffer growth step that matters.
  const std::size_t size = kSanitized ? 8u * 1024 * 1024 : 50u * 1024 * 1024;
  const std::string text = vesk_testing::generate_scene(size, 7);
  ASSERT_GE(text.size(), size * 9 / 10);
  const auto r = run_process({kBinary, "--format"}, text, ProcessOptions{std::chrono::seconds(300)});
  ASSERT_FALSE(r.timed_out);
  ASSERT_EQ(r.status, 0) << r.err.substr(0, 500);
  EXPECT_EQ(r.err, "");
  ASSERT_FALSE(r.out.empty());
  const auto again = vesk_core::format::format_document(r.out, vesk_core::format::FormatConfig{true, false});
  ASSERT_TRUE(again.ok()) << again.error();
  EXPECT_TRUE(again.value() == r.out) << "the output does not format to itself";
}

// A huge announced length, then the end of input: one parse error, and no
// buffer sized from the header.
TEST(Limits, HugeContentLengthAllocatesNothing) {
  const std::string init = request(0, "initialize", json::object{{"capabilities", json::object{}}});
  const struct {
    std::string input;
    std::size_t answers_before;
  } cases[] = {
      {"Content-Length: 1000000000000000000\r\n\r\n{\"jsonrpc\":", 0},
      {"Content-Length: +1000000000000000000\r\n\r\n", 0},
      {"Content-Length: 99999999999999999999999999999999\r\n\r\n{}", 0},
      {init + "Content-Length: 1000000000000000000\r\n\r\n{\"jsonrpc\":\"2.0\"", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input.substr(c.input.size() > 80 ? c.input.size() - 60 : 0));
    const auto m = run_measured(c.input, std::chrono::seconds(10));
    const auto& r = m.result;
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const auto frames = frames_of(r.out);
    ASSERT_EQ(frames.size(), c.answers_before + 1);
    EXPECT_EQ(json::serialize(frames.back()),
              R"({"jsonrpc":"2.0","error":{"code":-32700,"message":"Parse error"},"id":null})");
    EXPECT_GT(m.peak_rss_kb, 0);
    EXPECT_LT(m.peak_rss_kb, kSanitized ? 64 * 1024 : 16 * 1024);
    RecordProperty("peak_rss_kb", static_cast<int>(m.peak_rss_kb));
  }
}

// Every open document is dropped on close.
TEST(Limits, ManyDocumentsOpenedThenClosed) {
  transport::StringSink sink;
  transport::Writer writer(sink);
  server::VeskLanguageServer* server = nullptr;
  service::Service svc(
      writer,
      [&server](service::Client& c) {
        auto s = std::make_unique<server::VeskLanguageServer>(c);
        server = s.get();
        return s;
      },
      server::normalise_uri);
  auto handle = [&svc](const std::string& framed) {
    // Drop the header: the service takes decoded bodies.
    const auto body = framed.substr(framed.find("\r\n\r\n") + 4);
    auto decoded = jsonrpc::decode(body);
    ASSERT_TRUE(std::holds_alternative<jsonrpc::Message>(decoded));
    ASSERT_TRUE(svc.handle(std::get<jsonrpc::Message>(decoded)));
  };
  handle(request(0, "initialize", json::object{{"capabilities", json::object{}}}));
  handle(notification("initialized", json::object{}));
  ASSERT_NE(server, nullptr);
  constexpr int kDocuments = 10000;
  for (int k = 0; k < kDocuments; ++k) {
    handle(did_open("file:///docs/d" + std::to_string(k) + ".vesk", kilobyte_document(k)));
  }
  EXPECT_EQ(server::detail::document_count(*server), std::size_t{kDocuments});
  for (int k = 0; k < kDocuments; ++k) handle(did_close("file:///docs/d" + std::to_string(k) + ".vesk"));
  EXPECT_EQ(server::detail::document_count(*server), 0u);
  const auto frames = frames_of(sink.take());
  std::size_t published = 0;
  for (const json::value& f : frames) published += is_method(f, "textDocument/publishDiagnostics");
  EXPECT_EQ(published, std::size_t{kDocuments});
}

// 10,000 documents of 1 KB kept open at once: peak memory stays proportional
// to what is held. Each document is about 35 nodes besides its text, some
// 10 KB in all (about 105 MB measured).
TEST(Limits, ManyOpenDocumentsPeakMemory) {
  constexpr int kDocuments = 10000;
  std::string input = initialize();
  for (int k = 0; k < kDocuments; ++k)
    input += did_open("file:///docs/d" + std::to_string(k) + ".vesk", kilobyte_document(k));
  input += request(1, "textDocument/documentSymbol",
                   json::object{{"textDocument", json::object{{"uri", "file:///docs/d9999.vesk"}}}});
  for (int k = 0; k < kDocuments; ++k) input += did_close("file:///docs/d" + std::to_string(k) + ".vesk");
  input += shutdown_and_exit(2);
  const auto m = run_measured(input, std::chrono::seconds(120));
  const auto& r = m.result;
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.status, 0);
  const auto frames = frames_of(r.out);
  bool symbols = false;
  for (const json::value& f : frames) {
    const auto* id = f.as_object().if_contains("id");
    if (id && *id == 1) symbols = f.at("result").is_array() && !f.at("result").as_array().empty();
  }
  EXPECT_TRUE(symbols);
  EXPECT_GT(m.peak_rss_kb, 0);
  EXPECT_LT(m.peak_rss_kb, kSanitized ? 1536 * 1024 : 256 * 1024);
  RecordProperty("peak_rss_kb", static_cast<int>(m.peak_rss_kb));
}

// A long session of interleaved changes and requests: every request is
// answered once, in the order sent (no operation waits), and each answer sees
// the change sent just before it.
TEST(Limits, LongInterleavedSession) {
  constexpr int kMessages = 100000;
  std::string input = initialize();
  int sent = 2;
  input += did_open(kUri, "rect @r0 { w: 0 h: 1 }\n");
  ++sent;
  struct Expected {
    int id;
    std::string kind;
    int version;
  };
  std::vector<Expected> expected;
  int id = 1;
  int version = 1;
  int changes = 0;
  while (sent + 6 <= kMessages - 2) {
    ++version;
    const std::string text = "rect @r" + std::to_string(version) + " { w: " + std::to_string(version) + " h: 1 }\n";
    input += did_change(kUri, version, text);
    ++changes;
    input += request(id, "textDocument/hover", position(kUri, 0, 6));
    expected.push_back({id++, "hover", version});
    input += request(id, "textDocument/completion", position(kUri, 0, 11));
    expected.push_back({id++, "completion", version});
    input += request(id, "textDocument/documentSymbol", json::object{{"textDocument", json::object{{"uri", kUri}}}});
    expected.push_back({id++, "symbol", version});
    // A second document opened and closed between the requests.
    input += did_open("file:///tmp/other.vesk", text);
    input += did_close("file:///tmp/other.vesk");
    sent += 6;
  }
  input += shutdown_and_exit(id);
  sent += 2;
  ASSERT_LE(sent, kMessages);
  ASSERT_GE(sent, kMessages - 6);

  const auto r = run_process({kBinary}, input, ProcessOptions{std::chrono::seconds(240)});
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  const auto frames = frames_of(r.out);
  std::size_t next = 0;
  int published = 0;
  bool shutdown_answered = false;
  for (const json::value& f : frames) {
    if (is_method(f, "textDocument/publishDiagnostics")) {
      ++published;
      continue;
    }
    const auto* fid = f.as_object().if_contains("id");
    if (!fid || !fid->is_int64()) continue;
    if (*fid == id) {
      shutdown_answered = true;
      continue;
    }
    if (*fid == 0) continue;
    ASSERT_LT(next, expected.size()) << "unexpected answer " << json::serialize(f);
    const Expected& e = expected[next++];
    ASSERT_EQ(*fid, e.id) << "answers out of order";
    ASSERT_TRUE(f.as_object().contains("result")) << json::serialize(f);
    const json::value& result = f.at("result");
    const std::string v = std::to_string(e.version);
    if (e.kind == "hover") {
      ASSERT_TRUE(result.is_object()) << json::serialize(f);
      const std::string text(result.at("contents").at("value").as_string());
      ASSERT_NE(text.find(v + "\xC3\x97"
                              "1"),
                std::string::npos)
          << text;
    } else if (e.kind == "completion") {
      ASSERT_TRUE(result.is_array());
    } else {
      ASSERT_TRUE(result.is_array());
      ASSERT_EQ(result.as_array().size(), 1u);
      ASSERT_EQ(result.as_array()[0].at("name").as_string(), "rect @r" + v) << json::serialize(result);
    }
  }
  EXPECT_EQ(next, expected.size()) << "answers lost";
  EXPECT_TRUE(shutdown_answered);
  EXPECT_EQ(published, 1 + 2 * changes);  // the opens and the changes
}

// A document of `blocks` rect blocks without ids, after `lines` comment lines
// that name undeclared words, `per_line` to a line; `words` gets the position
// of each word's first letter.
std::string unnamed_blocks(int blocks, int lines, int per_line, std::vector<std::pair<int, int>>& words) {
  std::string text;
  for (int line = 0; line < lines; ++line) {
    const std::size_t start = text.size();
    text += "#";
    for (int k = 0; k < per_line; ++k) {
      text += " @";
      words.emplace_back(line, static_cast<int>(text.size() - start));
      text += 'w';
      text += std::to_string(line * per_line + k);
    }
    text += "\n";
  }
  for (int i = 0; i < blocks; ++i) {
    text += "rect { w: " + std::to_string(10 + i % 500) + " h: " + std::to_string(5 + i % 97) + " }\n";
  }
  return text;
}

// Peak memory in KiB of one editor session: `text` opened, then sent again
// `changes` times with one number edited, each change waiting for its
// diagnostics, then one hover on each of `hovers`, each waiting for its
// answer; -1 when the session went wrong.
long session_peak_kb(const std::string& text, int changes, const std::vector<std::pair<int, int>>& hovers) {
  const std::string file = ::testing::TempDir() + "vesk_limits_session_rss";
  LspClient client({file, kBinary}, VESK_PEAK_RSS_BINARY);
  client.initialize();
  const auto published = [&client] {
    for (auto f = client.read(); f; f = client.read()) {
      if (!is_method(*f, "textDocument/publishDiagnostics")) continue;
      const bool clean = f->at("params").at("diagnostics").as_array().empty();
      EXPECT_TRUE(clean) << json::serialize(*f);
      return clean;
    }
    ADD_FAILURE() << "no diagnostics";
    return false;
  };
  client.notify("textDocument/didOpen",
                json::object{{"textDocument",
                              json::object{{"uri", kUri}, {"languageId", "vesk"}, {"version", 1}, {"text", text}}}});
  if (!published()) return -1;
  const std::size_t width = text.find("w: ") + 3;
  for (int change = 1; change <= changes; ++change) {
    std::string edited = text;
    edited.replace(width, 2, std::to_string(10 + change % 90));
    client.notify("textDocument/didChange",
                  json::object{{"textDocument", json::object{{"uri", kUri}, {"version", change + 1}}},
                               {"contentChanges", json::array{json::object{{"text", edited}}}}});
    if (!published()) return -1;
  }
  // Hovers go in bursts of 50, few enough that neither pipe fills up.
  int id = 1;
  for (std::size_t from = 0; from < hovers.size(); from += 50) {
    const std::size_t to = std::min(hovers.size(), from + 50);
    for (std::size_t k = from; k < to; ++k) {
      client.request(static_cast<int>(id + k), "textDocument/hover", position(kUri, hovers[k].first, hovers[k].second));
    }
    for (std::size_t k = from; k < to; ++k) {
      const auto answer = client.answer(static_cast<int>(id + k));
      if (!answer || !answer->at("result").is_null()) {
        ADD_FAILURE() << "hover " << k << ": " << (answer ? json::serialize(*answer) : "none");
        return -1;
      }
    }
  }
  id += static_cast<int>(hovers.size());
  client.request(id, "shutdown", json::value(nullptr));
  if (!client.answer(id)) return -1;
  client.notify("exit");
  client.close_input();
  if (client.wait() != 0) return -1;
  std::ifstream in(file);
  long kb = -1;
  in >> kb;
  return kb;
}

// Memory over a session is bounded by the open document, not by how often it
// changes: every parse numbers its unnamed nodes from 0, and a hover on a word
// that names nothing keeps nothing.
TEST(Limits, LongEditSessionMemoryStaysFlat) {
  // The sanitizer build is slower and keeps freed memory in quarantine, so
  // its figures say nothing about leaks: there a shorter session only runs
  // the same paths, and the bound is not checked.
  const int blocks = kSanitized ? 1000 : 3000;
  const int short_session = kSanitized ? 10 : 50;
  const int long_session = kSanitized ? 40 : 400;
  std::vector<std::pair<int, int>> words;
  const std::string text = unnamed_blocks(blocks, 100, kSanitized ? 10 : 200, words);
  const long after_short = session_peak_kb(text, short_session, {});
  const long after_long = session_peak_kb(text, long_session, words);
  ASSERT_GT(after_short, 0);
  ASSERT_GT(after_long, 0);
  RecordProperty("peak_rss_kb_" + std::to_string(short_session) + "_changes", static_cast<int>(after_short));
  RecordProperty("peak_rss_kb_" + std::to_string(long_session) + "_changes_and_hovers", static_cast<int>(after_long));
  if (!kSanitized) {
    EXPECT_LE(after_long, after_short * 5 / 4 + 16 * 1024);
  }
}

// Hover and document symbols look identifiers up without interning them.
TEST(Limits, FeaturesInternNoWordTheyLookUp) {
  const auto parsed = vesk_core::parser::parse_document("rect @known_node { w: 2 h: 3 }\n");
  ASSERT_TRUE(parsed.ok());
  std::string text;
  for (int k = 0; k < 2000; ++k) text += "rect @never_named_" + std::to_string(k) + " {\n";
  text += "rect @known_node {\n";
  const std::size_t held = vesk_core::id::INTERNER().size();
  const auto symbols = symbols::compute_symbols(text, &parsed.value(), kUri);
  ASSERT_EQ(symbols.size(), 1u);
  EXPECT_EQ(symbols[0].at("name").as_string(), "rect @known_node");
  for (std::uint32_t line = 0; line < 2000; ++line) {
    ASSERT_TRUE(hover::compute_hover(text, line, 7, &parsed.value()).is_null()) << line;
  }
  EXPECT_FALSE(hover::compute_hover(text, 2000, 7, &parsed.value()).is_null());
  EXPECT_EQ(vesk_core::id::INTERNER().size(), held);
}

}  // namespace
}  // namespace vesk_lsp::testing
