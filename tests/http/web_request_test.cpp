#include "http/web_request.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "core/codepage.h"
#include "platform/apartment.h"
#include "platform/http_transport.h"
#include "tests/support/child_process.h"
#include "tests/support/free_port.h"
#include "tests/support/temp_dir.h"

namespace http {
namespace {

using core::gbk;
using platform::http::testing::Call;

class WebRequestTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server = new test_support::ChildProcess(
        {"python3", std::string(HARVEST_SOURCE_DIR) + "/tests/http/http_test_server.py"});
    const std::string ports = server->read_line();
    ASSERT_EQ(std::sscanf(ports.c_str(), "ports %d %d", &http_port, &https_port), 2) << ports;
  }
  static void TearDownTestSuite() {
    delete server;
    server = nullptr;
  }
  void TearDown() override { platform::http::testing::clear_failures(); }

  static Text http_url(const std::string& rest) {
    return Text::from_bytes("http://127.0.0.1:" + std::to_string(http_port) + rest);
  }
  static Text https_url(const std::string& rest) {
    return Text::from_bytes("https://127.0.0.1:" + std::to_string(https_port) + rest);
  }
  // The raw bytes of the last request the server saw.
  static std::string last_request() { return web_request(http_url("/_last")).bytes(); }

  static inline test_support::ChildProcess* server = nullptr;
  static inline int http_port = 0;
  static inline int https_port = 0;
};

TEST_F(WebRequestTest, DefaultGetOnTheWire) {
  Text status;
  EXPECT_EQ(web_request(https_url("/page?q=1&r=2"), 0, {}, nullptr, nullptr, {}, nullptr, false, {},
                        {}, {}, {}, {}, 0, nullptr, &status),
            Text("ok"));
  EXPECT_EQ(status, Text("200 OK"));
  EXPECT_EQ(
      last_request(),
      "GET /page?q=1&r=2 HTTP/1.1\r\n"
      "Host: 127.0.0.1:" +
          std::to_string(https_port) +
          "\r\n"
          "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n"
          "Accept: text/html, application/xhtml+xml, */*\r\n"
          "Accept-Encoding: gbk, GB2312\r\n"
          "Accept-Language: zh-cn\r\n"
          "Cache-Control: no-cache\r\n"
          "Connection: Keep-Alive\r\n\r\n");
}

TEST_F(WebRequestTest, MethodsBodiesAndObjectNames) {
  struct Case {
    const char* name;
    int method;
    Text body_text;
    core::ByteBuffer body_data;
    std::string url_rest;
    std::string request_line;
    std::string body;
  } cases[] = {
      {"method 8 is GET", 8, "", {}, "/a", "GET /a HTTP/1.1", ""},
      {"method -1 is GET", -1, "", {}, "/a", "GET /a HTTP/1.1", ""},
      {"POST with its form type", 1, "x=1", {}, "/p", "POST /p HTTP/1.1", "x=1"},
      {"GET with a body", 0, "hello", {}, "/g", "GET /g HTTP/1.1", "hello"},
      {"body bytes beat body text",
       3,
       "text",
       {'d', 'a', 't', 'a'},
       "/u",
       "PUT /u HTTP/1.1",
       "data"},
      {"host only requests /", 0, "", {}, "", "GET / HTTP/1.1", ""},
      {"DELETE", 5, "", {}, "/d?x", "DELETE /d?x HTTP/1.1", ""},
  };
  for (const auto& c : cases) {
    web_request(http_url(c.url_rest), c.method, c.body_text, nullptr, nullptr, {}, nullptr, false,
                {}, {}, {}, {}, {}, 0, nullptr, nullptr, nullptr, true, true, c.body_data);
    const std::string raw = last_request();
    EXPECT_EQ(raw.substr(0, raw.find("\r\n")), c.request_line) << c.name;
    EXPECT_EQ(raw.substr(raw.find("\r\n\r\n") + 4), c.body) << c.name;
    if (!c.body.empty() || c.method == 1 || c.method == 3) {
      EXPECT_NE(raw.find("Content-Length: " + std::to_string(c.body.size()) + "\r\n"),
                std::string::npos)
          << c.name;
    }
    EXPECT_EQ(raw.find("Content-Type") != std::string::npos, c.method == 1) << c.name;
    EXPECT_EQ(raw.find("Expect:"), std::string::npos) << c.name;
  }
}

