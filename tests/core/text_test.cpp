#include "core/text.h"

#include <gtest/gtest.h>

#include "core/codepage.h"

namespace core {
namespace {

Text bytes(std::string_view raw) {
  return Text::from_bytes(raw);
}

// "丄" is the GBK pair 81 41: its trail byte is the ASCII letter 'A'.
const std::string kTrailA = "\x81\x41";

TEST(TextTest, SearchStepsWholeCharacters) {
  struct Case {
    const char* name;
    Text hay;
    Text needle;
    int start;
    int expected;
  } cases[] = {
      {"first byte is position 1", "abc", "a", 1, 1},
      {"absent", "abc", "x", 1, -1},
      {"empty needle", "abc", "", 1, -1},
      {"empty haystack", "", "a", 1, -1},
      {"from a later start", "abcabc", "abc", 2, 4},
      {"after a double-byte character", gbk(u8"入库a"), "a", 1, 5},
      {"trail byte equal to a letter is not found", bytes(kTrailA), "A", 1, -1},
      {"letter after the pair is found", bytes(kTrailA + "A"), "A", 1, 3},
      {"double-byte needle", gbk(u8"营养价值"), gbk(u8"价值"), 1, 5},
      {"needle never straddles characters", bytes("\xB0\xA1\xB0\xA1"), bytes("\xA1\xB0"), 1, -1},
  };
  for (const auto& c : cases) EXPECT_EQ(c.hay.find(c.needle, c.start), c.expected) << c.name;
}

TEST(TextTest, CaseFoldingIsAsciiOnly) {
  EXPECT_EQ(Text("Set-Cookie: a").find_ignore_case("set-cookie:"), 1);
  EXPECT_TRUE(Text("ACCEPT").equals_ignore_case("accept"));
  EXPECT_FALSE(Text("ACCEPT").equals_ignore_case("accepts"));
  // 81 41 and 81 61 differ only in a trail byte that looks like a letter: they stay different.
  EXPECT_FALSE(bytes("\x81\x41").equals_ignore_case(bytes("\x81\x61")));
  EXPECT_EQ(bytes("x\x81\x41").find_ignore_case("a"), -1);
  // Non-ASCII letters such as the UTF-16 "é" of other code pages are never folded here.
  EXPECT_FALSE(gbk(u8"É").equals_ignore_case(gbk(u8"é")));
}

TEST(TextTest, PiecesAndSubstrings) {
  EXPECT_EQ(Text("abcdef").left(3), Text("abc"));
  EXPECT_EQ(Text("abc").left(0), Text(""));
  EXPECT_EQ(Text("abc").left(10), Text("abc"));
  EXPECT_EQ(Text("abcdef").mid(2, 3), Text("bcd"));
  EXPECT_EQ(Text("abcdef").mid(4), Text("def"));
  EXPECT_EQ(Text("ab").drop_last(1), Text("a"));
  EXPECT_EQ(Text("a;;b;").split(";"), (std::vector<Text>{"a", "", "b"}));
  EXPECT_TRUE(Text("").split(";").empty());
  EXPECT_EQ(Text("x#q#y").replaced("#q", "\""), Text("x\"#y"));
  EXPECT_EQ(Text("Set-Cookie: a SET-COOKIE:").removed_ignore_case("set-cookie:"), Text(" a "));
  EXPECT_EQ(bytes(std::string("ab\0cd", 5)), Text("ab"));
  EXPECT_EQ(Text(), Text(""));
}

TEST(TextTest, Numbers) {
  struct Case {
    double value;
    const char* expected;
  } cases[] = {{2.0, "2"},
               {0.1, "0.1"},
               {-1.5, "-1.5"},
               {1.0 / 3, "0.3333333333333"},
               {123456789012345.0, "1.234567890123e+14"}};
  for (const auto& c : cases) EXPECT_EQ(Text::number(c.value), Text::from_bytes(c.expected));
  EXPECT_EQ(Text::number(17LL), Text("17"));
  EXPECT_EQ(Text::number(-2147483648LL), Text("-2147483648"));
}

}  // namespace
}  // namespace core
