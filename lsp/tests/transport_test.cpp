#include "transport.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vesk_lsp::transport {
namespace {

// What the reader yields for a whole input: bodies, then "<end>" or "<bad>".
std::vector<std::string> read_all(const std::string& input, std::size_t chunk) {
  MemorySource source(input, chunk);
  MessageReader reader(source);
  std::vector<std::string> out;
  for (int guard = 0; guard < 100; ++guard) {
    ReadResult r = reader.next();
    if (r.status == ReadStatus::kEnd) {
      out.push_back("<end>");
      break;
    }
    if (r.status == ReadStatus::kUndecodable) {
      out.push_back("<bad>");
      break;
    }
    out.push_back(r.body);
  }
  return out;
}

struct FramingCase {
  const char* name;
  std::string input;
  std::vector<std::string> expected;
};

const std::string kLong(MessageReader::kMaxHeaderLine - 7, 'x');  // "X-Pad: " + this fills a line exactly

std::vector<FramingCase> framing_cases() {
  return {
      {"plain", "Content-Length: 2\r\n\r\n{}", {"{}", "<end>"}},
      {"two messages", "Content-Length: 1\r\n\r\n1Content-Length: 1\r\n\r\n2", {"1", "2", "<end>"}},
      {"empty input", "", {"<end>"}},
      {"plus sign", "Content-Length: +2\r\n\r\n{}", {"{}", "<end>"}},
      {"blanks around value", "Content-Length:   2 \t\r\n\r\n{}", {"{}", "<end>"}},
      {"no blank after colon", "Content-Length:2\r\n\r\n{}", {"{}", "<end>"}},
      {"bare line feeds", "Content-Length: 2\n\n{}", {"{}", "<end>"}},
      {"zero length skipped", "Content-Length: 0\r\n\r\nContent-Length: 1\r\n\r\n7", {"7", "<end>"}},
      {"only zero length", "Content-Length: 0\r\n\r\n", {"<end>"}},
      {"content type with charset",
       "Content-Length: 1\r\nContent-Type: application/vscode-jsonrpc; charset=utf-8\r\n\r\nx",
       {"x", "<end>"}},
      {"content type first", "Content-Type: a/b;charset=utf8\r\nContent-Length: 1\r\n\r\nx", {"x", "<end>"}},
      {"charset after other parameter",
       "Content-Length: 1\r\nContent-Type: a/b; q=1;  charset=utf8 \r\n\r\nx",
       {"x", "<end>"}},
      {"first charset decides",
       "Content-Length: 1\r\nContent-Type: a/b; charset=latin1; charset=utf-8\r\n\r\nx",
       {"<bad>"}},
      {"charset upper case", "Content-Length: 1\r\nContent-Type: a/b; charset=UTF-8\r\n\r\nx", {"<bad>"}},
      {"media type alone", "Content-Length: 1\r\nContent-Type: application/vscode-jsonrpc\r\n\r\nx", {"<bad>"}},
      {"charset as media type", "Content-Length: 1\r\nContent-Type: charset=utf-8\r\n\r\nx", {"<bad>"}},
      {"quoted charset", "Content-Length: 1\r\nContent-Type: a/b; charset=\"utf-8\"\r\n\r\nx", {"<bad>"}},
      {"other header ignored", "X-Thing: whatever\r\nContent-Length: 1\r\n\r\nx", {"x", "<end>"}},
      {"three header lines", "A: 1\r\nB: 2\r\nContent-Length: 1\r\n\r\nx", {"<bad>"}},
      {"name case matters", "content-length: 1\r\n\r\nx", {"<bad>"}},
      {"missing length", "X-Thing: 1\r\n\r\nx", {"<bad>"}},
      {"no headers at all", "\r\nx", {"<bad>"}},
      {"length not a number", "Content-Length: abc\r\n\r\nx", {"<bad>"}},
      {"negative length", "Content-Length: -1\r\n\r\nx", {"<bad>"}},
      {"empty length", "Content-Length: \r\n\r\nx", {"<bad>"}},
      {"two numbers", "Content-Length: 1 2\r\n\r\nx", {"<bad>"}},
      {"length overflows", "Content-Length: 99999999999999999999999999\r\n\r\nx", {"<bad>"}},
      {"length past the cap",
       "Content-Length: " + std::to_string(MessageReader::kMaxBody + 1) + "\r\n\r\nx",
       {"<bad>"}},
      {"conflicting lengths", "Content-Length: 1\r\nContent-Length: 2\r\n\r\nxy", {"<bad>"}},
      {"repeated equal lengths", "Content-Length: 1\r\nContent-Length: 1\r\n\r\nx", {"x", "<end>"}},
      {"line without colon", "Content-Length 1\r\n\r\nx", {"<bad>"}},
      {"blank in name", "Content-Length : 1\r\n\r\nx", {"<bad>"}},
      {"blank before the colon names another header",
       "Content-Length : 9\r\nContent-Length: 1\r\n\r\nx",
       {"x", "<end>"}},
      {"blank inside an ignored name", "X A: 1\r\nContent-Length: 1\r\n\r\nx", {"x", "<end>"}},
      {"separators and non-ASCII in an ignored name",
       "(\xc3\xa9)@=/\t: v\r\nContent-Length: 1\r\n\r\nx",
       {"x", "<end>"}},
      {"empty name ignored", ": v\r\nContent-Length: 1\r\n\r\nx", {"x", "<end>"}},
      {"ignored names count toward the two lines", "X A: 1\r\nY B: 2\r\nContent-Length: 1\r\n\r\nx", {"<bad>"}},
      {"ends inside header", "Content-Len", {"<bad>"}},
      {"ends after header line", "Content-Length: 1\r\n", {"<bad>"}},
      {"ends inside body", "Content-Length: 5\r\n\r\nab", {"<bad>"}},
      {"ends inside second message", "Content-Length: 1\r\n\r\nxContent", {"x", "<bad>"}},
      {"announced length far beyond input",
       "Content-Length: " + std::to_string(MessageReader::kMaxBody) + "\r\n\r\nab",
       {"<bad>"}},
      {"header line at the cap", "X-Pad: " + kLong + "\r\nContent-Length: 1\r\n\r\nx", {"x", "<end>"}},
      {"header line over the cap", "X-Pad: " + kLong + "y\r\nContent-Length: 1\r\n\r\nx", {"<bad>"}},
      {"endless header line", std::string(100000, 'a'), {"<bad>"}},
  };
}

TEST(MessageReader, FramingRules) {
  for (const FramingCase& c : framing_cases()) {
    for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{1} << 20}) {
      EXPECT_EQ(read_all(c.input, chunk), c.expected) << c.name << " (chunk " << chunk << ")";
    }
  }
}

