// Server load: 1,000 didChange messages of a 100 KB document, then a hover and
// a completion request; messages per second and the latency of the last answer.
//
//   server_load [path-to-vesk-lsp] [runs]
//
// "process" runs the binary over pipes, as an editor does; "in-process" feeds
// the same bytes to serve() from memory, without pipes.
//
//   server_load latency [path-to-vesk-lsp] [runs]
//
// One request at a time on a 1 MB document: didChange to its
// publishDiagnostics, hover and completion to their answers, each against one
// `vesk-lsp --format` process on the same text.

#include "diagnostics.hpp"
#include "server.hpp"
#include "service.hpp"
#include "transport.hpp"
#include "vesk/core/parser.hpp"
#include "vesk/testing/frames.hpp"
#include "vesk/testing/process.hpp"
#include "vesk/testing/scene_gen.hpp"

#include <boost/json/object.hpp>
#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace {

namespace json = boost::json;
using Clock = std::chrono::steady_clock;
using vesk_testing::Child;
using vesk_testing::frame_json;
using vesk_testing::FrameReader;

constexpr int kChanges = 1000;
constexpr std::size_t kDocumentBytes = 100 * 1000;
const char* const kUri = "file:///bench/load.vesk";

json::value position(int line, int character) {
  return json::object{{"textDocument", json::object{{"uri", kUri}}},
                      {"position", json::object{{"line", line}, {"character", character}}}};
}

struct Messages {
  std::string head;     // initialize, initialized, didOpen
  std::string changes;  // the didChange burst
  std::string tail;     // hover (id 2) and completion (id 3)
  std::size_t change_bytes = 0;
};

Messages build(const std::string& text) {
  Messages m;
  m.head = frame_json(json::object{{"jsonrpc", "2.0"},
                                   {"id", 1},
                                   {"method", "initialize"},
                                   {"params", json::object{{"capabilities", json::object{}}}}}) +
           frame_json(json::object{{"jsonrpc", "2.0"}, {"method", "initialized"}, {"params", json::object{}}}) +
           frame_json(json::object{
               {"jsonrpc", "2.0"},
               {"method", "textDocument/didOpen"},
               {"params",
                json::object{{"textDocument",
                              json::object{{"uri", kUri}, {"languageId", "vesk"}, {"version", 1}, {"text", text}}}}}});
  for (int i = 0; i < kChanges; ++i) {
    // Each change edits the text a little, as typing does.
    std::string t = text;
    t += "# edit " + std::to_string(i) + "\n";
    m.changes += frame_json(
        json::object{{"jsonrpc", "2.0"},
                     {"method", "textDocument/didChange"},
                     {"params", json::object{{"textDocument", json::object{{"uri", kUri}, {"version", i + 2}}},
                                             {"contentChanges", json::array{json::object{{"text", t}}}}}}});
  }
  m.change_bytes = m.changes.size();
  const int last_line = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  m.tail =
      frame_json(
          json::object{{"jsonrpc", "2.0"}, {"id", 2}, {"method", "textDocument/hover"}, {"params", position(1, 2)}}) +
      frame_json(json::object{
          {"jsonrpc", "2.0"}, {"id", 3}, {"method", "textDocument/completion"}, {"params", position(last_line, 0)}});
  return m;
}

struct Figures {
  double seconds = 0;       // first change sent to last answer read
  double last_latency = 0;  // completion sent to its answer read
  int published = 0;
};

// Reads frames from `fd` until the answer with id 3; counts publishDiagnostics.
bool read_until_last(int fd, int& published, Clock::time_point& last_answer) {
  FrameReader reader(fd);
  while (const std::optional<std::string> body = reader.next()) {
    if (body->find("\"textDocument/publishDiagnostics\"") != std::string::npos) ++published;
    if (body->find("\"id\":3}") != std::string::npos && body->find("\"method\"") == std::string::npos) {
      last_answer = Clock::now();
      return true;
    }
  }
  return false;
}

// One spawned process with its standard input and output as pipes; stderr is the bench's.
Child spawn(const std::string& binary, std::vector<std::string> args) {
  args.insert(args.begin(), binary);
  try {
    return Child(args, Child::Stderr::Inherit);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    std::exit(2);
  }
}

