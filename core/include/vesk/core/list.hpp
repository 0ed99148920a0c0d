#pragma once
// A list and a text that cost one pointer while empty, and the arena that a
// graph's records can take their memory from.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace vesk_core::model {

namespace detail {

// Memory bumped out of chunks and released all at once when the arena goes:
// the lists and styles of one graph's nodes, without a malloc and a free per
// block. Copying an arena gives an empty one.
class Arena {
 public:
  Arena() noexcept = default;
  Arena(const Arena&) noexcept {}
  Arena(Arena&& other) noexcept
      : chunks_(std::exchange(other.chunks_, nullptr)),
        next_(std::exchange(other.next_, nullptr)),
        end_(std::exchange(other.end_, nullptr)),
        chunk_bytes_(other.chunk_bytes_) {}
  Arena& operator=(const Arena&) noexcept { return *this; }
  Arena& operator=(Arena&& other) noexcept {
    if (this != &other) {
      release();
      chunks_ = std::exchange(other.chunks_, nullptr);
      next_ = std::exchange(other.next_, nullptr);
      end_ = std::exchange(other.end_, nullptr);
      chunk_bytes_ = other.chunk_bytes_;
    }
    return *this;
  }
  ~Arena() { release(); }

  // `bytes` aligned to 8; valid until the arena goes.
  void* allocate(std::size_t bytes) {
    bytes = (bytes + 7) & ~std::size_t{7};
    if (static_cast<std::size_t>(end_ - next_) < bytes) refill(bytes);
    void* at = next_;
    next_ += bytes;
    return at;
  }

 private:
  struct Chunk {
    Chunk* next;
  };
  void refill(std::size_t bytes);
  void release() noexcept;

  Chunk* chunks_ = nullptr;
  char* next_ = nullptr;
  char* end_ = nullptr;
  std::size_t chunk_bytes_ = 4096;
};

}  // namespace detail

// The entries live in one block, after their count and capacity; an empty
// list holds no block. Most lists of a scene (a node's constraints,
// animations, annotations, comments, used styles) are empty or short.
//
// A block is taken from the heap, or, through emplace_back_in, from an arena
// (a graph's, for the nodes it holds). A list never hands an arena block to
// another list: moving from one moves the entries into a heap block.
template <class T>
class List {
  static_assert(alignof(T) <= 8, "entries must fit the block's 8-byte alignment");
  static_assert(std::is_nothrow_move_constructible_v<T>, "entries move when the block grows");

 public:
  using value_type = T;
  using size_type = std::size_t;
  using difference_type = std::ptrdiff_t;
  using reference = T&;
  using const_reference = const T&;
  using pointer = T*;
  using const_pointer = const T*;
  using iterator = T*;
  using const_iterator = const T*;

  List() noexcept = default;
  List(std::initializer_list<T> items) { append(items.begin(), items.end()); }
  template <class It, class = typename std::iterator_traits<It>::iterator_category>
  List(It first, It last) {
    append(first, last);
  }
  List(const List& other) { append(other.begin(), other.end()); }
  List(List&& other) noexcept { take(other); }
  ~List() { release(); }

  List& operator=(const List& other) {
    if (this != &other) {
      List copy(other);
      release();
      take(copy);
    }
    return *this;
  }
  List& operator=(List&& other) noexcept {
    if (this != &other) {
      release();
      take(other);
    }
    return *this;
  }
  List& operator=(std::initializer_list<T> items) {
    List copy(items);
    release();
    take(copy);
    return *this;
  }

  void swap(List& other) noexcept {
    List held(std::move(other));
    other = std::move(*this);
    *this = std::move(held);
  }

  size_type size() const noexcept { return block_ ? block_->size : 0; }
  size_type capacity() const noexcept { return block_ ? block_->capacity : 0; }
  bool empty() const noexcept { return size() == 0; }

