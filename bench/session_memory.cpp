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

#include <boost/json/array.hpp>
#include <boost/json/object.hpp>
#include <boost/json/serialize.hpp>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

extern char** environ;

namespace {

namespace json = boost::json;

const char* const kUri = "file:///bench/session.vesk";

std::string frame(const json::value& v) {
  const std::string body = json::serialize(v);
  return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

struct Server {
  pid_t pid = -1;
  int in = -1;   // its stdin
  int out = -1;  // its stdout
  std::string buffer;
};

Server start(const std::string& binary) {
  int in[2], out[2];
  if (::pipe(in) != 0 || ::pipe(out) != 0) std::exit(2);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  for (int fd : {in[0], in[1], out[0], out[1]}) posix_spawn_file_actions_addclose(&actions, fd);
  char* argv[] = {const_cast<char*>(binary.c_str()), nullptr};
  Server s;
  if (::posix_spawn(&s.pid, binary.c_str(), &actions, nullptr, argv, environ) != 0) {
    std::fprintf(stderr, "cannot start %s\n", binary.c_str());
    std::exit(2);
  }
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  s.in = in[1];
  s.out = out[0];
  return s;
}

void send(Server& s, const json::value& message) {
  const std::string bytes = frame(message);
  std::string_view rest = bytes;
  while (!rest.empty()) {
    const ssize_t n = ::write(s.in, rest.data(), rest.size());
    if (n <= 0) {
      std::fprintf(stderr, "the server stopped reading\n");
      std::exit(1);
    }
    rest.remove_prefix(static_cast<std::size_t>(n));
  }
}

// Reads frames until one whose body contains `needle`.
void read_until(Server& s, std::string_view needle) {
  for (;;) {
    const std::size_t end = s.buffer.find("\r\n\r\n");
    if (end != std::string::npos) {
      const std::size_t n = std::stoul(s.buffer.substr(16, end - 16));
      if (s.buffer.size() >= end + 4 + n) {
        const bool found = std::string_view(s.buffer).substr(end + 4, n).find(needle) != std::string_view::npos;
        s.buffer.erase(0, end + 4 + n);
        if (found) return;
        continue;
      }
    }
    char chunk[1 << 16];
    const ssize_t got = ::read(s.out, chunk, sizeof chunk);
    if (got <= 0) {
      std::fprintf(stderr, "the server ended before answering\n");
      std::exit(1);
    }
    s.buffer.append(chunk, static_cast<std::size_t>(got));
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
  send(s, json::object{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "initialize"},
                       {"params", json::object{{"capabilities", json::object{}}}}});
  read_until(s, "\"id\":1");
  send(s, json::object{{"jsonrpc", "2.0"}, {"method", "initialized"}, {"params", json::object{}}});
  send(s, json::object{{"jsonrpc", "2.0"}, {"method", "textDocument/didOpen"},
                       {"params", json::object{{"textDocument", json::object{{"uri", kUri}, {"languageId", "vesk"},
                                                                             {"version", 1}, {"text", text}}}}}});
  read_until(s, "publishDiagnostics");
}

void stop(Server& s) {
  send(s, json::object{{"jsonrpc", "2.0"}, {"id", 2}, {"method", "shutdown"}});
  read_until(s, "\"id\":2");
  send(s, json::object{{"jsonrpc", "2.0"}, {"method", "exit"}});
  ::close(s.in);
  ::close(s.out);
  ::waitpid(s.pid, nullptr, 0);
}

int run_changes(const std::string& binary, bool named) {
  constexpr int kBlocks = 30000;
  const std::vector<int> marks{50, 150, 400, 800};
  std::string text;
  for (int i = 0; i < kBlocks; ++i) {
    text += named ? "rect @r" + std::to_string(i) + " { w: " : std::string("rect { w: ");
    text += std::to_string(10 + i % 500) + " h: " + std::to_string(5 + i % 97) + " }\n";
  }
  std::printf("document: %d rect blocks %s, %zu bytes; %d full-text changes, each awaiting its diagnostics\n",
              kBlocks, named ? "with ids" : "without ids", text.size(), marks.back());
  Server s = start(binary);
  open_document(s, text);
  std::printf("%-14s %10s %10s\n", "after", "RSS MiB", "peak MiB");
  std::printf("%-14s %10.1f %10.1f\n", "open", mib(status_kib(s.pid, "VmRSS")), mib(status_kib(s.pid, "VmHWM")));
  long at50 = 0, at400 = 0;
  for (int change = 1; change <= marks.back(); ++change) {
    // Each change edits one number, as typing does.
    std::string t = text;
    t.replace(t.find("w: ") + 3, 2, std::to_string(10 + change % 90));
    send(s, json::object{{"jsonrpc", "2.0"}, {"method", "textDocument/didChange"},
                         {"params", json::object{{"textDocument", json::object{{"uri", kUri}, {"version", change + 1}}},
                                                 {"contentChanges", json::array{json::object{{"text", t}}}}}}});
    read_until(s, "publishDiagnostics");
    if (std::find(marks.begin(), marks.end(), change) == marks.end()) continue;
    const long rss = status_kib(s.pid, "VmRSS");
    if (change == 50) at50 = rss;
    if (change == 400) at400 = rss;
    std::printf("change %-7d %10.1f %10.1f\n", change, mib(rss), mib(status_kib(s.pid, "VmHWM")));
    std::fflush(stdout);
  }
  stop(s);
  const double bound = 1.25 * mib(at50) + 16;
  std::printf("RSS after 400 changes: %.1f MiB; bound 1.25 x RSS after 50 + 16 MiB = %.1f MiB: %s\n", mib(at400),
              bound, mib(at400) <= bound ? "within" : "EXCEEDED");
  return 0;
}

int run_hovers(const std::string& binary) {
  constexpr int kWords = 50000;
  const std::vector<int> marks{10000, 25000, 50000};
  std::string text;
  for (int i = 0; i < kWords; ++i) text += "# see @undeclared_word_" + std::to_string(i) + "\n";
  std::printf("document: %d comment lines, each with its own undeclared @word, %zu bytes; one hover per word\n",
              kWords, text.size());
  Server s = start(binary);
  open_document(s, text);
  const long before = status_kib(s.pid, "VmRSS");
  std::printf("%-14s %10s %10s\n", "after", "RSS MiB", "peak MiB");
  std::printf("%-14s %10.1f %10.1f\n", "open", mib(before), mib(status_kib(s.pid, "VmHWM")));
  long after = before;
  for (int i = 0; i < kWords; ++i) {
    const int id = 10 + i;
    send(s, json::object{{"jsonrpc", "2.0"}, {"id", id}, {"method", "textDocument/hover"},
                         {"params", json::object{{"textDocument", json::object{{"uri", kUri}}},
                                                 {"position", json::object{{"line", i}, {"character", 8}}}}}});
    read_until(s, "\"id\":" + std::to_string(id) + "}");
    if (std::find(marks.begin(), marks.end(), i + 1) == marks.end()) continue;
    after = status_kib(s.pid, "VmRSS");
    std::printf("hover %-8d %10.1f %10.1f\n", i + 1, mib(after), mib(status_kib(s.pid, "VmHWM")));
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