TEST_F(WebRequestTest, ResponsesOutputsAndRedirects) {
  Text headers, location = "unchanged", status;
  core::ByteBuffer body;
  const Text text = web_request(
      http_url("/r?status=302&reason=Found&h=Location:%20/elsewhere&body=moved"), 0, {}, nullptr,
      nullptr, {}, &headers, true, {}, {}, {}, {}, {}, 0, &location, &status, &body);
  EXPECT_EQ(text, Text("moved"));
  EXPECT_EQ(location, Text("/elsewhere"));
  EXPECT_EQ(status, Text("302 Found"));
  EXPECT_TRUE(headers.starts_with("HTTP/1.1 302 Found\r\n"));
  EXPECT_TRUE(headers.ends_with("\r\n\r\n"));
  EXPECT_EQ(body, (core::ByteBuffer{'m', 'o', 'v', 'e', 'd'}));

  // Followed by the transport: the final response only.
  headers = location = "unchanged";
  EXPECT_EQ(
      web_request(http_url("/r?status=301&h=Location:%20/final%3Fbody%3Dthere"), 0, {}, nullptr,
                  nullptr, {}, &headers, false, {}, {}, {}, {}, {}, 0, &location, &status),
      Text("there"));
  EXPECT_EQ(status, Text("200 OK"));
  EXPECT_EQ(location, Text("unchanged")) << "the final response has no Location";
  EXPECT_TRUE(headers.starts_with("HTTP/1.1 200 OK\r\n"));

  // Never from HTTPS down to HTTP: the 3xx comes back.
  const std::string down = "Location:%20http://127.0.0.1:" + std::to_string(http_port) + "/x";
  EXPECT_EQ(web_request(https_url("/r?status=302&body=stay&h=" + down), 0, {}, nullptr, nullptr, {},
                        nullptr, false, {}, {}, {}, {}, {}, 0, nullptr, &status),
            Text("stay"));
  EXPECT_EQ(status, Text("302 OK"));

  // Chunked bodies arrive whole and undecoded encodings stay as sent.
  EXPECT_EQ(web_request(http_url("/c?chunked=1&body=abcdefghijklmnopqrstuvwxyz")),
            Text("abcdefghijklmnopqrstuvwxyz"));
}

TEST_F(WebRequestTest, CredentialsOnlyWithBoth) {
  const Text url = http_url("/secret?auth=u:p&body=in");
  EXPECT_EQ(web_request(url, 0, {}, nullptr, nullptr, {}, nullptr, false, "u", "p"), Text("in"));
  EXPECT_NE(last_request().find("Authorization: Basic dTpw\r\n"), std::string::npos);
  Text status;
  EXPECT_EQ(web_request(url, 0, {}, nullptr, nullptr, {}, nullptr, false, "u", "", {}, {}, {}, 0,
                        nullptr, &status),
            Text("denied"));
  EXPECT_EQ(status, Text("401 Unauthorized"));
  EXPECT_EQ(last_request().find("Authorization"), std::string::npos);
}

TEST_F(WebRequestTest, CookiesSentReturnedAndMerged) {
  Text cookies = "a=1; b=2", returned = "seen=0; ";
  web_request(http_url("/k?h=Set-Cookie:%20b=3;%20path=/&h=Set-Cookie:%20c=4"), 0, {}, &cookies,
              &returned);
  EXPECT_NE(last_request().find("\r\nCookie: a=1; b=2\r\n"), std::string::npos);
  EXPECT_EQ(cookies, Text("seen=0; b=3; c=4; a=1")) << "new items follow what it held";
  EXPECT_EQ(returned, cookies);

  Text no_merge = "a=1";
  returned = "";
  web_request(http_url("/k?h=Set-Cookie:%20z=9"), 0, {}, &no_merge, &returned, {}, nullptr, false,
              {}, {}, {}, {}, {}, 0, nullptr, nullptr, nullptr, false);
  EXPECT_EQ(no_merge, Text("a=1"));
  EXPECT_EQ(returned, Text("z=9"));
}