  T* data() noexcept { return block_ ? entries(block_) : nullptr; }
  const T* data() const noexcept { return block_ ? entries(block_) : nullptr; }
  iterator begin() noexcept { return data(); }
  iterator end() noexcept { return data() + size(); }
  const_iterator begin() const noexcept { return data(); }
  const_iterator end() const noexcept { return data() + size(); }
  const_iterator cbegin() const noexcept { return begin(); }
  const_iterator cend() const noexcept { return end(); }

  T& operator[](size_type i) { return data()[i]; }
  const T& operator[](size_type i) const { return data()[i]; }
  T& front() { return data()[0]; }
  const T& front() const { return data()[0]; }
  T& back() { return data()[size() - 1]; }
  const T& back() const { return data()[size() - 1]; }

  void reserve(size_type count) {
    if (count > capacity()) regrow(count, nullptr, [](T*) {});
  }

  // Default entries appended, or entries dropped from the end.
  void resize(size_type count) {
    if (count < size()) {
      erase(begin() + count, end());
      return;
    }
    reserve(count);
    while (size() < count) emplace_back();
  }

  template <class... Args>
  T& emplace_back(Args&&... args) {
    return emplace_back_in(nullptr, std::forward<Args>(args)...);
  }
  // The same with a new block, if one is needed, from `arena`, which must
  // outlive the list.
  template <class... Args>
  T& emplace_back_in(detail::Arena* arena, Args&&... args) {
    const size_type n = size();
    if (n == capacity()) {
      // The new entry is made before the old ones move: `args` may refer to one.
      regrow(grown(n + 1), arena, [&](T* at) { ::new (static_cast<void*>(at + n)) T(std::forward<Args>(args)...); });
    } else {
      ::new (static_cast<void*>(data() + n)) T(std::forward<Args>(args)...);
    }
    ++block_->size;
    return back();
  }
  void push_back(const T& value) { emplace_back(value); }
  void push_back(T&& value) { emplace_back(std::move(value)); }

  iterator insert(const_iterator pos, T value) {
    const auto at = static_cast<size_type>(pos - begin());
    emplace_back(std::move(value));
    std::rotate(begin() + at, end() - 1, end());
    return begin() + at;
  }

  iterator erase(const_iterator first, const_iterator last) {
    T* const from = begin() + (first - cbegin());
    T* const to = begin() + (last - cbegin());
    if (from == to) return from;
    T* const new_end = std::move(to, end(), from);
    std::destroy(new_end, end());
    block_->size = static_cast<std::uint32_t>(new_end - begin());
    return from;
  }
  iterator erase(const_iterator pos) { return erase(pos, pos + 1); }

  void pop_back() {
    std::destroy_at(&back());
    --block_->size;
  }

  // Drops the entries and their block.
  void clear() noexcept { release(); }

  friend bool operator==(const List& a, const List& b) { return std::equal(a.begin(), a.end(), b.begin(), b.end()); }

 private:
  static constexpr std::uint32_t kMaxEntries = UINT32_MAX >> 1;

  struct alignas(8) Header {
    std::uint32_t size;
    std::uint32_t capacity : 31;
    std::uint32_t in_arena : 1;  // the arena frees the block
  };
  static_assert(sizeof(Header) == 8);

  static T* entries(Header* block) noexcept { return reinterpret_cast<T*>(block + 1); }
  static const T* entries(const Header* block) noexcept { return reinterpret_cast<const T*>(block + 1); }

  // Room for one entry first (most lists of a scene keep one), then doubling.
  static size_type grown(size_type needed) {
    if (needed > kMaxEntries) throw std::length_error("vesk_core::model::List: too many entries");
    return std::min<size_type>(kMaxEntries, std::max<size_type>(needed, 2 * (needed - 1)));
  }

