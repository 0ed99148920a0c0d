#pragma once
// Interned node identifiers: a 32-bit handle per distinct text, for the life
// of the process.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace vesk_core::id {

class NodeId {
 public:
  // Handle of `text`; equal texts always give equal handles.
  static NodeId intern(std::string_view text);
  // A fresh identifier "{prefix}_{n}" with n taken from COUNTER.
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

// Numbers generated identifiers; starts at 0 and only grows.
extern std::atomic<std::uint64_t> COUNTER;

// The process-wide interner, created on first use and never emptied.
class Interner {
 public:
  static Interner& instance();
  std::uint32_t intern(std::string_view text);
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
