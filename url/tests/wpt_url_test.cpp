// Conformance: every entry of the web-platform-tests URL data.
#include <gtest/gtest.h>

#include <boost/json.hpp>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include "vesk/url/url.hpp"

namespace {

namespace json = boost::json;

const std::filesystem::path kDataDir = std::filesystem::path(VESK_SHARED_DIR) / "testdata" / "wpt-url";

// Hosts whose expected form comes from a newer IDNA mapping table (Unicode 15.1/16) than ICU 72's
// (Unicode 15.0), with the change. All are from toascii.json.
const std::map<std::string, std::string> kIcuVersionDifferences = {
    {"look\u180Eout.net", "U+180E became ignored (was disallowed)"},
    {"look\u206Bout.net", "U+206B became ignored (was disallowed)"},
    {"\u04C0.com", "U+04C0 became mapped to U+04CF (was disallowed)"},
    {"\U0002F868.com", "U+2F868 became mapped to U+36FC (was disallowed)"},
    {"\u2183.com", "U+2183 became mapped to U+2184 (was disallowed)"},
    {"\u1E9E.com", "U+1E9E became mapped to U+00DF (was \"ss\")"},
    {"\u1E9E.foo.com", "U+1E9E became mapped to U+00DF (was \"ss\")"},
};

json::value load(const std::string& name) {
  std::ifstream file(kDataDir / name, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return json::parse(text.str());
}

std::string str(const json::object& entry, const char* key) { return std::string(entry.at(key).as_string()); }

// Checks one entry; returns an empty text when it passes, otherwise what differed.
std::string check_entry(const json::object& entry) {
  const std::string input = str(entry, "input");
  const bool expect_failure = entry.contains("failure") && entry.at("failure").as_bool();
  std::optional<vesk_url::Url> base;
  if (entry.contains("base") && !entry.at("base").is_null()) {
    base = vesk_url::parse(str(entry, "base"));
    if (!base) return expect_failure ? "" : "base did not parse";
  }
  std::optional<vesk_url::Url> url = vesk_url::parse(input, base ? &*base : nullptr);
  if (expect_failure) return url ? "parsed to " + url->href() + ", expected failure" : "";
  if (!url) return "failed, expected " + str(entry, "href");

  std::string diff;
  auto expect = [&](const char* key, const std::string& actual) {
    if (entry.contains(key) && str(entry, key) != actual) {
      diff += std::string(key) + ": got \"" + actual + "\", expected \"" + str(entry, key) + "\"; ";
    }
  };
  expect("href", url->href());
  expect("protocol", url->protocol());
  expect("username", url->username());
  expect("password", url->password());
  expect("host", url->host());
  expect("hostname", url->hostname());
  expect("port", url->port());
  expect("pathname", url->pathname());
  expect("search", url->search());
  expect("hash", url->hash());
  expect("origin", url->origin());
  return diff;
}

class WptUrl : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kDataDir)) GTEST_SKIP() << "wpt-url: ../shared/testdata not found";
  }
};

TEST_F(WptUrl, UrlTestData) {
  int passed = 0;
  int known = 0;
  const json::value data = load("urltestdata.json");
  for (const json::value& item : data.as_array()) {
    if (!item.is_object()) continue;  // comments
    const json::object& entry = item.as_object();
    const std::string input = str(entry, "input");
    const std::string diff = check_entry(entry);
    if (diff.empty()) {
      ++passed;
      EXPECT_FALSE(kIcuVersionDifferences.count(input)) << "listed as an ICU difference but passes: " << input;
    } else if (kIcuVersionDifferences.count(input)) {
      ++known;
    } else {
      ADD_FAILURE() << "input \"" << input << "\""
                    << (entry.contains("base") && !entry.at("base").is_null() ? " base \"" + str(entry, "base") + "\""
                                                                              : std::string())
                    << ": " << diff;
    }
  }
  std::cout << "urltestdata: " << passed << " passed, " << known << " known ICU-version differences\n";
  EXPECT_GT(passed, 0) << "no entries read";
}

// Hosts go through "https://{input}/x"; host, hostname and href must carry the expected ASCII form.
TEST_F(WptUrl, ToAscii) {
  int passed = 0;
  int known = 0;
  const json::value data = load("toascii.json");
  for (const json::value& item : data.as_array()) {
    if (!item.is_object()) continue;
    const json::object& entry = item.as_object();
    const std::string input = str(entry, "input");
    std::optional<vesk_url::Url> url = vesk_url::parse("https://" + input + "/x");
    std::string diff;
    if (entry.at("output").is_null()) {
      if (url) diff = "parsed to " + url->href() + ", expected failure";
    } else {
      const std::string output = str(entry, "output");
      if (!url) {
        diff = "failed, expected " + output;
      } else if (url->host() != output || url->hostname() != output || url->pathname() != "/x" ||
                 url->href() != "https://" + output + "/x") {
        diff = "got " + url->href() + ", expected host " + output;
      }
    }
    if (diff.empty()) {
      ++passed;
      EXPECT_FALSE(kIcuVersionDifferences.count(input)) << "listed as an ICU difference but passes: " << input;
    } else if (kIcuVersionDifferences.count(input)) {
      ++known;
    } else {
      ADD_FAILURE() << "host \"" << input << "\": " << diff;
    }
  }
  std::cout << "toascii: " << passed << " passed, " << known << " known ICU-version differences\n";
  EXPECT_GT(passed, 0) << "no entries read";
}

// The UTF-8 column of the percent-encoding data, as the query of a special URL.
TEST_F(WptUrl, PercentEncodingUtf8) {
  int passed = 0;
  const json::value data = load("percent-encoding.json");
  for (const json::value& item : data.as_array()) {
    if (!item.is_object()) continue;
    const json::object& entry = item.as_object();
    const json::object& output = entry.at("output").as_object();
    if (!output.contains("utf-8")) continue;
    const std::string input = str(entry, "input");
    std::optional<vesk_url::Url> url = vesk_url::parse("https://doesnotmatter.invalid/?" + input);
    ASSERT_TRUE(url) << input;
    std::string expected = "?";
    expected += output.at("utf-8").as_string();
    EXPECT_EQ(url->search(), expected) << input;
    ++passed;
  }
  std::cout << "percent-encoding: " << passed << " passed\n";
  EXPECT_GT(passed, 0) << "no entries read";
}

}  // namespace
