#include "transport.hpp"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <system_error>
#include <utility>

namespace vesk_lsp::transport {

namespace {

constexpr std::size_t kChunk = 64 * 1024;

std::string_view trim_blanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A decimal byte count with an optional leading "+"; nullopt when malformed or too large.
std::optional<std::size_t> parse_length(std::string_view value) {
  if (!value.empty() && value.front() == '+') value.remove_prefix(1);
  if (value.empty()) return std::nullopt;
  std::size_t n = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return std::nullopt;
    if (n > (MessageReader::kMaxBody + 1) / 10) return MessageReader::kMaxBody + 1;  // over the cap anyway
    n = n * 10 + static_cast<std::size_t>(c - '0');
  }
  return n;
}

// The charset parameter of a Content-Type value must name UTF-8.
bool charset_ok(std::string_view value) {
  std::size_t semi = value.find(';');
  while (semi != std::string_view::npos) {
    value.remove_prefix(semi + 1);
    semi = value.find(';');
    std::string_view param = trim_blanks(value.substr(0, semi));
    if (param.starts_with("charset=")) {
      param.remove_prefix(8);
      return param == "utf-8" || param == "utf8";
    }
  }
  return false;
}

}  // namespace

std::size_t MemorySource::read(char* buffer, std::size_t size) {
  const std::size_t n = std::min({size, chunk_, data_.size() - pos_});
  std::memcpy(buffer, data_.data() + pos_, n);
  pos_ += n;
  return n;
}

FdSource::FdSource(int fd) : fd_(fd) {
  if (::pipe(wake_) != 0) throw std::system_error(errno, std::generic_category(), "wake-up pipe");
}

FdSource::~FdSource() {
  if (wake_[0] >= 0) ::close(wake_[0]);
  if (wake_[1] >= 0) ::close(wake_[1]);
}

std::size_t FdSource::read(char* buffer, std::size_t size) {
  for (;;) {
    pollfd fds[2] = {{fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    const int ready = ::poll(fds, wake_[0] >= 0 ? 2 : 1, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return 0;
    }
    if (wake_[0] >= 0 && fds[1].revents != 0) return 0;
    if (fds[0].revents == 0) continue;
    const ssize_t n = ::read(fd_, buffer, size);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return 0;
    }
    return static_cast<std::size_t>(n);
  }
}

void FdSource::interrupt() {
  if (wake_[1] < 0) return;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(wake_[1], &byte, 1);
}

bool MessageReader::fill() {
  if (!may_read_) {
    starved_ = true;
    return false;
  }
  compact();
  const std::size_t old = buffer_.size();
  buffer_.resize(old + kChunk);
  const std::size_t n = source_.read(buffer_.data() + old, kChunk);
  buffer_.resize(old + n);
  return n > 0;
}

void MessageReader::compact() {
  if (pos_ == 0) return;
  if (pos_ == buffer_.size()) {
    buffer_.clear();
    pos_ = 0;
  } else if (pos_ >= kChunk) {
    buffer_.erase(0, pos_);
    pos_ = 0;
  }
}

// A line ends at "\n"; one "\r" before it is dropped. A bare "\n" is taken
// as a line end too: it cannot be mistaken for anything else in a header.
MessageReader::Line MessageReader::read_line(std::string& line) {
  std::size_t searched = 0;
  for (;;) {
    const std::size_t nl = buffer_.find('\n', pos_ + searched);
    if (nl != std::string::npos) {
      std::size_t end = nl;
      if (end > pos_ && buffer_[end - 1] == '\r') --end;
      if (end - pos_ > kMaxHeaderLine) return Line::kTooLong;
      line.assign(buffer_, pos_, end - pos_);
      pos_ = nl + 1;
      return Line::kLine;
    }
    searched = buffered();
    if (searched > kMaxHeaderLine + 1) return Line::kTooLong;
    if (!fill()) return Line::kEnd;
  }
}

ReadResult MessageReader::next() {
  may_read_ = true;
  return read_message();
}

std::optional<ReadResult> MessageReader::next_buffered() {
  may_read_ = false;
  starved_ = false;
  ReadResult r = read_message();
  may_read_ = true;
  if (starved_) {
    // Without reads the buffer was not compacted since the message began.
    pos_ = message_start_;
    return std::nullopt;
  }
  return r;
}

ReadResult MessageReader::read_message() {
  for (;;) {
    message_start_ = pos_;
    bool started = false;
    std::size_t lines = 0;
    std::optional<std::size_t> length;
    for (;;) {
      std::string line;
      const Line got = read_line(line);
      if (got == Line::kEnd) {
        if (!started && buffered() == 0) return {ReadStatus::kEnd, {}};
        return {ReadStatus::kUndecodable, {}};
      }
      if (got == Line::kTooLong) return {ReadStatus::kUndecodable, {}};
      started = true;
      if (line.empty()) break;
      if (++lines > kMaxHeaderLines) return {ReadStatus::kUndecodable, {}};
      // A header is a name, a colon and a value; names other than these two are
      // ignored whatever they hold.
      const std::size_t colon = line.find(':');
      if (colon == std::string::npos) return {ReadStatus::kUndecodable, {}};
      const std::string_view name(line.data(), colon);
      const std::string_view value = trim_blanks(std::string_view(line).substr(colon + 1));
      if (name == "Content-Length") {
        const auto n = parse_length(value);
        if (!n || (length && *length != *n)) return {ReadStatus::kUndecodable, {}};
        length = n;
      } else if (name == "Content-Type") {
        if (!charset_ok(value)) return {ReadStatus::kUndecodable, {}};
      }
    }
    if (!length || *length > kMaxBody) return {ReadStatus::kUndecodable, {}};
    while (buffered() < *length) {
      if (!fill()) return {ReadStatus::kUndecodable, {}};
    }
    ReadResult result{ReadStatus::kMessage, buffer_.substr(pos_, *length)};
    pos_ += *length;
    compact();
    if (result.body.empty()) continue;
    return result;
  }
}

void FdSink::write(std::string_view bytes) {
  while (!broken_ && !bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      broken_ = true;
      return;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

void StringSink::write(std::string_view bytes) {
  std::lock_guard lock(mutex_);
  data_.append(bytes);
}

std::string StringSink::take() {
  std::lock_guard lock(mutex_);
  return std::exchange(data_, {});
}

std::string frame(std::string_view body) {
  std::string out = "Content-Length: ";
  out += std::to_string(body.size());
  out += "\r\n\r\n";
  out += body;
  return out;
}

void Writer::send(std::string_view body) {
  const std::string bytes = frame(body);
  std::lock_guard lock(mutex_);
  sink_.write(bytes);
}

}  // namespace vesk_lsp::transport
