#include "regex/regex_object.h"

#include <gtest/gtest.h>

#include "core/codepage.h"
#include "platform/apartment.h"
#include "tests/support/record_pages.h"

namespace regex {
namespace {

using core::gbk;

const Text kNamePattern = gbk(u8"botitle18\">(.*?)的营养价值");
const Text kNutrientNamePattern = "<a class=\"bblue\" href=\".*?\">(.*?)</a></td>";
const Text kNutrientValuePattern =
    "<td width=\"16%\">(\\d+)<span class=\"bgray\">(.*?)</span></td>";

TEST(RegexObjectTest, GroupsMatchesAndOptions) {
  RegexObject re;
  ASSERT_TRUE(re.execute("(a)(b)?", "xa ab"));
  EXPECT_EQ(re.match_count(), 2);
  EXPECT_EQ(re.submatch_count(), 2);
  EXPECT_EQ(re.submatch_text(1, 1), Text("a"));
  EXPECT_EQ(re.submatch_text(1, 2), Text("")) << "group 2 took no part";
  EXPECT_EQ(re.submatch_text(2, 2), Text("b"));
  EXPECT_EQ(re.match_text(2), Text("ab"));
  EXPECT_EQ(re.match_text(0), Text(""));
  EXPECT_EQ(re.match_text(3), Text(""));
  EXPECT_EQ(re.submatch_text(1, 3), Text(""));
  EXPECT_EQ(re.submatch_text(1, 0), Text(""));
  EXPECT_EQ(re.pattern(), Text("(a)(b)?"));

  EXPECT_TRUE(re.execute("A", "a"));
  EXPECT_EQ(re.match_count(), 1);
  EXPECT_TRUE(re.execute("A", "a", true));
  EXPECT_EQ(re.match_count(), 0);

  EXPECT_TRUE(re.execute("a.b", "a\nb"));
  EXPECT_EQ(re.match_count(), 0) << "no dot-all mode";

  EXPECT_FALSE(re.execute("(", "((("));
  EXPECT_EQ(re.match_count(), 0);
  EXPECT_EQ(re.submatch_text(1, 1), Text(""));
  EXPECT_EQ(re.submatch_count(), 0);
}

TEST(RegexObjectTest, QuoteMarker) {
  const Text pattern = gbk(u8"x=#引号(.*?)#引号");
  RegexObject re;
  ASSERT_TRUE(re.execute(pattern, "x=\"v\"", false, true, true, true));
  ASSERT_EQ(re.match_count(), 1);
  EXPECT_EQ(re.submatch_text(1, 1), Text("v"));
  EXPECT_EQ(re.pattern(), Text("x=\"(.*?)\""));
  ASSERT_TRUE(re.execute(pattern, "x=\"v\""));
  EXPECT_EQ(re.match_count(), 0);
}

TEST(RegexObjectTest, Replace) {
  RegexObject re;
  EXPECT_EQ(re.replace("b"), Text("")) << "no engine yet";
  ASSERT_TRUE(re.execute("a", "aa", false, true, false));
  EXPECT_EQ(re.match_count(), 1);
  EXPECT_EQ(re.replace("b"), Text("ba"));
  ASSERT_TRUE(re.execute("a", "aa"));
  EXPECT_EQ(re.replace("b"), Text("bb"));

  struct Case {
    Text pattern, subject, replacement, expected;
  } cases[] = {
      {"(\\w+) (\\w+)", "john smith", "$2 $1", "smith john"},
      {"b", "abc", "[$&|$`|$']", "a[b|a|c]c"},
      {"b", "abc", "$$", "a$c"},
      {"(a)(x)?", "a", "<$2>", "<>"},                  // an unset group gives ""
      {"(a)", "a", "$12", "a2"},                       // no group 12: $1 then "2"
      {"(a)", "a", "$9", "$9"},                        // no group 9: written as is
      {"(((((((((((a)))))))))))", "a", "$11-", "a-"},  // two digits when that group exists
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(re.execute(c.pattern, c.subject));
    EXPECT_EQ(re.replace(c.replacement), c.expected) << c.pattern.bytes();
  }
}

TEST(RegexObjectTest, EngineSemantics) {
  struct Case {
    const char* name;
    Text pattern;
    Text subject;
    bool multiline;
    std::vector<std::pair<Text, int>> expected;  // match text and byte position
  } cases[] = {
      {"empty matches step one character",
       "x*",
       "axxb",
       true,
       {{"", 0}, {"xx", 1}, {"", 3}, {"", 4}}},
      {"dot matches a carriage return", "a.b", "a\rb", true, {{"a\rb", 0}}},
      {"$ without multiline only at the very end", "a$", "a\na", false, {{"a", 2}}},
      {"$ with multiline at line ends", "a$", "a\na", true, {{"a", 0}, {"a", 2}}},
      {"^ with multiline at line starts", "^b", "a\nb", true, {{"b", 2}}},
      {"\\w is ASCII-only", "\\w+", gbk(u8"café"), true, {{"caf", 0}}},
      {"\\u escapes", "\\u0041", "xA", true, {{"A", 1}}},
      {"\\x escapes", "\\x41", "xA", true, {{"A", 1}}},
      {"unset back-reference matches empty", "(a)?b\\1", "b", true, {{"b", 0}}},
      {"characters, not bytes", gbk(u8"营.价"), gbk(u8"的营养价值"), true, {{gbk(u8"营养价"), 2}}},
  };
  for (const auto& c : cases) {
    RegexObject re;
    ASSERT_TRUE(re.execute(c.pattern, c.subject, false, c.multiline)) << c.name;
    ASSERT_EQ(re.match_count(), static_cast<int>(c.expected.size())) << c.name;
    for (int i = 0; i < re.match_count(); ++i) {
      int position = -1;
      EXPECT_EQ(re.match_text(i + 1, &position), c.expected[i].first) << c.name << " #" << i;
      EXPECT_EQ(position, c.expected[i].second) << c.name << " #" << i;
    }
  }
}

TEST(RegexObjectTest, PositionOfAGroupAfterDoubleByteCharacters) {
  RegexObject re;
  const Text subject = gbk(u8"名称：苹果，热量：52大卡");
  ASSERT_TRUE(re.execute(gbk(u8"热量：(\\d+)"), subject));
  int position = -1;
  EXPECT_EQ(re.submatch_text(1, 1, &position), Text("52"));
  EXPECT_EQ(subject.mid(position + 1, 2), Text("52"));
  EXPECT_EQ(position, 18);
}

TEST(RegexObjectTest, RecordPagePatterns) {
  const Text page = Text::from_bytes(test_support::record_page(17));
  ASSERT_GT(page.length(), 30000);
  RegexObject re;
  ASSERT_TRUE(re.execute(kNamePattern, page));
  ASSERT_EQ(re.match_count(), 1);
  EXPECT_EQ(re.submatch_text(1, 1), gbk(u8"香煎莲藕"));

  ASSERT_TRUE(re.execute(kNutrientNamePattern, page));
  ASSERT_EQ(re.match_count(), 24);
  EXPECT_EQ(re.submatch_text(1, 1), gbk(u8"热量"));
  EXPECT_EQ(re.submatch_text(24, 1), gbk(u8"视黄醇当量"));

  ASSERT_TRUE(re.execute(kNutrientValuePattern, page));
  ASSERT_EQ(re.match_count(), 24);
  EXPECT_EQ(re.submatch_text(1, 2), gbk(u8"大卡"));
  EXPECT_EQ(re.submatch_text(2, 2), gbk(u8"克"));
  for (int cell = 1; cell <= 24; ++cell) {
    const Text amount = re.submatch_text(cell, 1);
    EXPECT_FALSE(amount.empty()) << cell;
    int position = -1;
    const Text whole = re.match_text(cell, &position);
    EXPECT_EQ(page.mid(position + 1, whole.length()), whole) << "byte offset of cell " << cell;
  }
}

TEST(RegexObjectTest, ApartmentIsBalancedAndNeededForTheEngine) {
  const int before = platform::apartment_count();
  {
    RegexObject outer;
    EXPECT_EQ(platform::apartment_count(), before + 1);
    {
      RegexObject inner;
      EXPECT_TRUE(inner.execute("a", "a"));
      EXPECT_EQ(platform::apartment_count(), before + 2);
    }
    EXPECT_TRUE(outer.execute("a", "a"));
  }
  EXPECT_EQ(platform::apartment_count(), before);
}

}  // namespace
}  // namespace regex
