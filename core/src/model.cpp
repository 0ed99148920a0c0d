#include "vesk/core/model.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace vesk_core::model {

namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::uint8_t channel_byte(float channel) {
  const float scaled = std::round(channel * 255.0f);  // halves away from zero
  if (!(scaled > 0.0f)) return 0;                     // negative or NaN
  if (scaled > 255.0f) return 255;
  return static_cast<std::uint8_t>(scaled);
}

}  // namespace

const Style NodeStyle::kEmpty{};

namespace detail {

void Arena::refill(std::size_t bytes) {
  constexpr std::size_t kHeader = (sizeof(Chunk) + 7) & ~std::size_t{7};
  constexpr std::size_t kMaxChunk = std::size_t{1} << 20;
  const std::size_t size = std::max(chunk_bytes_, kHeader + bytes);
  auto* chunk = static_cast<Chunk*>(::operator new(size));
  chunk->next = chunks_;
  chunks_ = chunk;
  next_ = reinterpret_cast<char*>(chunk) + kHeader;
  end_ = reinterpret_cast<char*>(chunk) + size;
  chunk_bytes_ = std::min(2 * chunk_bytes_, kMaxChunk);
}

void Arena::release() noexcept {
  while (chunks_ != nullptr) ::operator delete(std::exchange(chunks_, chunks_->next));
  next_ = end_ = nullptr;
}

// First-touch page faults are a large part of building a big graph.
void advise_huge_pages([[maybe_unused]] const void* data, [[maybe_unused]] std::size_t bytes) noexcept {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  if (bytes < 2 * kHuge) return;
  const auto begin = (reinterpret_cast<std::uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kHuge - 1);
  if (end > begin) (void)::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

}  // namespace detail

std::optional<Color> Color::from_hex(std::string_view text) {
  if (text.empty() || text[0] != '#') return std::nullopt;
  const std::string_view digits = text.substr(1);
  if (digits.size() > 8) return std::nullopt;
  std::uint8_t values[8];
  for (std::size_t i = 0; i < digits.size(); ++i) {
    const int value = hex_value(digits[i]);
    if (value < 0) return std::nullopt;
    values[i] = static_cast<std::uint8_t>(value);
  }
  return from_hex_values(std::span<const std::uint8_t>(values, digits.size()));
}

std::optional<Color> Color::from_hex_values(std::span<const std::uint8_t> values) {
  int bytes[4] = {0, 0, 0, 255};
  switch (values.size()) {
    case 3:
    case 4:
      for (std::size_t i = 0; i < values.size(); ++i) bytes[i] = values[i] * 17;
      break;
    case 6:
    case 8:
      for (std::size_t i = 0; i < values.size() / 2; ++i) bytes[i] = values[2 * i] * 16 + values[2 * i + 1];
      break;
    default: return std::nullopt;
  }
  Color color;
  color.r = static_cast<float>(bytes[0]) / 255.0f;
  color.g = static_cast<float>(bytes[1]) / 255.0f;
  color.b = static_cast<float>(bytes[2]) / 255.0f;
  color.a = values.size() == 4 || values.size() == 8 ? static_cast<float>(bytes[3]) / 255.0f : 1.0f;
  return color;
}

std::string Color::to_hex() const {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const std::uint8_t bytes[4] = {channel_byte(r), channel_byte(g), channel_byte(b), channel_byte(a)};
  const int count = bytes[3] == 255 ? 3 : 4;
  std::string out(1 + 2 * count, '#');
  for (int i = 0; i < count; ++i) {
    out[1 + 2 * i] = kDigits[bytes[i] >> 4];
    out[2 + 2 * i] = kDigits[bytes[i] & 15];
  }
  return out;
}

SceneGraph::SceneGraph() {
  const NodeId root_id = NodeId::intern("root");
  nodes_.emplace_back(root_id, NodeKind{NodeKind::Root{}});
  links_.emplace_back();
  id_index_.emplace(root_id, root);
}

SceneGraph& SceneGraph::operator=(SceneGraph&& other) noexcept {
  if (this != &other) {
    nodes_ = detail::Segments<SceneNode>();
    arena_ = std::move(other.arena_);
    nodes_ = std::move(other.nodes_);
    links_ = std::move(other.links_);
    id_index_ = std::move(other.id_index_);
    styles = std::move(other.styles);
    edges = std::move(other.edges);
    imports = std::move(other.imports);
  }
  return *this;
}

NodeIndex SceneGraph::link(NodeIndex parent, NodeId id) {
  const auto index = static_cast<NodeIndex>(links_.size());
  links_.emplace_back();
  Links& up = links_[parent];
  if (up.last_child == none) {
    up.first_child = index;
  } else {
    links_[up.last_child].next_sibling = index;
  }
  up.last_child = index;
  id_index_.insert_or_assign(id, index);
  return index;
}

NodeIndex SceneGraph::add_node(NodeIndex parent, SceneNode node) {
  const NodeId id = node.id;
  nodes_.emplace_back(std::move(node));
  return link(parent, id);
}

NodeIndex SceneGraph::add_node(NodeIndex parent, NodeId id, NodeKind kind) {
  nodes_.emplace_back(id, std::move(kind));
  return link(parent, id);
}

void SceneGraph::reserve(std::size_t count) {
  nodes_.reserve(count);
  links_.reserve(count);
  id_index_.reserve(count);
}

const SceneNode* SceneGraph::get_by_id(NodeId id) const {
  const auto it = id_index_.find(id);
  return it == id_index_.end() ? nullptr : &node(it->second);
}

SceneNode* SceneGraph::get_by_id_mut(NodeId id) {
  const auto it = id_index_.find(id);
  return it == id_index_.end() ? nullptr : &node(it->second);
}

std::vector<NodeIndex> SceneGraph::children(NodeIndex index) const {
  std::vector<NodeIndex> out;
  for (NodeIndex child = first_child(index); child != none; child = next_sibling(child)) {
    out.push_back(child);
  }
  return out;
}

}  // namespace vesk_core::model
