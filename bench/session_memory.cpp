// Memory of the server over a long editing session, read from
// /proc/PID/status of the `vesk-lsp` binary while it runs.
//
//   session_memory changes [path-to-vesk-lsp] [--named]
//
// A document of 30,000 `rect { w: … h: … }` blocks without ids (with ids under
// --named), opened and then sent again as 800 full-text didChanges, one at a
// time: each waits for its publishDiagnostics. Prints the resident size after
// the open and after changes 50, 150, 400 and 800.
//
//   session_memory hovers [path-to-vesk-lsp]
//
// A document of 50,000 comment lines, each naming a different undeclared
// `@word`; one hover on each word, each waiting for its answer. Prints the
// resident size after the open and after 10,000, 25,000 and 50,000 hovers.

#include "vesk/testing/frames.hpp"
#include "vesk/testing/process.hpp"

#include <boost/json/array.hpp>
#include <boost/json/object.hpp>

#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace json = boost::json;
using vesk_testing::Child;

const char* const kUri = "file:///bench/session.vesk";

Child start(const std::string& binary) {
  try {
    return Child({binary}, Child::Stderr::Inherit);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    std::exit(2);
  }
}

// The server with its standard input and output as pipes.
struct Server {
  explicit Server(const std::string& binary) : child(start(binary)), reader(child.out()) {}
  Child child;
  vesk_testing::FrameReader reader;
};

void send(Server& s, const json::value& message) {
  if (!s.child.write(vesk_testing::frame_json(message))) {
    std::fprintf(stderr, "the server stopped reading\n");
    std::exit(1);
  }
}

// Reads frames until one whose body contains `needle`.
void read_until(Server& s, std::string_view needle) {
  if (!s.reader.until(needle)) {
    std::fprintf(stderr, "the server ended before answering\n");
    std::exit(1);
  }
}

// A field of /proc/PID/status in KiB ("VmRSS", "VmHWM").
long status_kib(pid_t pid, const std::string& field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.starts_with(field + ":")) return std::atol(line.c_str() + field.size() + 1);
  }
  return -1;
}

double mib(long kib) { return static_cast<double>(kib) / 1024.0; }

void open_document(Server& s, const std::string& text) {
  send(s, json::object{{"jsonrpc", "2.0"},
                       {"id", 1},
                       {"method", "initialize"},
                       {"params", json::object{{"capabilities", json::object{}}}}});
  read_until(s, "\"id\":1");
  send(s, json::object{{"jsonrpc", "2.0"}, {"method", "initialized"}, {"params", json::object{}}});
  send(s, json::object{
              {"jsonrpc", "2.0"},
              {"method", "textDocument/didOpen"},
              {"params",
               json::object{{"textDocument",
                             json::object{{"uri", kUri}, {"languageId", "vesk"}, {"version", 1}, {"text", text}}}}}});
  read_until(s, "publishDiagnostics");
}

void stop(Server& s) {
  send(s, json::object{{"jsonrpc", "2.0"}, {"id", 2}, {"method", "shutdown"}});
  read_until(s, "\"id\":2");
  send(s, json::object{{"jsonrpc", "2.0"}, {"method", "exit"}});
  s.child.close_in();
  s.child.close_out();
  s.child.wait();
}

