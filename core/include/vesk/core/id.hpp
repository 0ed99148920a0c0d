#pragma once
// Interned node identifiers: a 32-bit handle per distinct text, for the life
// of the process.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace vesk_core::id {

class NodeId {
 public:
  // Handle of `text`; equal texts always give equal handles.
  static NodeId intern(std::string_view text);
  // Handle of `text` when it has been interned; inserts nothing. A text never
  // interned names no node.
  static std::optional<NodeId> lookup(std::string_view text);
  // A generated identifier "{prefix}_{n}", n the next number of this thread's
  // numbering (see IdNumbering).
  static NodeId with_prefix(std::string_view prefix);

  // The interned text; the view stays valid until the process ends.
  std::string_view resolve() const;

  std::uint32_t value() const { return value_; }

  friend bool operator==(NodeId a, NodeId b) { return a.value_ == b.value_; }
  friend bool operator!=(NodeId a, NodeId b) { return a.value_ != b.value_; }
  // For boost::hash (the flat maps mix the bits themselves).
  friend std::size_t hash_value(NodeId id) { return id.value_; }

 private:
  explicit NodeId(std::uint32_t value) : value_(value) {}
  std::uint32_t value_;
};

// While alive, NodeId::with_prefix on this thread numbers from 0; the numbering
// it replaced resumes when it ends. parse_document holds one per parse, so a
// parse numbers its unnamed nodes and edges 0, 1, ... whatever ran before or
// on other threads, and the interner keeps no more generated texts than the
// largest document has unnamed nodes and edges. Outside every scope a thread
// numbers on from 0 at its start.
class IdNumbering {
 public:
  IdNumbering();
  ~IdNumbering();
  IdNumbering(const IdNumbering&) = delete;
  IdNumbering& operator=(const IdNumbering&) = delete;

 private:
  std::uint64_t resumed_;
};

// The process-wide interner, created on first use and never emptied.
class Interner {
 public:
  static Interner& instance();
  std::uint32_t intern(std::string_view text);
  // The handle of `text`, or 0 when it was never interned.
  std::uint32_t find(std::string_view text);
  std::string_view resolve(std::uint32_t handle) const;
  // Number of distinct texts held.
  std::size_t size() const;

  Interner(const Interner&) = delete;
  Interner& operator=(const Interner&) = delete;

 private:
  Interner();
  ~Interner();
  struct Shard;
  Shard* shards_;
};

// The process-wide interner (created on first call).
inline Interner& INTERNER() { return Interner::instance(); }

}  // namespace vesk_core::id

template <>
struct std::hash<vesk_core::id::NodeId> {
  std::size_t operator()(vesk_core::id::NodeId id) const noexcept { return id.value(); }
};
