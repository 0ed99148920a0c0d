#include "service.hpp"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace vesk_lsp::service {

namespace code = jsonrpc::code;
using jsonrpc::Message;

namespace {

struct Incoming {
  enum class Kind { kMessage, kEnd, kUndecodable };
  Kind kind = Kind::kEnd;
  Message message;
  int error_code = 0;
};

Incoming to_incoming(transport::ReadResult r) {
  Incoming in;
  switch (r.status) {
    case transport::ReadStatus::kEnd: in.kind = Incoming::Kind::kEnd; break;
    case transport::ReadStatus::kUndecodable:
      in.kind = Incoming::Kind::kUndecodable;
      in.error_code = code::kParseError;
      break;
    case transport::ReadStatus::kMessage: {
      auto decoded = jsonrpc::decode(r.body);
      if (auto* e = std::get_if<jsonrpc::DecodeError>(&decoded)) {
        in.kind = Incoming::Kind::kUndecodable;
        in.error_code = e->code;
      } else {
        in.kind = Incoming::Kind::kMessage;
        in.message = std::move(std::get<Message>(decoded));
      }
      break;
    }
  }
  return in;
}

// The next message, waiting for input, then those whose bytes have already
// arrived with it, up to `max` in all; a marker (end, undecodable) ends the group.
std::vector<Incoming> read_group(transport::MessageReader& reader, std::size_t max) {
  std::vector<Incoming> group;
  try {
    group.push_back(to_incoming(reader.next()));
    while (group.size() < max && group.back().kind == Incoming::Kind::kMessage) {
      auto more = reader.next_buffered();
      if (!more) break;
      group.push_back(to_incoming(std::move(*more)));
    }
  } catch (const std::exception&) {
    group.push_back(Incoming{Incoming::Kind::kUndecodable, {}, code::kParseError});
  }
  return group;
}

// The bounded queue between the reader thread and the dispatcher.
class Queue {
 public:
  // Adds the items in order, as many at a time as there is room for, waiting
  // while full; false once stopped. A group that fits goes in under one lock,
  // so no batch is taken while only part of it is there.
  bool push(std::vector<Incoming> group) {
    std::unique_lock lock(mutex_);
    for (auto it = group.begin(); it != group.end();) {
      not_full_.wait(lock, [&] { return stopped_ || items_.size() < kQueueCapacity; });
      if (stopped_) return false;
      while (it != group.end() && items_.size() < kQueueCapacity) items_.push_back(std::move(*it++));
      not_empty_.notify_one();
    }
    return true;
  }

  // Waits for the first item, then takes further messages that are already
  // there, up to `max` in all. A marker (end, undecodable) comes alone.
  std::vector<Incoming> pop_batch(std::size_t max) {
    std::unique_lock lock(mutex_);
    not_empty_.wait(lock, [&] { return !items_.empty() || finished_; });
    std::vector<Incoming> out;
    if (items_.empty()) {
      out.emplace_back();  // the reader is gone: an end
      return out;
    }
    while (!items_.empty() && out.size() < max) {
      const bool marker = items_.front().kind != Incoming::Kind::kMessage;
      if (marker && !out.empty()) break;
      out.push_back(std::move(items_.front()));
      items_.pop_front();
      if (marker) break;
    }
    not_full_.notify_one();
    return out;
  }

  // The reader has ended (also when it failed without a marker).
  void finish() {
    std::lock_guard lock(mutex_);
    finished_ = true;
    not_empty_.notify_all();
  }

  void stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    not_full_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable not_full_;
  std::condition_variable not_empty_;
  std::deque<Incoming> items_;
  bool stopped_ = false;
  bool finished_ = false;
};

}  // namespace

int serve(transport::ByteSource& source, transport::Sink& sink, const ServerFactory& factory,
          protocol::UriParser uri_parser) {
  transport::Writer writer(sink);
  Service service(writer, factory, std::move(uri_parser));
  Queue queue;
  std::atomic<bool> stopping{false};

  std::thread reader_thread([&] {
    try {
      transport::MessageReader reader(source);
      for (;;) {
        // Messages that arrive together are handed over together, so that a
        // burst is batched the same way however the threads interleave.
        std::vector<Incoming> group = read_group(reader, kMaxInProgress);
        if (stopping.load()) group.assign(1, Incoming{});  // interrupted: an end, whatever was read
        const bool last = group.back().kind != Incoming::Kind::kMessage;
        if (!queue.push(std::move(group)) || last) break;
      }
    } catch (...) {
      // Out of memory while queueing: the dispatcher sees an end.
    }
    queue.finish();
  });

  // Stop the reader however the loop ends: wake it from a full queue or a blocked read.
  struct StopReader {
    std::atomic<bool>& stopping;
    Queue& queue;
    transport::ByteSource& source;
    std::thread& thread;
    ~StopReader() {
      stopping.store(true);
      queue.stop();
      source.interrupt();
      thread.join();
    }
  } stop_reader{stopping, queue, source, reader_thread};

  int status = 0;
  for (;;) {
    std::vector<Incoming> batch = queue.pop_batch(kMaxInProgress);
    const Incoming& first = batch.front();
    if (first.kind == Incoming::Kind::kEnd) break;
    if (first.kind == Incoming::Kind::kUndecodable) {
      service.answer_undecodable(first.error_code);
      break;
    }
    std::vector<Message> messages;
    messages.reserve(batch.size());
    for (Incoming& in : batch) messages.push_back(std::move(in.message));
    if (!service.handle(messages)) {
      status = service.exit_status();
      break;
    }
  }

  return status;
}

}  // namespace vesk_lsp::service