TEST_F(WebRequestTest, RealFailures) {
  struct Case {
    const char* name;
    Text url;
    Text message;
    Text text;
  } cases[] = {
      {"a URL that cannot be cracked", "ftp://x/y", gbk(u8"701 解析URL地址失败!"), ""},
      {"nothing listening", "http://127.0.0.1:1/", gbk(u8"711 发送请求失败!"), ""},
      {"closed before any response", http_url("/x?close=1"), gbk(u8"712 服务器未响应!"), ""},
      {"no TLS handshake with a plain server (it waits for a request line: the time-out ends it)",
       Text::from_bytes("https://127.0.0.1:" + std::to_string(http_port) + "/"),
       gbk(u8"711 发送请求失败!"), ""},
  };
  for (const auto& c : cases) {
    Text status, headers = "h", location = "l", returned = "r";
    core::ByteBuffer body{'b'};
    EXPECT_EQ(web_request(c.url, 0, {}, nullptr, &returned, {}, &headers, false, {}, {}, {}, {}, {},
                          2, &location, &status, &body),
              c.text)
        << c.name;
    EXPECT_EQ(status, c.message) << c.name;
    EXPECT_EQ(headers, Text("h")) << c.name;
    EXPECT_EQ(location, Text("l")) << c.name;
    EXPECT_EQ(returned, Text("r")) << c.name;
    EXPECT_EQ(body, core::ByteBuffer{'b'}) << c.name;
  }
  // Reset mid-body: the bytes read so far, and the status line replaces the read failure.
  Text status;
  core::ByteBuffer body;
  EXPECT_EQ(web_request(http_url("/x?reset=5&body=partial-body"), 0, {}, nullptr, nullptr, {},
                        nullptr, false, {}, {}, {}, {}, {}, 0, nullptr, &status, &body),
            Text("parti"));
  EXPECT_EQ(status, Text("200 OK"));
}

TEST_F(WebRequestTest, InjectedFailures) {
  struct Case {
    Call call;
    int skip;
    Text message;
    bool no_redirect;
  } cases[] = {
      {Call::CheckPlatform, 0, gbk(u8"700 当前系统不支持WinHttp服务!"), false},
      {Call::OpenSession, 0, gbk(u8"702 创建WinHttp会话失败!"), false},
      {Call::Connect, 0, gbk(u8"703 创建WinHttp连接失败!"), false},
      {Call::OpenRequest, 0, gbk(u8"704 创建WinHttp请求失败!"), false},
      {Call::SetTimeouts, 0, gbk(u8"705 设置超时时间失败!"), false},
      {Call::SetCredentials, 0, gbk(u8"707 设置代理凭证失败!"), false},
      {Call::SetCredentials, 1, gbk(u8"707 设置代理凭证失败!"), false},
      {Call::SetOption, 0, gbk(u8"忽略错误/证书错误  失败！"), false},
      {Call::SetOption, 1, gbk(u8"708 禁止自动设置Cookies失败!"), false},
      {Call::SetOption, 2, gbk(u8"709 重定向设置失败!"), true},
      {Call::AddRequestHeaders, 0, gbk(u8"710 设置协议头失败!"), false},
      {Call::SendRequest, 0, gbk(u8"711 发送请求失败!"), false},
      {Call::ReceiveResponse, 0, gbk(u8"712 服务器未响应!"), false},
  };
  for (const auto& c : cases) {
    platform::http::testing::clear_failures();
    platform::http::testing::fail_call(c.call, c.skip);
    Text status, headers = "h", returned = "r";
    EXPECT_EQ(web_request(http_url("/x"), 0, {}, nullptr, &returned, {}, &headers, c.no_redirect,
                          "u", "p", {}, "pu", "pp", 0, nullptr, &status),
              Text(""))
        << c.message.bytes();
    EXPECT_EQ(status, c.message);
    EXPECT_EQ(headers, Text("h"));
    EXPECT_EQ(returned, Text("r"));
  }
  // The second header query failing: empty text and no message of its own.
  platform::http::testing::clear_failures();
  platform::http::testing::fail_call(Call::QueryHeaders, 1);
  Text status = "before", headers = "h";
  EXPECT_EQ(web_request(http_url("/x"), 0, {}, nullptr, nullptr, {}, &headers, false, {}, {}, {},
                        {}, {}, 0, nullptr, &status),
            Text(""));
  EXPECT_EQ(status, Text("before"));
  EXPECT_EQ(headers, Text("h"));
  // A read that fails after the data: the text so far and the 713 message replaced by the status.
  platform::http::testing::clear_failures();
  platform::http::testing::fail_call(Call::ReadData, 0);
  EXPECT_EQ(web_request(http_url("/x?body=abc"), 0, {}, nullptr, nullptr, {}, nullptr, false, {},
                        {}, {}, {}, {}, 0, nullptr, &status),
            Text(""));
  EXPECT_EQ(status, Text("200 OK"));
}

