#include "vesk/core/id.hpp"

#include <boost/unordered/unordered_flat_map.hpp>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

namespace vesk_core::id {

namespace {

// Handles carry their shard in the low bits: handle = ((seq + 1) << kShardBits) | shard,
// so no handle is 0 and resolving needs no global table.
constexpr unsigned kShardBits = 4;
constexpr std::uint32_t kShards = 1u << kShardBits;
constexpr std::uint32_t kMaxPerShard = (std::uint32_t{1} << (32 - kShardBits)) - 1;

constexpr std::size_t kChunkBytes = 16 * 1024;

// Bump allocator for interned texts; nothing is ever freed.
class Arena {
 public:
  const char* store(std::string_view text) {
    if (text.size() > kChunkBytes / 4) {
      big_.push_back(std::make_unique<char[]>(text.size()));
      std::memcpy(big_.back().get(), text.data(), text.size());
      return big_.back().get();
    }
    if (text.size() > left_) {
      chunks_.push_back(std::make_unique<char[]>(kChunkBytes));
      next_ = chunks_.back().get();
      left_ = kChunkBytes;
    }
    char* at = next_;
    if (!text.empty()) std::memcpy(at, text.data(), text.size());
    next_ += text.size();
    left_ -= text.size();
    return at;
  }

 private:
  std::vector<std::unique_ptr<char[]>> chunks_;
  std::vector<std::unique_ptr<char[]>> big_;
  char* next_ = nullptr;
  std::size_t left_ = 0;
};

std::size_t text_hash(std::string_view text) { return std::hash<std::string_view>{}(text); }

// The map hashes the low bits; the shard comes from the high ones.
std::uint32_t shard_of(std::size_t hash) {
  return static_cast<std::uint32_t>(hash >> (sizeof(std::size_t) * 8 - kShardBits));
}

struct TextHash {
  std::size_t operator()(std::string_view text) const { return text_hash(text); }
};

// Per-thread cache of recent lookups, indexed by hash: a hit skips the
// shard lock. Entries point at interned texts, which are never freed.
struct CacheEntry {
  const char* data = nullptr;
  std::size_t size = 0;
  std::uint32_t handle = 0;  // 0: empty
};
constexpr std::size_t kCacheEntries = 1024;
thread_local CacheEntry tl_cache[kCacheEntries];

bool holds(const CacheEntry& entry, std::string_view text) {
  return entry.handle != 0 && entry.size == text.size() &&
         (text.empty() || std::memcmp(entry.data, text.data(), text.size()) == 0);
}

// The next number of with_prefix on this thread.
thread_local std::uint64_t tl_next_generated = 0;

[[noreturn]] void interner_full() {
  std::fputs("vesk_core: identifier interner is full\n", stderr);
  std::abort();
}

}  // namespace

struct Interner::Shard {
  mutable std::shared_mutex mutex;
  boost::unordered_flat_map<std::string_view, std::uint32_t, TextHash> handles;
  std::deque<std::string_view> texts;  // by sequence number
  Arena arena;
};

Interner::Interner() : shards_(new Shard[kShards]) {}
Interner::~Interner() { delete[] shards_; }

Interner& Interner::instance() {
  // Never destroyed: views handed out must outlive every static destructor.
  static Interner* const interner = new Interner();
  return *interner;
}

std::uint32_t Interner::intern(std::string_view text) {
  const std::size_t h = text_hash(text);
  CacheEntry& cached = tl_cache[h & (kCacheEntries - 1)];
  if (holds(cached, text)) return cached.handle;
  const std::uint32_t shard_index = shard_of(h);
  Shard& shard = shards_[shard_index];
  {
    std::shared_lock lock(shard.mutex);
    if (auto it = shard.handles.find(text); it != shard.handles.end()) {
      cached = {it->first.data(), it->first.size(), it->second};
      return it->second;
    }
  }
  std::unique_lock lock(shard.mutex);
  if (auto it = shard.handles.find(text); it != shard.handles.end()) {
    cached = {it->first.data(), it->first.size(), it->second};
    return it->second;
  }
  if (shard.texts.size() >= kMaxPerShard) interner_full();
  const auto seq = static_cast<std::uint32_t>(shard.texts.size());
  const std::string_view stored(shard.arena.store(text), text.size());
  const std::uint32_t handle = ((seq + 1) << kShardBits) | shard_index;
  shard.texts.push_back(stored);
  shard.handles.emplace(stored, handle);
  cached = {stored.data(), stored.size(), handle};
  return handle;
}

std::uint32_t Interner::find(std::string_view text) {
  const std::size_t h = text_hash(text);
  CacheEntry& cached = tl_cache[h & (kCacheEntries - 1)];
  if (holds(cached, text)) return cached.handle;
  Shard& shard = shards_[shard_of(h)];
  std::shared_lock lock(shard.mutex);
  const auto it = shard.handles.find(text);
  if (it == shard.handles.end()) return 0;
  cached = {it->first.data(), it->first.size(), it->second};
  return it->second;
}

std::string_view Interner::resolve(std::uint32_t handle) const {
  const Shard& shard = shards_[handle & (kShards - 1)];
  std::shared_lock lock(shard.mutex);
  return shard.texts[(handle >> kShardBits) - 1];
}

std::size_t Interner::size() const {
  std::size_t total = 0;
  for (std::uint32_t i = 0; i < kShards; ++i) {
    std::shared_lock lock(shards_[i].mutex);
    total += shards_[i].texts.size();
  }
  return total;
}

NodeId NodeId::intern(std::string_view text) { return NodeId(INTERNER().intern(text)); }

std::optional<NodeId> NodeId::lookup(std::string_view text) {
  const std::uint32_t handle = INTERNER().find(text);
  if (handle == 0) return std::nullopt;
  return NodeId(handle);
}

NodeId NodeId::with_prefix(std::string_view prefix) {
  const std::uint64_t n = tl_next_generated++;
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  std::string text;
  text.reserve(prefix.size() + 1 + static_cast<std::size_t>(end - digits));
  text.append(prefix).push_back('_');
  text.append(digits, end);
  return intern(text);
}

IdNumbering::IdNumbering() : resumed_(tl_next_generated) { tl_next_generated = 0; }
IdNumbering::~IdNumbering() { tl_next_generated = resumed_; }

std::string_view NodeId::resolve() const { return INTERNER().resolve(value_); }

}  // namespace vesk_core::id