Figures run_process(const std::string& binary, const Messages& m) {
  Child child = spawn(binary, {});
  Figures f;
  Clock::time_point start, tail_sent, last_answer;
  std::thread writer([&] {
    child.write(m.head);
    start = Clock::now();
    child.write(m.changes);
    tail_sent = Clock::now();
    child.write(m.tail);
  });
  const bool ok = read_until_last(child.out(), f.published, last_answer);
  writer.join();
  child.close_in();
  child.close_out();
  child.wait();
  if (!ok) {
    std::fprintf(stderr, "the server ended before the last answer\n");
    std::exit(1);
  }
  f.seconds = std::chrono::duration<double>(last_answer - start).count();
  f.last_latency = std::chrono::duration<double>(last_answer - tail_sent).count();
  return f;
}

Figures run_in_process(const Messages& m) {
  vesk_lsp::transport::MemorySource source(m.head + m.changes + m.tail, 1 << 16);
  vesk_lsp::transport::StringSink sink;
  const auto start = Clock::now();
  vesk_lsp::service::serve(
      source, sink,
      [](vesk_lsp::service::Client& c) { return std::make_unique<vesk_lsp::server::VeskLanguageServer>(c); },
      vesk_lsp::server::normalise_uri);
  Figures f;
  f.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const std::string out = sink.take();
  for (std::size_t p = out.find("publishDiagnostics"); p != std::string::npos;
       p = out.find("publishDiagnostics", p + 1)) {
    ++f.published;
  }
  return f;
}