  // Moves the entries into a new block of `count` places; `fill` may first
  // construct entries past the moved ones.
  template <class Fill>
  void regrow(size_type count, detail::Arena* arena, Fill&& fill) {
    if (count > kMaxEntries) throw std::length_error("vesk_core::model::List: too many entries");
    const std::size_t bytes = sizeof(Header) + count * sizeof(T);
    auto* fresh = static_cast<Header*>(arena ? arena->allocate(bytes) : ::operator new(bytes));
    fresh->size = 0;
    fresh->capacity = static_cast<std::uint32_t>(count);
    fresh->in_arena = arena != nullptr;
    const size_type n = size();
    try {
      fill(entries(fresh));
    } catch (...) {
      if (!arena) ::operator delete(fresh);
      throw;
    }
    if (block_) {
      std::uninitialized_move(begin(), end(), entries(fresh));
      fresh->size = static_cast<std::uint32_t>(n);
      release();
    }
    block_ = fresh;
  }

  template <class It>
  void append(It first, It last) {
    if constexpr (std::is_base_of_v<std::forward_iterator_tag, typename std::iterator_traits<It>::iterator_category>) {
      reserve(size() + static_cast<size_type>(std::distance(first, last)));
    }
    for (; first != last; ++first) emplace_back(*first);
  }

  // Takes the entries of `other`, an arena's by moving them into a heap block
  // of its own; leaves `other` empty. Expects this list to hold no block.
  void take(List& other) noexcept {
    if (other.block_ == nullptr || !other.block_->in_arena) {
      block_ = std::exchange(other.block_, nullptr);
      return;
    }
    if (!other.empty()) {
      // A heap block for the moved entries; failing to get one ends the
      // program, as a move cannot report it.
      const size_type n = other.size();
      auto* fresh = static_cast<Header*>(::operator new(sizeof(Header) + n * sizeof(T)));
      fresh->size = static_cast<std::uint32_t>(n);
      fresh->capacity = static_cast<std::uint32_t>(n);
      fresh->in_arena = false;
      std::uninitialized_move(other.begin(), other.end(), entries(fresh));
      block_ = fresh;
    }
    other.release();
  }

  void release() noexcept {
    if (!block_) return;
    std::destroy(begin(), end());
    if (!block_->in_arena) ::operator delete(block_);
    block_ = nullptr;
  }

  Header* block_ = nullptr;
};

// A text that costs one pointer: the bytes live in one heap block after
// their length; the empty text holds none. Reads as a std::string_view.
class CompactString {
 public:
  CompactString() noexcept = default;
  CompactString(std::string_view text) { assign(text); }                      // NOLINT: converts like the text it holds
  CompactString(const char* text) : CompactString(std::string_view(text)) {}  // NOLINT
  CompactString(const std::string& text) : CompactString(std::string_view(text)) {}  // NOLINT
  CompactString(const CompactString& other) { assign(other.view()); }
  CompactString(CompactString&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
  CompactString& operator=(const CompactString& other) {
    if (this != &other) {
      CompactString copy(other);
      std::swap(block_, copy.block_);
    }
    return *this;
  }
  CompactString& operator=(CompactString&& other) noexcept {
    std::swap(block_, other.block_);
    return *this;
  }
  CompactString& operator=(std::string_view text) {
    CompactString copy(text);
    std::swap(block_, copy.block_);
    return *this;
  }
  ~CompactString() { ::operator delete(block_); }

  std::size_t size() const noexcept { return block_ ? *block_ : 0; }
  bool empty() const noexcept { return size() == 0; }
  const char* data() const noexcept { return block_ ? reinterpret_cast<const char*>(block_ + 1) : ""; }
  std::string_view view() const noexcept { return {data(), size()}; }
  operator std::string_view() const noexcept { return view(); }  // NOLINT

  friend bool operator==(const CompactString& a, const CompactString& b) { return a.view() == b.view(); }
  friend bool operator==(const CompactString& a, std::string_view b) { return a.view() == b; }
  friend bool operator==(const CompactString& a, const char* b) { return a.view() == std::string_view(b); }

 private:
  void assign(std::string_view text) {
    if (text.empty()) return;
    block_ = static_cast<std::size_t*>(::operator new(sizeof(std::size_t) + text.size()));
    *block_ = text.size();
    std::memcpy(block_ + 1, text.data(), text.size());
  }

  std::size_t* block_ = nullptr;  // the length, then the bytes
};

}  // namespace vesk_core::model
