#include "vesk/core/id.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <thread>
#include <vector>

using vesk_core::id::COUNTER;
using vesk_core::id::NodeId;

TEST(NodeIdTest, EqualTextsShareOneHandle) {
  const NodeId a1 = NodeId::intern("a");
  const NodeId a2 = NodeId::intern(std::string("a"));
  EXPECT_EQ(a1, a2);
  EXPECT_NE(a1, NodeId::intern("A"));
  EXPECT_NE(a1.value(), 0u);
}

TEST(NodeIdTest, ResolveGivesTheTextBackByteForByte) {
  const std::string texts[] = {"", "root", "card_1", "\xCE\xB1\xCE\xB2\xCE\xB3", std::string(100000, 'x'),
                               std::string("nul\0inside", 10)};
  for (const auto& text : texts) {
    const NodeId id = NodeId::intern(text);
    EXPECT_EQ(id.resolve(), text);
    EXPECT_NE(id.value(), 0u);
  }
  EXPECT_NE(NodeId::intern(""), NodeId::intern(" "));
}

TEST(NodeIdTest, ResolvedViewOutlivesLaterInsertions) {
  const std::string_view first = NodeId::intern("stable_view_text").resolve();
  const char* data = first.data();
  for (int i = 0; i < 50000; ++i) NodeId::intern("filler_" + std::to_string(i));
  EXPECT_EQ(NodeId::intern("stable_view_text").resolve().data(), data);
  EXPECT_EQ(first, "stable_view_text");
}

TEST(NodeIdTest, WithPrefixNumbersFromTheCounter) {
  const std::uint64_t n = COUNTER.load();
  const NodeId first = NodeId::with_prefix("_anon");
  const NodeId second = NodeId::with_prefix("_anon");
  EXPECT_EQ(first.resolve(), "_anon_" + std::to_string(n));
  EXPECT_EQ(second.resolve(), "_anon_" + std::to_string(n + 1));
  // A written identifier equal to a generated one shares its handle.
  EXPECT_EQ(NodeId::intern("_anon_" + std::to_string(n)), first);
}

TEST(NodeIdTest, ManyThreadsInterningOneNewTextGetOneHandle) {
  constexpr int kThreads = 16;
  for (int round = 0; round < 20; ++round) {
    const std::string text = "contended_" + std::to_string(round);
    std::vector<std::uint32_t> handles(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] { handles[t] = NodeId::intern(text).value(); });
    }
    for (auto& th : threads) th.join();
    EXPECT_TRUE(std::all_of(handles.begin(), handles.end(), [&](auto h) { return h == handles[0]; }));
    EXPECT_EQ(NodeId::intern(text).value(), handles[0]);
  }
}

TEST(NodeIdTest, ConcurrentWithPrefixGivesDistinctNumbers) {
  constexpr int kThreads = 8;
  constexpr int kEach = 2000;
  std::vector<std::vector<std::string>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) seen[t].emplace_back(NodeId::with_prefix("_par").resolve());
    });
  }
  for (auto& th : threads) th.join();
  std::set<std::string> all;
  for (const auto& list : seen) all.insert(list.begin(), list.end());
  EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads * kEach));
}

TEST(NodeIdTest, ConcurrentMixedInternAndResolveAgree) {
  constexpr int kThreads = 8;
  std::vector<std::thread> threads;
  std::atomic<int> mismatches{0};
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 3000; ++i) {
        const std::string text = "mix_" + std::to_string((i * 7 + t) % 500);
        const NodeId id = NodeId::intern(text);
        if (id.resolve() != text) ++mismatches;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(mismatches.load(), 0);
}

TEST(NodeIdTest, RepeatedLookupsAgreeBeyondTheCacheSize) {
  // More texts than the per-thread lookup cache holds, so slots are shared
  // and replaced; every lookup must still give the text's own handle.
  std::vector<std::string> texts;
  std::vector<NodeId> ids;
  for (int i = 0; i < 5000; ++i) {
    texts.push_back("cached_" + std::to_string(i));
    ids.push_back(NodeId::intern(texts.back()));
  }
  for (int round = 0; round < 2; ++round) {
    for (std::size_t i = 0; i < texts.size(); ++i) {
      const NodeId again = NodeId::intern(texts[i]);
      ASSERT_EQ(again, ids[i]) << texts[i];
      ASSERT_EQ(again.resolve(), texts[i]);
    }
  }
  // A prefix of a cached text is a different text.
  EXPECT_NE(NodeId::intern("cached_1"), NodeId::intern("cached_10"));
  EXPECT_NE(NodeId::intern(""), NodeId::intern("cached_1"));
  // Another thread sees the same handles.
  std::thread other([&] {
    for (std::size_t i = 0; i < texts.size(); i += 7) EXPECT_EQ(NodeId::intern(texts[i]), ids[i]);
  });
  other.join();
}
