#include "vesk/testing/frames.hpp"

#include <boost/json/object.hpp>
#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>

#include <unistd.h>

#include <cerrno>
#include <limits>

namespace vesk_testing {

namespace json = boost::json;

std::string frame(std::string_view body) {
  return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + std::string(body);
}

std::string frame_json(const json::value& message) { return frame(json::serialize(message)); }

FrameSplit split_frame(std::string_view bytes) {
  constexpr std::string_view kHead = "Content-Length: ";
  constexpr std::string_view kEnd = "\r\n\r\n";
  constexpr const char* kNoHead = "frame does not start with Content-Length";
  constexpr const char* kNoLength = "no length";
  constexpr const char* kNoEnd = "header not ended by an empty line";
  const auto partial = [](const char* why) { return FrameSplit{FrameSplit::Partial, 0, 0, why}; };
  const auto malformed = [](const char* why) { return FrameSplit{FrameSplit::Malformed, 0, 0, why}; };

  if (!bytes.starts_with(kHead)) return kHead.starts_with(bytes) ? partial(kNoHead) : malformed(kNoHead);
  std::size_t at = kHead.size();
  std::size_t n = 0;
  for (; at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9'; ++at) {
    if (n > (std::numeric_limits<std::size_t>::max() - 9) / 10) return malformed("length too large");
    n = n * 10 + static_cast<std::size_t>(bytes[at] - '0');
  }
  if (at == bytes.size()) return partial(at == kHead.size() ? kNoLength : kNoEnd);
  if (at == kHead.size()) return malformed(kNoLength);
  const std::string_view rest = bytes.substr(at);
  if (!rest.starts_with(kEnd)) return kEnd.starts_with(rest) ? partial(kNoEnd) : malformed(kNoEnd);
  at += kEnd.size();
  if (bytes.size() - at < n) return partial("body shorter than its length");
  return {FrameSplit::Whole, at, n, nullptr};
}

std::optional<std::vector<json::value>> parse_frames(std::string_view bytes, std::string* error) {
  std::vector<json::value> out;
  auto bad = [&](std::string why) -> std::optional<std::vector<json::value>> {
    if (error) *error = std::move(why);
    return std::nullopt;
  };
  while (!bytes.empty()) {
    const FrameSplit split = split_frame(bytes);
    if (split.kind != FrameSplit::Whole) return bad(split.error);
    const std::string_view body = bytes.substr(split.header, split.body);
    boost::system::error_code ec;
    auto v = json::parse(json::string_view(body.data(), body.size()), ec);
    if (ec) return bad("body is not JSON: " + std::string(body));
    out.push_back(std::move(v));
    bytes.remove_prefix(split.header + split.body);
  }
  return out;
}

std::vector<std::string> summary(const std::vector<json::value>& messages) {
  std::vector<std::string> lines;
  for (const json::value& v : messages) {
    const json::object& o = v.as_object();
    if (o.contains("method")) {
      lines.emplace_back(o.at("method").as_string());
    } else if (o.contains("result")) {
      lines.push_back(json::serialize(o.at("id")) + " result");
    } else {
      lines.push_back(json::serialize(o.at("id")) + " " + std::to_string(o.at("error").at("code").as_int64()));
    }
  }
  return lines;
}

std::optional<std::string> FrameReader::next() {
  for (;;) {
    const FrameSplit split = split_frame(buffer_);
    if (split.kind == FrameSplit::Whole) {
      std::string body = buffer_.substr(split.header, split.body);
      buffer_.erase(0, split.header + split.body);
      return body;
    }
    if (split.kind == FrameSplit::Malformed) return std::nullopt;
    char chunk[1 << 16];
    const ssize_t got = ::read(fd_, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return std::nullopt;
    buffer_.append(chunk, static_cast<std::size_t>(got));
  }
}

std::optional<std::string> FrameReader::until(std::string_view needle) {
  for (;;) {
    std::optional<std::string> body = next();
    if (!body || body->find(needle) != std::string::npos) return body;
  }
}

}  // namespace vesk_testing