// The work every change must do whatever the framework: diagnostics and the
// stored parse, i.e. two parses of the text.
double parse_floor(const std::string& text) {
  const auto start = Clock::now();
  std::size_t sink = 0;
  for (int i = 0; i < kChanges; ++i) {
    sink += vesk_lsp::diagnostics::compute_diagnostics(text).size();
    sink += vesk_core::parser::parse_document(text).ok() ? 1 : 0;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (sink == 0) std::fprintf(stderr, "warning: the document does not parse\n");
  return kChanges / seconds;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

// The next body that contains `needle`; exits the program if the stream ends first.
std::string until(FrameReader& reader, std::string_view needle) {
  std::optional<std::string> body = reader.until(needle);
  if (!body) {
    std::fprintf(stderr, "the server ended before answering\n");
    std::exit(1);
  }
  return std::move(*body);
}

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// One `vesk-lsp --format` of `text`: spawn, write, read all output, wait.
double format_once(const std::string& binary, const std::string& text, std::size_t& out_bytes) {
  const auto start = Clock::now();
  Child c = spawn(binary, {"--format"});
  std::thread writer([&] {
    c.write(text);
    c.close_in();
  });
  out_bytes = 0;
  char chunk[1 << 16];
  for (;;) {
    const ssize_t got = ::read(c.out(), chunk, sizeof chunk);
    if (got <= 0) break;
    out_bytes += static_cast<std::size_t>(got);
  }
  writer.join();
  c.close_out();
  const int status = c.wait();
  const double t = seconds_since(start);
  if (status != 0) {
    std::fprintf(stderr, "vesk-lsp --format failed\n");
    std::exit(1);
  }
  return t;
}

// The line and UTF-16 column of the last "@" of `text` (the generated text is ASCII).
std::pair<int, int> last_id_position(const std::string& text) {
  const std::size_t at = text.rfind(" @");
  if (at == std::string::npos) return {0, 0};
  const std::size_t line_start = text.rfind('\n', at);
  const std::size_t from = line_start == std::string::npos ? 0 : line_start + 1;
  return {static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n')),
          static_cast<int>(at + 2 - from)};
}

int run_latency(const std::string& binary, int runs) {
  constexpr std::size_t kLatencyBytes = 1000 * 1000;
  const std::string text = vesk_testing::generate_scene(kLatencyBytes, 1);
  const auto [hover_line, hover_col] = last_id_position(text);
  const int last_line = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  std::printf("document: %zu bytes, %d lines; hover at %d:%d, completion at %d:0; %d runs\n", text.size(), last_line,
              hover_line, hover_col, last_line, runs);

  std::vector<double> change, hover, completion, format;
  std::size_t formatted_bytes = 0;
  for (int r = 0; r < runs; ++r) format.push_back(format_once(binary, text, formatted_bytes));

  Child c = spawn(binary, {});
  FrameReader reader(c.out());
  c.write(frame_json(json::object{{"jsonrpc", "2.0"},
                                  {"id", 1},
                                  {"method", "initialize"},
                                  {"params", json::object{{"capabilities", json::object{}}}}}));
  until(reader, "\"id\":1");
  c.write(frame_json(json::object{{"jsonrpc", "2.0"}, {"method", "initialized"}, {"params", json::object{}}}));
  c.write(frame_json(json::object{
      {"jsonrpc", "2.0"},
      {"method", "textDocument/didOpen"},
      {"params",
       json::object{
           {"textDocument", json::object{{"uri", kUri}, {"languageId", "vesk"}, {"version", 1}, {"text", text}}}}}}));
  until(reader, "publishDiagnostics");
  bool clean = true;
  int next_id = 10;
  for (int r = 0; r < runs; ++r) {
    std::string t = text;
    t += "# edit " + std::to_string(r) + "\n";
    const std::string message = frame_json(
        json::object{{"jsonrpc", "2.0"},
                     {"method", "textDocument/didChange"},
                     {"params", json::object{{"textDocument", json::object{{"uri", kUri}, {"version", r + 2}}},
                                             {"contentChanges", json::array{json::object{{"text", t}}}}}}});
    auto start = Clock::now();
    c.write(message);
    const std::string published = until(reader, "publishDiagnostics");
    change.push_back(seconds_since(start));
    if (published.find("\"diagnostics\":[]") == std::string::npos) clean = false;

    const auto request = [&](const char* method, int line, int character, std::vector<double>& into) {
      const int id = next_id++;
      const std::string m = frame_json(
          json::object{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", position(line, character)}});
      const std::string answer_id = "\"id\":" + std::to_string(id);
      const auto sent = Clock::now();
      c.write(m);
      const std::string answer = until(reader, answer_id);
      into.push_back(seconds_since(sent));
      if (answer.find("\"result\":null") != std::string::npos) clean = false;
    };
    request("textDocument/hover", hover_line, hover_col, hover);
    request("textDocument/completion", last_line, 0, completion);
  }
  c.write(frame_json(json::object{{"jsonrpc", "2.0"}, {"id", 2}, {"method", "shutdown"}}));
  until(reader, "\"id\":2");
  c.write(frame_json(json::object{{"jsonrpc", "2.0"}, {"method", "exit"}}));
  c.close_in();
  c.close_out();
  c.wait();
  if (!clean) std::fprintf(stderr, "warning: a diagnostic was published or a request had no result\n");

  const double f = median(format);
  std::printf("%-34s %10s %10s\n", "step (median)", "ms", "/ format");
  std::printf("%-34s %10.2f %10s\n", "--format process (1 MB)", f * 1e3, "1.00");
  const auto row = [&](const char* name, const std::vector<double>& v) {
    std::printf("%-34s %10.2f %10.2f\n", name, median(v) * 1e3, median(v) / f);
  };
  row("didChange -> publishDiagnostics", change);
  row("hover -> answer", hover);
  row("completion -> answer", completion);
  return 0;
}

int main(int argc, char** argv) {
  ::signal(SIGPIPE, SIG_IGN);
  if (argc > 1 && std::string_view(argv[1]) == "latency") {
    const std::string binary = argc > 2 ? argv[2] : VESK_LSP_BINARY;
    return run_latency(binary, argc > 3 ? std::max(1, std::atoi(argv[3])) : 9);
  }
  const std::string binary = argc > 1 ? argv[1] : VESK_LSP_BINARY;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const std::string text = vesk_testing::generate_scene(kDocumentBytes, 1);
  const Messages m = build(text);
  const int messages = kChanges + 2;
  std::printf("document: %zu bytes, %d lines; %d didChange messages (%.1f MB framed) + hover + completion; %d runs\n",
              text.size(), static_cast<int>(std::count(text.begin(), text.end(), '\n')), kChanges,
              static_cast<double>(m.change_bytes) / 1e6, runs);

  std::vector<double> rate, latency, rate_in, floor;
  for (int r = 0; r < runs; ++r) {
    const Figures f = run_process(binary, m);
    if (f.published != kChanges + 1) std::fprintf(stderr, "warning: %d diagnostics published\n", f.published);
    rate.push_back(messages / f.seconds);
    latency.push_back(f.last_latency);
    const Figures g = run_in_process(m);
    rate_in.push_back(messages / g.seconds);
    floor.push_back(parse_floor(text));
  }
  std::printf("process:    %.0f messages/s (median), %.1f MB/s; last answer %.1f ms after the burst was written\n",
              median(rate), median(rate) * static_cast<double>(m.change_bytes) / kChanges / 1e6, median(latency) * 1e3);
  std::printf("in-process: %.0f messages/s (median)\n", median(rate_in));
  std::printf("two parses per change alone: %.0f changes/s (median)\n", median(floor));
  return 0;
}
