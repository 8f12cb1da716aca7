#include "http/request_headers.h"

#include <gtest/gtest.h>

#include "core/codepage.h"

namespace http {
namespace {

const Text kUserAgent =
    "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)";
const Text kAccept = "Accept: text/html, application/xhtml+xml, */*";
const Text kEncoding = "Accept-Encoding: gbk, GB2312";
const Text kLanguage = "Accept-Language: zh-cn";
const Text kCache = "Cache-Control: no-cache";
const Text kForm = "Content-Type: application/x-www-form-urlencoded";

Text lines(std::initializer_list<Text> items) {
  Text out;
  for (const Text& item : items) out += item + "\r\n";
  return out.drop_last(2);
}

TEST(RequestHeadersTest, BuildRequestHeaders) {
  struct Case {
    const char* name;
    Text extra;
    int method;
    Text cookies;
    bool defaults;
    bool normalize;
    Text expected;
  } cases[] = {
      {"defaults", "", 0, "", true, true,
       lines({kUserAgent, kAccept, kEncoding, kLanguage, kCache})},
      {"without normalising the last CR LF stays", "", 0, "", true, false,
       lines({kUserAgent, kAccept, kEncoding, kLanguage, kCache}) + "\r\n"},
      {"POST adds the form type", "", 1, "", true, true,
       lines({kUserAgent, kAccept, kEncoding, kLanguage, kForm, kCache})},
      {"caller's user agent wins and is renamed", "user-agent: me", 0, "", true, true,
       lines({"User-Agent: me", kAccept, kEncoding, kLanguage, kCache})},
      {"a name ending in a probe suppresses the default", "X-Accept: 1", 0, "", false, true,
       "X-Accept: 1"},
      {"probes are found anywhere", "X-Accept: 1", 0, "", true, true,
       lines({"X-Accept: 1", kUserAgent, kEncoding, kLanguage, kCache})},
      {"a trailing CR LF leaves an empty line without normalising", "A: 1\r\n", 0, "", false, false,
       "A: 1\r\n\r\n"},
      {"normalising drops the empty line", "A: 1\r\n", 0, "", false, true, "A: 1"},
      {"keep-alive Connection line removed", "Connection: keep-alive\r\nB: 2", 0, "", false, true,
       "B: 2"},
      {"other Connection value stays", "Connection: close\r\nB: 2", 0, "", false, true,
       "Connection: close\r\nB: 2"},
      {"keep-alive on the last line without CR LF stays", "Connection: keep-alive", 0, "", false,
       true, "Connection: keep-alive"},
      {"cookie items", "", 0, "a=1; b=2", false, true, "\r\nCookie: a=1; b=2\r\n"},
      {"cookie line as given", "", 0, "Cookie: a=1", false, true, "\r\nCookie: a=1\r\n"},
      {"caller's Cookie line wins", "cookie: x=9", 0, "a=1", false, true, "Cookie: x=9"},
      {"nothing at all", "", 0, "", false, true, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(build_request_headers(c.extra, c.method, c.cookies, c.defaults, c.normalize),
              c.expected)
        << c.name;
}

TEST(RequestHeadersTest, NamesAndValues) {
  struct Case {
    Text block;
    Text expected;
  } names[] = {
      {"content-type: a\r\nACCEPT: b\r\n x-y: c", "Content-Type: a\r\nACCEPT: b\r\n x-Y: c"},
      {"no colon here\r\nnone", ""},
      {"a-: 1", "A-: 1"},
      // A GBK value whose trail bytes look like ':' or '-' does not move the name's end.
      {Text("x-name: ") + Text::from_bytes("\x81\x2d\x81\x3a"),
       Text("X-Name: ") + Text::from_bytes("\x81\x2d\x81\x3a")},
  };
  for (const auto& c : names) EXPECT_EQ(capitalize_header_names(c.block), c.expected);

  EXPECT_EQ(capitalize_first(""), Text(""));
  EXPECT_EQ(capitalize_first("abc"), Text("Abc"));
  EXPECT_EQ(capitalize_first(core::gbk(u8"中a")), core::gbk(u8"中a"));

  EXPECT_EQ(header_value("Connection: keep-alive\r\nX: 1", "Connection"), Text("keep-alive"));
  EXPECT_EQ(header_value("X: 1\r\nX: 2", "X"), Text("1")) << "the first line wins";
  EXPECT_EQ(header_value("Connection:close", "Connection"), Text(""));
  EXPECT_EQ(header_value("Y: 1", "X"), Text(""));
  EXPECT_EQ(header_value("Connection: a Connection: b", "Connection"), Text("b"));
}

}  // namespace
}  // namespace http
