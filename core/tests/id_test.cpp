#include "vesk/core/id.hpp"
#include "vesk/core/parser.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

using vesk_core::id::IdNumbering;
using vesk_core::id::INTERNER;
using vesk_core::id::NodeId;

TEST(NodeIdTest, EqualTextsShareOneHandle) {
  const NodeId a1 = NodeId::intern("a");
  const NodeId a2 = NodeId::intern(std::string("a"));
  EXPECT_EQ(a1, a2);
  EXPECT_NE(a1, NodeId::intern("A"));
  EXPECT_NE(a1.value(), 0u);
}

TEST(NodeIdTest, ResolveGivesTheTextBackByteForByte) {
  const std::string texts[] = {
      "", "root", "card_1", "\xCE\xB1\xCE\xB2\xCE\xB3", std::string(100000, 'x'), std::string("nul\0inside", 10)};
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

TEST(NodeIdTest, WithPrefixNumbersFromTheInnermostScope) {
  const IdNumbering numbering;
  const NodeId first = NodeId::with_prefix("_anon");
  const NodeId second = NodeId::with_prefix("_anon");
  EXPECT_EQ(first.resolve(), "_anon_0");
  EXPECT_EQ(second.resolve(), "_anon_1");
  // A written identifier equal to a generated one shares its handle.
  EXPECT_EQ(NodeId::intern("_anon_0"), first);
  {
    const IdNumbering inner;
    EXPECT_EQ(NodeId::with_prefix("_anon"), first);
    EXPECT_EQ(NodeId::with_prefix("_other").resolve(), "_other_1");
  }
  EXPECT_EQ(NodeId::with_prefix("_anon").resolve(), "_anon_2");
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

TEST(NodeIdTest, ConcurrentNumberingsStayApart) {
  // Each thread numbers on its own; equal generated texts share one handle.
  constexpr int kThreads = 8;
  constexpr int kEach = 2000;
  std::vector<std::vector<NodeId>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const IdNumbering numbering;
      for (int i = 0; i < kEach; ++i) seen[t].push_back(NodeId::with_prefix("_par"));
    });
  }
  for (auto& th : threads) th.join();
  for (int i = 0; i < kEach; ++i) {
    ASSERT_EQ(seen[0][i].resolve(), "_par_" + std::to_string(i));
    for (int t = 1; t < kThreads; ++t) ASSERT_EQ(seen[t][i], seen[0][i]) << t << " " << i;
  }
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

TEST(NodeIdTest, LookupFindsInternedTextsAndInsertsNothing) {
  const NodeId known = NodeId::intern("lookup_known");
  EXPECT_EQ(NodeId::lookup("lookup_known"), known);
  EXPECT_EQ(NodeId::lookup(std::string("lookup_") + "known"), known);

  const std::size_t before = INTERNER().size();
  for (int i = 0; i < 3000; ++i) {
    ASSERT_FALSE(NodeId::lookup("lookup_unknown_" + std::to_string(i))) << i;
  }
  EXPECT_FALSE(NodeId::lookup("lookup_unknown_0"));
  EXPECT_EQ(INTERNER().size(), before);

  // A miss is not remembered: once interned, the text is found, here and on
  // another thread (which has no cached entry for it).
  const NodeId later = NodeId::intern("lookup_unknown_7");
  EXPECT_EQ(NodeId::lookup("lookup_unknown_7"), later);
  std::thread other([&] {
    EXPECT_EQ(NodeId::lookup("lookup_unknown_7"), later);
    EXPECT_EQ(NodeId::lookup("lookup_known"), known);
    EXPECT_FALSE(NodeId::lookup("lookup_unknown_8"));
  });
  other.join();
  EXPECT_EQ(INTERNER().size(), before + 1);
}

// A document of unnamed nodes and edges and written names, parsed again and
// again, also on several threads at once: after the first parse the interner
// holds every text it needs and takes no more.
TEST(NodeIdTest, RepeatedParsesAddNothingToTheInterner) {
  std::string text;
  for (int i = 0; i < 300; ++i) {
    const std::string n = std::to_string(i);
    text += "rect { w: " + n + " h: 2 }\ngroup { text \"t\" { } ellipse { } }\nedge { }\n";
    text += "rect @repeat_" + n + " { use: s" + n + " }\nedge @repeat_e" + n + " { from: @repeat_" + n + " }\n";
  }
  const auto first = vesk_core::parser::parse_document(text);
  ASSERT_TRUE(first.ok()) << first.error();
  const std::size_t held = INTERNER().size();

  for (int round = 0; round < 20; ++round) ASSERT_TRUE(vesk_core::parser::parse_document(text).ok());
  EXPECT_EQ(INTERNER().size(), held);

  constexpr int kThreads = 4;
  std::vector<std::thread> threads;
  std::atomic<int> differing{0};
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int round = 0; round < 5; ++round) {
        const auto again = vesk_core::parser::parse_document(text);
        if (!again.ok() || again.value().node_count() != first.value().node_count()) {
          ++differing;
          continue;
        }
        // The same ids in the same places as the first parse.
        for (std::uint32_t i = 0; i < again.value().node_count(); ++i) {
          if (again.value().node(i).id != first.value().node(i).id) ++differing;
        }
        for (std::size_t i = 0; i < again.value().edges.size(); ++i) {
          if (again.value().edges[i].id != first.value().edges[i].id) ++differing;
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(differing.load(), 0);
  EXPECT_EQ(INTERNER().size(), held);
}
