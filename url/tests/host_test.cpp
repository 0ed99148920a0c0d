// Host parsing corners beyond the conformance data: number saturation and serialisation.
#include <gtest/gtest.h>

#include "../src/host.hpp"

namespace {

using vesk_url::HostKind;
using vesk_url::detail::parse_host;

TEST(HostTest, SpecialHosts) {
  struct Case {
    const char* input;
    HostKind kind;  // HostKind::none: failure
    const char* text;
  };
  const Case cases[] = {
      {"4294967295", HostKind::ipv4, "255.255.255.255"},
      {"4294967296", HostKind::none, ""},
      {"0xffffffff", HostKind::ipv4, "255.255.255.255"},
      {"0x100000000", HostKind::none, ""},
      {"037777777777", HostKind::ipv4, "255.255.255.255"},
      {"040000000000", HostKind::none, ""},
      // Far beyond 64 bits: must fail, not wrap around.
      {"18446744073709551617", HostKind::none, ""},
      {"0x10000000000000001", HostKind::none, ""},
      {"1.18446744073709551617", HostKind::none, ""},
      {"0x", HostKind::ipv4, "0.0.0.0"},
      {"1.2.0x.", HostKind::ipv4, "1.2.0.0"},
      {"1.16777215", HostKind::ipv4, "1.255.255.255"},
      {"1.16777216", HostKind::none, ""},
      {"09", HostKind::none, ""},
      {"a.09", HostKind::none, ""},
      {"09.a", HostKind::domain, "09.a"},
      {"0x.a", HostKind::domain, "0x.a"},
      {"Example.COM.", HostKind::domain, "example.com."},
      {"%45xample.com", HostKind::domain, "example.com"},
      {"%C3%BC", HostKind::domain, "xn--tda"},
      {"%FF", HostKind::none, ""},  // not UTF-8
      {"[0:0:0:0:0:0:0:1]", HostKind::ipv6, "[::1]"},
      {"[1:0:0:2:0:0:0:3]", HostKind::ipv6, "[1:0:0:2::3]"},
      {"[1:0:2:3:4:5:6:7]", HostKind::ipv6, "[1:0:2:3:4:5:6:7]"},
      {"[::ffff:192.168.0.1]", HostKind::ipv6, "[::ffff:c0a8:1]"},
      {"[::ffff:192.168.0.01]", HostKind::none, ""},
      {"[12345::]", HostKind::none, ""},
      {"[", HostKind::none, ""},
  };
  for (const Case& c : cases) {
    auto host = parse_host(c.input, false);
    if (c.kind == HostKind::none) {
      EXPECT_FALSE(host) << c.input << " gave " << host->text;
      continue;
    }
    ASSERT_TRUE(host) << c.input;
    EXPECT_EQ(host->kind, c.kind) << c.input;
    EXPECT_EQ(host->text, c.text) << c.input;
  }
}

TEST(HostTest, OpaqueHosts) {
  EXPECT_EQ(parse_host("", true)->kind, HostKind::empty);
  EXPECT_EQ(parse_host("GitHub", true)->text, "GitHub");
  EXPECT_EQ(parse_host("a\xC3\xBC%zz", true)->text, "a%C3%BC%zz");
  EXPECT_EQ(parse_host("[::1]", true)->kind, HostKind::ipv6);
  for (const char* bad : {"a b", "a<b", "a^b", "a|b", "a@b"}) EXPECT_FALSE(parse_host(bad, true)) << bad;
}

}  // namespace
