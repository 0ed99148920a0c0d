#pragma once
// LSP frames ("Content-Length: N\r\n\r\n" + N bytes of body) as the test
// clients, the benchmarks and the fuzzers write, split and check them.

#include <boost/json/value.hpp>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk_testing {

// One frame around `body`.
std::string frame(std::string_view body);
// One frame around `message`, serialised.
std::string frame_json(const boost::json::value& message);

// Where the first frame of some bytes lies. The server writes exactly one
// header, "Content-Length: N\r\n\r\n"; anything else is malformed.
struct FrameSplit {
  enum Kind { Whole, Partial, Malformed };
  Kind kind = Partial;
  std::size_t header = 0;       // bytes before the body (Whole)
  std::size_t body = 0;         // bytes of the body (Whole)
  const char* error = nullptr;  // Malformed: why; Partial: why, if nothing more comes
};
FrameSplit split_frame(std::string_view bytes);

// The JSON bodies of `bytes`, which must be a sequence of whole frames of
// JSON; nullopt (with `error` set) otherwise.
std::optional<std::vector<boost::json::value>> parse_frames(std::string_view bytes, std::string* error = nullptr);

// One line per message: "<id> result", "<id> <error code>", or the method of
// a notification.
std::vector<std::string> summary(const std::vector<boost::json::value>& messages);

// Frame bodies read one at a time from a blocking file descriptor.
class FrameReader {
 public:
  explicit FrameReader(int fd) : fd_(fd) {}

  // The next body; nullopt when the stream ends, fails or turns malformed first.
  std::optional<std::string> next();
  // Bodies up to the first that contains `needle`, which is returned.
  std::optional<std::string> until(std::string_view needle);

 private:
  int fd_;
  std::string buffer_;
};

}  // namespace vesk_testing
