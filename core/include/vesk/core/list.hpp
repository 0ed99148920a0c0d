#pragma once
// A list that costs one pointer while empty.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace vesk_core::model {

// The entries live in one heap block, after their count and capacity; an
// empty list holds no block. Most lists of a scene (a node's constraints,
// animations, annotations, comments, used styles) are empty or short.
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
  List(List&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
  ~List() { release(); }

  List& operator=(const List& other) {
    if (this != &other) {
      List copy(other);
      swap(copy);
    }
    return *this;
  }
  List& operator=(List&& other) noexcept {
    if (this != &other) {
      release();
      block_ = std::exchange(other.block_, nullptr);
    }
    return *this;
  }
  List& operator=(std::initializer_list<T> items) {
    List copy(items);
    swap(copy);
    return *this;
  }

  void swap(List& other) noexcept { std::swap(block_, other.block_); }

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
    if (count > capacity()) regrow(count, [](T*) {});
  }

  template <class... Args>
  T& emplace_back(Args&&... args) {
    const size_type n = size();
    if (n == capacity()) {
      // The new entry is made before the old ones move: `args` may refer to one.
      regrow(grown(n + 1), [&](T* at) { ::new (static_cast<void*>(at + n)) T(std::forward<Args>(args)...); });
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

  friend bool operator==(const List& a, const List& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
  }

 private:
  struct alignas(8) Header {
    std::uint32_t size;
    std::uint32_t capacity;
  };
  static_assert(sizeof(Header) == 8);

  static T* entries(Header* block) noexcept { return reinterpret_cast<T*>(block + 1); }
  static const T* entries(const Header* block) noexcept { return reinterpret_cast<const T*>(block + 1); }

  static size_type grown(size_type needed) {
    if (needed > UINT32_MAX) throw std::length_error("vesk_core::model::List: too many entries");
    const size_type doubled = 2 * static_cast<size_type>(needed - 1);
    return std::min<size_type>(UINT32_MAX, std::max<size_type>({needed, doubled, 2}));
  }

  // Moves the entries into a new block of `count` places; `fill` may first
  // construct entries past the moved ones.
  template <class Fill>
  void regrow(size_type count, Fill&& fill) {
    if (count > UINT32_MAX) throw std::length_error("vesk_core::model::List: too many entries");
    auto* fresh = static_cast<Header*>(::operator new(sizeof(Header) + count * sizeof(T)));
    fresh->size = 0;
    fresh->capacity = static_cast<std::uint32_t>(count);
    const size_type n = size();
    try {
      fill(entries(fresh));
    } catch (...) {
      ::operator delete(fresh);
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

  void release() noexcept {
    if (!block_) return;
    std::destroy(begin(), end());
    ::operator delete(block_);
    block_ = nullptr;
  }

  Header* block_ = nullptr;
};

}  // namespace vesk_core::model
