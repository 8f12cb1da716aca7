#include "http/response_decoding.h"

#include <gtest/gtest.h>

#include "core/codepage.h"
#include "platform/apartment.h"
#include "regex/regex_object.h"

namespace http {
namespace {

using core::ByteBuffer;
using core::gbk;
using core::Text;

ByteBuffer bytes(const std::string& raw) {
  return ByteBuffer(raw.begin(), raw.end());
}
std::string utf8(const char8_t* text) {
  return reinterpret_cast<const char*>(text);
}

std::string page(const std::string& charset, const std::string& body) {
  return "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=" + charset +
         "\"></head><body>" + body + "</body></html>";
}

TEST(ResponseDecodingTest, Cases) {
  // 镕 (E9 46 in GBK) lies outside GB2312: a GB2312-only decoder would lose it.
  const std::string gbk_body = gbk(u8"苹果的营养价值").bytes() + "\xE9\x46";
  const Text gbk_text = Text::from_bytes(gbk_body);
  struct Case {
    const char* name;
    std::string body;
    Text expected;
  } cases[] = {
      {"no declaration: raw", gbk_body, gbk_text},
      {"utf-8 re-decoded", page("utf-8", utf8(u8"苹果的营养价值")),
       Text::from_bytes(page("utf-8", gbk(u8"苹果的营养价值").bytes()))},
      {"quoted utf-8", "<meta charset=\"UTF-8\">" + utf8(u8"é"),
       Text("<meta charset=\"UTF-8\">") + gbk(u8"é")},
      {"gbk raw", page("gbk", gbk_body), Text::from_bytes(page("gbk", gbk_body))},
      {"GBK through the stream, same text", page("GBK", gbk_body),
       Text::from_bytes(page("GBK", gbk_body))},
      {"GB2312 through the stream keeps GBK characters", page("GB2312", gbk_body),
       Text::from_bytes(page("GB2312", gbk_body))},
      {"unknown charset: raw", page("x-nonsense", gbk_body),
       Text::from_bytes(page("x-nonsense", gbk_body))},
      {"declaration after 1024 bytes unseen", std::string(1100, ' ') + page("utf-8", utf8(u8"é")),
       Text::from_bytes(std::string(1100, ' ') + page("utf-8", utf8(u8"é")))},
      {"zero byte ends the raw text", std::string("ab\0cd", 5), "ab"},
      {"empty body", "", ""},
      {"big5", page("big5", "\xA7\x41"), Text::from_bytes(page("big5", gbk(u8"你").bytes()))},
  };
  for (const auto& c : cases) {
    regex::RegexObject regex;
    EXPECT_EQ(decode_response_text(bytes(c.body), regex), c.expected) << c.name;
  }
}

TEST(ResponseDecodingTest, WorksOnAThreadWithoutItsOwnApartmentAndBalances) {
  const int before = platform::apartment_count();
  {
    regex::RegexObject regex;
    platform::co_uninitialize();  // as if the caller had not initialised the thread
    EXPECT_EQ(decode_response_text(bytes(page("utf-8", utf8(u8"好"))), regex),
              Text::from_bytes(page("utf-8", gbk(u8"好").bytes())));
    platform::co_initialize();
  }
  EXPECT_EQ(platform::apartment_count(), before);
}

}  // namespace
}  // namespace http