// Taking what is already buffered wherever possible yields the same as reading.
TEST(MessageReader, BufferedMessagesAsIfRead) {
  for (const FramingCase& c : framing_cases()) {
    for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{1} << 20}) {
      MemorySource source(c.input, chunk);
      MessageReader reader(source);
      std::vector<std::string> out;
      for (int guard = 0; guard < 100; ++guard) {
        std::optional<ReadResult> r = reader.next_buffered();
        if (!r) r = reader.next();
        if (r->status != ReadStatus::kMessage) {
          out.push_back(r->status == ReadStatus::kEnd ? "<end>" : "<bad>");
          break;
        }
        out.push_back(r->body);
      }
      EXPECT_EQ(out, c.expected) << c.name << " (chunk " << chunk << ")";
    }
  }
}

TEST(MessageReader, BufferedStopsAtWhatHasNotArrived) {
  const std::string input =
      "Content-Length: 1\r\n\r\nAContent-Length: 0\r\n\r\nContent-Length: 1\r\n\r\nB"
      "Content-Length: 2\r\n\r\nCD";
  MemorySource source(input, input.size() - 1);  // the last byte comes with a second read
  MessageReader reader(source);
  EXPECT_FALSE(reader.next_buffered().has_value());  // nothing read yet
  EXPECT_EQ(reader.next().body, "A");
  auto b = reader.next_buffered();
  ASSERT_TRUE(b.has_value());
  EXPECT_EQ(b->body, "B");
  EXPECT_FALSE(reader.next_buffered().has_value());
  EXPECT_FALSE(reader.next_buffered().has_value());
  EXPECT_EQ(reader.next().body, "CD");
  EXPECT_FALSE(reader.next_buffered().has_value());
  EXPECT_EQ(reader.next().status, ReadStatus::kEnd);
}

TEST(MessageReader, LargeBodyArrivesInPieces) {
  const std::string body(3 * 1024 * 1024 + 17, 'b');
  const std::string input =
      "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body + "Content-Length: 1\r\n\r\nz";
  MemorySource source(input, 5000);
  MessageReader reader(source);
  ReadResult first = reader.next();
  ASSERT_EQ(first.status, ReadStatus::kMessage);
  EXPECT_EQ(first.body, body);
  EXPECT_EQ(reader.next().body, "z");
  EXPECT_EQ(reader.next().status, ReadStatus::kEnd);
}

TEST(Writer, FramesWholeBodies) {
  StringSink sink;
  Writer writer(sink);
  writer.send("{}");
  writer.send("{\"a\":\"\xc3\xa9\"}");
  EXPECT_EQ(sink.take(), "Content-Length: 2\r\n\r\n{}Content-Length: 10\r\n\r\n{\"a\":\"\xc3\xa9\"}");
}

}  // namespace
}  // namespace vesk_lsp::transport
