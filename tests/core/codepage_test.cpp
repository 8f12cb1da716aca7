#include "core/codepage.h"

#include <gtest/gtest.h>

namespace core {
namespace {

TEST(CodepageTest, StoredLineRoundTripsByteForByte) {
  const Text line = gbk(u8" 入库成功！");
  EXPECT_EQ(line.bytes(), "\x20\xC8\xEB\xBF\xE2\xB3\xC9\xB9\xA6\xA3\xA1");
  EXPECT_EQ(utf16_to_gbk(to_utf16(line)), line);
  EXPECT_EQ(utf8_to_gbk(gbk_to_utf8(line.view())), line);
  EXPECT_EQ(gbk_to_utf8(line.view()), std::string(reinterpret_cast<const char*>(u8" 入库成功！")));
}

TEST(CodepageTest, WindowsCodePageDetails) {
  EXPECT_EQ(gbk_to_utf16("\x80"), u"\u20AC");  // the euro sign
  EXPECT_EQ(utf16_to_gbk(u"\u20AC").bytes(), "\x80");
  EXPECT_EQ(utf16_to_gbk(u"a\u0E01b").bytes(), "a?b");  // Thai is not in code page 936
  EXPECT_EQ(utf16_to_gbk(u"ab\0cd").bytes(), "ab");
  EXPECT_TRUE(gbk_to_utf16("").empty());
  EXPECT_TRUE(utf16_to_gbk(u"").empty());
}

TEST(CodepageTest, InvalidGbkDoesNotCrash) {
  for (std::string bad : {std::string("\x81"), std::string("a\xFF\xFF"), std::string("\x81\x7F"),
                          std::string("\xA1")}) {
    const std::u16string wide = gbk_to_utf16(bad);
    EXPECT_FALSE(wide.empty()) << bad;
    utf16_to_gbk(wide);  // must not crash either way back
  }
}

TEST(CodepageTest, CompositeCheckComposesOnlyAdjacentPairs) {
  // e + combining acute becomes é, which GBK holds (A8 A6).
  EXPECT_EQ(utf16_to_gbk(u"e\u0301", true).bytes(), "\xA8\xA6");
  EXPECT_EQ(utf16_to_gbk(u"e\u0301", false).bytes(), "e?");
  // A compatibility ideograph stays itself: full normalisation would turn FD 9C into C0 C9.
  const std::u16string compat = gbk_to_utf16("\xFD\x9C");
  EXPECT_EQ(compat, u"\uF92C");
  EXPECT_EQ(utf16_to_gbk(compat, true).bytes(), "\xFD\x9C");
  // A mark with nothing to compose with stays as it is.
  EXPECT_EQ(utf16_to_gbk(u"\u0301", true), utf16_to_gbk(u"\u0301", false));
}

}  // namespace
}  // namespace core
