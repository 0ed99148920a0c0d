#pragma once
// Content-Length framing of LSP messages over byte streams.

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace vesk_lsp::transport {

// Where incoming bytes come from.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `size` bytes into `buffer`; 0 means the input has ended.
  virtual std::size_t read(char* buffer, std::size_t size) = 0;
  // Makes a blocked or later `read` return 0 soon; callable from any thread.
  virtual void interrupt() {}
};

// Bytes held in memory, handed out in pieces of at most `chunk` bytes.
class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::string data, std::size_t chunk = 4096) : data_(std::move(data)), chunk_(chunk) {}
  std::size_t read(char* buffer, std::size_t size) override;

 private:
  std::string data_;
  std::size_t chunk_;
  std::size_t pos_ = 0;
};

// A file descriptor (standard input); `interrupt` wakes a blocked read through
// a pipe. The constructor throws std::system_error when the pipe cannot be made.
class FdSource : public ByteSource {
 public:
  explicit FdSource(int fd);
  ~FdSource() override;
  FdSource(const FdSource&) = delete;
  FdSource& operator=(const FdSource&) = delete;
  std::size_t read(char* buffer, std::size_t size) override;
  void interrupt() override;

 private:
  int fd_;
  int wake_[2] = {-1, -1};
};

enum class ReadStatus {
  kMessage,      // `body` holds one message body
  kEnd,          // the input ended between messages
  kUndecodable,  // broken framing, or the input ended inside a message
};

struct ReadResult {
  ReadStatus status = ReadStatus::kEnd;
  std::string body;
};

// Cuts a byte stream into message bodies. Memory grows only with the bytes
// that actually arrive, never with what a header announces.
class MessageReader {
 public:
  static constexpr std::size_t kMaxHeaderLine = 8 * 1024;
  static constexpr std::size_t kMaxHeaderLines = 2;
  static constexpr std::size_t kMaxBody = 256u * 1024 * 1024;

  explicit MessageReader(ByteSource& source) : source_(source) {}

  // The next message with a non-empty body; empty bodies are skipped.
  ReadResult next();
  // The same from the bytes already read, without reading more: nullopt when
  // they do not hold all of it (nothing of it is taken then).
  std::optional<ReadResult> next_buffered();

 private:
  enum class Line { kLine, kEnd, kTooLong };
  ReadResult read_message();
  Line read_line(std::string& line);
  bool fill();
  std::size_t buffered() const { return buffer_.size() - pos_; }
  void compact();

  ByteSource& source_;
  std::string buffer_;
  std::size_t pos_ = 0;
  std::size_t message_start_ = 0;
  bool may_read_ = true;
  bool starved_ = false;  // a read was wanted while reading was not allowed
};

// Where outgoing bytes go.
class Sink {
 public:
  virtual ~Sink() = default;
  virtual void write(std::string_view bytes) = 0;
};

// Writes to a file descriptor; after a failed write (a closed pipe) it drops everything.
class FdSink : public Sink {
 public:
  explicit FdSink(int fd) : fd_(fd) {}
  void write(std::string_view bytes) override;

 private:
  int fd_;
  bool broken_ = false;
};

class StringSink : public Sink {
 public:
  void write(std::string_view bytes) override;
  std::string take();

 private:
  std::mutex mutex_;
  std::string data_;
};

// Frames bodies and hands each whole frame to the sink under one lock.
class Writer {
 public:
  explicit Writer(Sink& sink) : sink_(sink) {}
  void send(std::string_view body);

 private:
  std::mutex mutex_;
  Sink& sink_;
};

std::string frame(std::string_view body);

}  // namespace vesk_lsp::transport
