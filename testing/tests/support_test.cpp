// The support that other tests trust to catch faults: the frame checker must
// reject what the server must never write, and child statuses must be right.

#include "vesk/testing/frames.hpp"
#include "vesk/testing/process.hpp"

#include <gtest/gtest.h>
#include <boost/json/serialize.hpp>

#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace vesk_testing {
namespace {

TEST(SplitFrame, WholePartialAndMalformed) {
  using K = FrameSplit::Kind;
  struct Case {
    std::string bytes;
    K kind;
  };
  const Case cases[] = {
      {"Content-Length: 2\r\n\r\n{}", K::Whole},
      {"Content-Length: 2\r\n\r\n{}Content-Length: 1", K::Whole},
      {"Content-Length: 0\r\n\r\n", K::Whole},
      {"", K::Partial},
      {"Content-Le", K::Partial},
      {"Content-Length: ", K::Partial},
      {"Content-Length: 12", K::Partial},
      {"Content-Length: 2\r\n", K::Partial},
      {"Content-Length: 2\r\n\r\n{", K::Partial},
      {"content-length: 2\r\n\r\n{}", K::Malformed},
      {"Content-Length:2\r\n\r\n{}", K::Malformed},
      {"Content-Length:  2\r\n\r\n{}", K::Malformed},
      {"Content-Length: +2\r\n\r\n{}", K::Malformed},
      {"Content-Length: x\r\n\r\n", K::Malformed},
      {"Content-Length: 2\n\n{}", K::Malformed},
      {"Content-Length: 2 \r\n\r\n{}", K::Malformed},
      {"Content-Length: 2\r\nContent-Type: a/b\r\n\r\n{}", K::Malformed},
      {"Content-Length: 99999999999999999999999\r\n\r\n", K::Malformed},
  };
  for (const Case& c : cases) {
    const FrameSplit split = split_frame(c.bytes);
    EXPECT_EQ(split.kind, c.kind) << c.bytes;
    if (split.kind == K::Whole) {
      EXPECT_EQ(c.bytes.substr(0, split.header), "Content-Length: " + std::to_string(split.body) + "\r\n\r\n");
    } else {
      EXPECT_NE(split.error, nullptr) << c.bytes;
    }
  }
}

TEST(ParseFrames, WholeSequencesOfJsonOnly) {
  const std::string two = frame(R"({"a":1})") + frame_json(boost::json::value{{"b", 2}});
  const auto messages = parse_frames(two);
  ASSERT_TRUE(messages);
  ASSERT_EQ(messages->size(), 2u);
  EXPECT_EQ(boost::json::serialize((*messages)[1]), R"({"b":2})");
  EXPECT_TRUE(parse_frames(""));

  const std::pair<std::string, std::string> bad[] = {
      {frame("{}") + "Content-Length: 5\r\n\r\n{}", "body shorter than its length"},
      {frame("{}") + "Content-Length: 2", "header not ended by an empty line"},
      {frame("{oops"), "body is not JSON: {oops"},
      {frame("{}") + "\r\n", "frame does not start with Content-Length"},
  };
  for (const auto& [bytes, why] : bad) {
    std::string error;
    EXPECT_FALSE(parse_frames(bytes, &error)) << bytes;
    EXPECT_EQ(error, why) << bytes;
  }
}

TEST(FrameReader, BodiesInOrderThenEnd) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const std::string bytes = frame("one") + frame("two") + frame("three") + "Content-Length: 9\r\n\r\nshort";
  ASSERT_EQ(::write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  ::close(fds[1]);
  FrameReader reader(fds[0]);
  EXPECT_EQ(reader.next(), "one");
  EXPECT_EQ(reader.until("th"), "three");
  EXPECT_EQ(reader.next(), std::nullopt);
  ::close(fds[0]);
}

TEST(Child, StatusesAndStreams) {
  EXPECT_EQ(Child({"/bin/sh", "-c", "exit 3"}).wait(), 3);
  EXPECT_EQ(Child({"/bin/sh", "-c", "kill -9 $$"}).wait(), 128 + 9);
  EXPECT_THROW(Child({"/nonexistent/program"}), std::runtime_error);

  const ProcessResult r = run_process({"/bin/sh", "-c", "cat; echo err >&2; exit 4"}, "input");
  EXPECT_EQ(r.out, "input");
  EXPECT_EQ(r.err, "err\n");
  EXPECT_EQ(r.status, 4);
  EXPECT_FALSE(r.timed_out);

  const ProcessResult slow = run_process({"/bin/sh", "-c", "sleep 10"}, "", {std::chrono::milliseconds(100)});
  EXPECT_TRUE(slow.timed_out);
  EXPECT_EQ(slow.status, 128 + 9);
}

}  // namespace
}  // namespace vesk_testing
