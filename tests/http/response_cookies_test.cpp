#include "http/response_cookies.h"

#include <gtest/gtest.h>

#include "core/codepage.h"

namespace http {
namespace {

using core::gbk;

Text collected(std::initializer_list<Text> header_lines, Text start = "") {
  for (const Text& line : header_lines) collect_response_cookies(line, start);
  finish_response_cookies(start);
  return start;
}

TEST(ResponseCookiesTest, Collecting) {
  struct Case {
    const char* name;
    std::vector<Text> header_lines;
    Text start;
    Text expected;
  } cases[] = {
      {"attributes dropped", {"Set-Cookie: a=1; path=/"}, "", "a=1"},
      {"no attributes", {"Set-Cookie: a=1"}, "", "a=1"},
      {"two lines", {"Set-Cookie: a=1; path=/", "Set-Cookie: b=2"}, "", "a=1; b=2"},
      {"other case not collected", {"set-cookie: a=1"}, "", ""},
      {"items follow the entry text", {"Set-Cookie: b=2"}, "x=0; ", "x=0; b=2"},
      {"entry text loses its final separator", {"Server: x"}, "x=0; ", "x=0"},
      {"empty item appended all the same", {"Set-Cookie: ;"}, "", ""},
      {"full-width blanks trimmed", {gbk(u8"Set-Cookie: 　a=值　; path=/")}, "", gbk(u8"a=值")},
  };
  for (const auto& c : cases) {
    Text jar = c.start;
    for (const Text& line : c.header_lines) collect_response_cookies(line, jar);
    finish_response_cookies(jar);
    EXPECT_EQ(jar, c.expected) << c.name;
  }
  EXPECT_EQ(collected({"Set-Cookie: a=1", "Set-Cookie: ;"}), Text("a=1; "))
      << "an empty item still takes its place";
}

TEST(ResponseCookiesTest, Merging) {
  struct Case {
    const char* name;
    Text cookies;
    Text returned;
    Text merged;
  } cases[] = {
      {"new first, replaced by name", "a=1; b=2", "b=3; c=4", "b=3; c=4; a=1"},
      {"deleted removes old and new", "a=1; b=2", "a=deleted", "b=2"},
      {"inner blanks go", "a=x y", "", "a=xy"},
      {"no new items: blank-free, duplicates gone", "a=1;  a=1; b=2", "", "a=1; b=2"},
      {"of several old items with one name only the first", "a=1; a=2", "", "a=1"},
      {"nothing survives", "a=deleted", "", ""},
      {"full-width blanks go", gbk(u8"a=　1"), "", "a=1"},
  };
  for (const auto& c : cases) {
    Text cookies = c.cookies, returned = c.returned;
    EXPECT_EQ(merge_cookie_text(cookies, returned), c.merged) << c.name;
    EXPECT_EQ(cookies, c.merged) << c.name;
  }
}

TEST(ResponseCookiesTest, Helpers) {
  EXPECT_EQ(cookie_name(" a =1"), Text("a"));
  EXPECT_EQ(cookie_name("flag"), Text("flag"));
  EXPECT_TRUE(has_cookie_named({"x=1", "a=2"}, "a"));
  EXPECT_FALSE(has_cookie_named({"ab=2"}, "a"));
  EXPECT_EQ(join_unique("a; b; a; c", "; "), Text("a; b; c"));
  EXPECT_EQ(join_unique("", "; "), Text(""));
  EXPECT_EQ(find_member({}, "a"), -1);
  EXPECT_EQ(find_member({"b", "a", "a"}, "a"), 2);
  EXPECT_EQ(text_before("Set-Cookie: a", ": "), Text("Set-Cookie"));
  EXPECT_EQ(text_before("abc", "x"), Text(""));
  EXPECT_EQ(text_between("x=[v]", "[", "]"), Text("v"));
  EXPECT_EQ(text_between("x=[v", "[", "]"), Text(""));
  EXPECT_EQ(text_between("x=v]", "[", "]"), Text(""));
  EXPECT_EQ(text_between("a=\"q\"", gbk(u8"#引号"), gbk(u8"#引号")), Text("q"));
}

}  // namespace
}  // namespace http