int run_changes(const std::string& binary, bool named) {
  constexpr int kBlocks = 30000;
  const std::vector<int> marks{50, 150, 400, 800};
  std::string text;
  for (int i = 0; i < kBlocks; ++i) {
    text += named ? "rect @r" + std::to_string(i) + " { w: " : std::string("rect { w: ");
    text += std::to_string(10 + i % 500) + " h: " + std::to_string(5 + i % 97) + " }\n";
  }
  std::printf("document: %d rect blocks %s, %zu bytes; %d full-text changes, each awaiting its diagnostics\n", kBlocks,
              named ? "with ids" : "without ids", text.size(), marks.back());
  Server s(binary);
  open_document(s, text);
  std::printf("%-14s %10s %10s\n", "after", "RSS MiB", "peak MiB");
  std::printf("%-14s %10.1f %10.1f\n", "open", mib(status_kib(s.child.pid(), "VmRSS")),
              mib(status_kib(s.child.pid(), "VmHWM")));
  long at50 = 0, at400 = 0;
  for (int change = 1; change <= marks.back(); ++change) {
    // Each change edits one number, as typing does.
    std::string t = text;
    t.replace(t.find("w: ") + 3, 2, std::to_string(10 + change % 90));
    send(s, json::object{{"jsonrpc", "2.0"},
                         {"method", "textDocument/didChange"},
                         {"params", json::object{{"textDocument", json::object{{"uri", kUri}, {"version", change + 1}}},
                                                 {"contentChanges", json::array{json::object{{"text", t}}}}}}});
    read_until(s, "publishDiagnostics");
    if (std::find(marks.begin(), marks.end(), change) == marks.end()) continue;
    const long rss = status_kib(s.child.pid(), "VmRSS");
    if (change == 50) at50 = rss;
    if (change == 400) at400 = rss;
    std::printf("change %-7d %10.1f %10.1f\n", change, mib(rss), mib(status_kib(s.child.pid(), "VmHWM")));
    std::fflush(stdout);
  }
  stop(s);
  const double bound = 1.25 * mib(at50) + 16;
  std::printf("RSS after 400 changes: %.1f MiB; bound 1.25 x RSS after 50 + 16 MiB = %.1f MiB: %s\n", mib(at400), bound,
              mib(at400) <= bound ? "within" : "EXCEEDED");
  return 0;
}

int run_hovers(const std::string& binary) {
  constexpr int kWords = 50000;
  const std::vector<int> marks{10000, 25000, 50000};
  std::string text;
  for (int i = 0; i < kWords; ++i) text += "# see @undeclared_word_" + std::to_string(i) + "\n";
  std::printf("document: %d comment lines, each with its own undeclared @word, %zu bytes; one hover per word\n", kWords,
              text.size());
  Server s(binary);
  open_document(s, text);
  const long before = status_kib(s.child.pid(), "VmRSS");
  std::printf("%-14s %10s %10s\n", "after", "RSS MiB", "peak MiB");
  std::printf("%-14s %10.1f %10.1f\n", "open", mib(before), mib(status_kib(s.child.pid(), "VmHWM")));
  long after = before;
  for (int i = 0; i < kWords; ++i) {
    const int id = 10 + i;
    send(s, json::object{{"jsonrpc", "2.0"},
                         {"id", id},
                         {"method", "textDocument/hover"},
                         {"params", json::object{{"textDocument", json::object{{"uri", kUri}}},
                                                 {"position", json::object{{"line", i}, {"character", 8}}}}}});
    read_until(s, "\"id\":" + std::to_string(id) + "}");
    if (std::find(marks.begin(), marks.end(), i + 1) == marks.end()) continue;
    after = status_kib(s.child.pid(), "VmRSS");
    std::printf("hover %-8d %10.1f %10.1f\n", i + 1, mib(after), mib(status_kib(s.child.pid(), "VmHWM")));
    std::fflush(stdout);
  }
  stop(s);
  std::printf("%d hovers added %.1f MiB (bound 16 MiB): %s\n", kWords, mib(after - before),
              mib(after - before) <= 16 ? "within" : "EXCEEDED");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  ::signal(SIGPIPE, SIG_IGN);
  const std::string_view mode = argc > 1 ? argv[1] : "";
  std::string binary = VESK_LSP_BINARY;
  bool named = false;
  for (int i = 2; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--named") {
      named = true;
    } else {
      binary = argv[i];
    }
  }
  if (mode == "changes") return run_changes(binary, named);
  if (mode == "hovers") return run_hovers(binary);
  std::fprintf(stderr, "usage: session_memory changes|hovers [path-to-vesk-lsp] [--named]\n");
  return 2;
}