TEST_F(WebRequestTest, StalledServerEndsNearTheTimeOut) {
  const int seconds = 2;
  const auto start = std::chrono::steady_clock::now();
  Text status;
  EXPECT_EQ(web_request(http_url("/slow?delay_ms=8000"), 0, {}, nullptr, nullptr, {}, nullptr,
                        false, {}, {}, {}, {}, {}, seconds, nullptr, &status),
            Text(""));
  const double took =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(status, gbk(u8"712 服务器未响应!"));
  EXPECT_GE(took, seconds - 0.1);
  EXPECT_LT(took, seconds + 2.5);
}

TEST_F(WebRequestTest, ApartmentBalancedOnEveryThread) {
  const int before = platform::apartment_count();
  web_request(http_url("/x"));
  web_request("not a url");
  EXPECT_EQ(platform::apartment_count(), before);
  std::thread plain([] {
    EXPECT_EQ(web_request(http_url("/x?body=t")), Text("t"));
    EXPECT_EQ(platform::apartment_count(), 0);
  });
  plain.join();
}

TEST_F(WebRequestTest, NoProxyMeansNoneWhateverTheEnvironmentSays) {
  setenv("http_proxy", "http://127.0.0.1:1", 1);
  setenv("https_proxy", "http://127.0.0.1:1", 1);
  EXPECT_EQ(web_request(http_url("/direct?body=direct")), Text("direct"));
  EXPECT_EQ(web_request(https_url("/direct?body=direct")), Text("direct"));
  unsetenv("http_proxy");
  unsetenv("https_proxy");
}

TEST_F(WebRequestTest, ThroughARealProxyWithCredentials) {
  test_support::TempDir dir;
  const int proxy_port = test_support::free_port();
  {
    std::ofstream config(dir.file("tinyproxy.conf"));
    config << "Port " << proxy_port << "\nListen 127.0.0.1\nTimeout 30\nAllow 127.0.0.1\n"
           << "MaxClients 20\nLogLevel Critical\nBasicAuth harvest secret\n";
  }
  test_support::ChildProcess proxy({"tinyproxy", "-d", "-c", dir.file("tinyproxy.conf")});
  const Text address = Text::from_bytes("127.0.0.1:" + std::to_string(proxy_port));
  auto via_proxy = [&](const Text& url, const Text& user, const Text& password, Text* status) {
    return web_request(url, 0, {}, nullptr, nullptr, {}, nullptr, false, {}, {}, address, user,
                       password, 5, nullptr, status);
  };
  Text status, text;
  for (int attempt = 0; attempt < 50 && text.empty(); ++attempt) {  // until the proxy listens
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    text = via_proxy(http_url("/via?body=proxied"), "harvest", "secret", &status);
  }
  EXPECT_EQ(text, Text("proxied")) << status;
  EXPECT_NE(last_request().find("Via: "), std::string::npos) << "it went through the proxy";
  // "http=" + the address for http; the address itself for https, as a tunnel.
  EXPECT_EQ(via_proxy(https_url("/via?body=tunnel"), "harvest", "secret", &status), Text("tunnel"));
  // A user without a password sets no credentials: the proxy refuses.
  via_proxy(http_url("/via?body=proxied"), "harvest", "", &status);
  EXPECT_EQ(status.left(3), Text("407"));
}

}  // namespace
}  // namespace http
