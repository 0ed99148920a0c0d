// Server load: 1,000 didChange messages of a 100 KB document, then a hover and
// a completion request; messages per second and the latency of the last answer.
//
//   server_load [path-to-vesk-lsp] [runs]
//
// "process" runs the binary over pipes, as an editor does; "in-process" feeds
// the same bytes to serve() from memory, without pipes.

#include "diagnostics.hpp"
#include "scene_gen.hpp"
#include "server.hpp"
#include "service.hpp"
#include "transport.hpp"
#include "vesk/core/parser.hpp"

#include <boost/json/object.hpp>
#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace json = boost::json;
using Clock = std::chrono::steady_clock;

constexpr int kChanges = 1000;
constexpr std::size_t kDocumentBytes = 100 * 1000;
const char* const kUri = "file:///bench/load.vesk";

std::string frame(const json::value& v) {
  const std::string body = json::serialize(v);
  return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

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
  m.head = frame(json::object{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "initialize"},
                              {"params", json::object{{"capabilities", json::object{}}}}}) +
           frame(json::object{{"jsonrpc", "2.0"}, {"method", "initialized"}, {"params", json::object{}}}) +
           frame(json::object{{"jsonrpc", "2.0"}, {"method", "textDocument/didOpen"},
                              {"params", json::object{{"textDocument", json::object{{"uri", kUri}, {"languageId", "vesk"},
                                                                                     {"version", 1}, {"text", text}}}}}});
  for (int i = 0; i < kChanges; ++i) {
    // Each change edits the text a little, as typing does.
    std::string t = text;
    t += "# edit " + std::to_string(i) + "\n";
    m.changes += frame(json::object{
        {"jsonrpc", "2.0"}, {"method", "textDocument/didChange"},
        {"params", json::object{{"textDocument", json::object{{"uri", kUri}, {"version", i + 2}}},
                                {"contentChanges", json::array{json::object{{"text", t}}}}}}});
  }
  m.change_bytes = m.changes.size();
  const int last_line = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  m.tail = frame(json::object{{"jsonrpc", "2.0"}, {"id", 2}, {"method", "textDocument/hover"}, {"params", position(1, 2)}}) +
           frame(json::object{{"jsonrpc", "2.0"}, {"id", 3}, {"method", "textDocument/completion"},
                              {"params", position(last_line, 0)}});
  return m;
}

struct Figures {
  double seconds = 0;       // first change sent to last answer read
  double last_latency = 0;  // completion sent to its answer read
  int published = 0;
};

// Reads frames from `fd` until the answer with id 3; counts publishDiagnostics.
bool read_until_last(int fd, int& published, Clock::time_point& last_answer) {
  std::string buf;
  char chunk[1 << 16];
  for (;;) {
    for (;;) {
      const std::size_t end = buf.find("\r\n\r\n");
      if (end == std::string::npos) break;
      const std::size_t n = std::stoul(buf.substr(16, end - 16));
      if (buf.size() < end + 4 + n) break;
      const std::string_view body(buf.data() + end + 4, n);
      if (body.find("\"textDocument/publishDiagnostics\"") != std::string_view::npos) ++published;
      const bool last = body.find("\"id\":3}") != std::string_view::npos && body.find("\"method\"") == std::string_view::npos;
      buf.erase(0, end + 4 + n);
      if (last) {
        last_answer = Clock::now();
        return true;
      }
    }
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got <= 0) return false;
    buf.append(chunk, static_cast<std::size_t>(got));
  }
}

void write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

Figures run_process(const std::string& binary, const Messages& m) {
  int in[2], out[2];
  if (::pipe(in) != 0 || ::pipe(out) != 0) std::exit(2);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  for (int fd : {in[0], in[1], out[0], out[1]}) posix_spawn_file_actions_addclose(&actions, fd);
  pid_t pid = -1;
  char* argv[] = {const_cast<char*>(binary.c_str()), nullptr};
  if (::posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv, environ) != 0) {
    std::fprintf(stderr, "cannot start %s\n", binary.c_str());
    std::exit(2);
  }
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);

  Figures f;
  Clock::time_point start, tail_sent, last_answer;
  std::thread writer([&] {
    write_all(in[1], m.head);
    start = Clock::now();
    write_all(in[1], m.changes);
    tail_sent = Clock::now();
    write_all(in[1], m.tail);
  });
  const bool ok = read_until_last(out[0], f.published, last_answer);
  writer.join();
  ::close(in[1]);
  ::close(out[0]);
  ::waitpid(pid, nullptr, 0);
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
  for (std::size_t p = out.find("publishDiagnostics"); p != std::string::npos; p = out.find("publishDiagnostics", p + 1)) {
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

int main(int argc, char** argv) {
  ::signal(SIGPIPE, SIG_IGN);
  const std::string binary = argc > 1 ? argv[1] : VESK_LSP_BINARY;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const std::string text = vesk_bench::generate_scene(kDocumentBytes, 1);
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
              median(rate), median(rate) * static_cast<double>(m.change_bytes) / kChanges / 1e6,
              median(latency) * 1e3);
  std::printf("in-process: %.0f messages/s (median)\n", median(rate_in));
  std::printf("two parses per change alone: %.0f changes/s (median)\n", median(floor));
  return 0;
}
