#include "http/web_request.h"

#include <array>

#include "core/codepage.h"
#include "http/request_headers.h"
#include "http/response_cookies.h"
#include "http/response_decoding.h"
#include "platform/http_transport.h"
#include "regex/regex_object.h"
#include "ui/toolkit.h"

namespace http {

namespace {

namespace net = platform::http;
using core::to_utf16;

const std::array<Text, 8> METHOD_NAMES = {"GET",     "POST",   "HEAD",  "PUT",
                                          "OPTIONS", "DELETE", "TRACE", "CONNECT"};

constexpr std::uint32_t IGNORED_CERTIFICATE_ERRORS =
    net::SECURITY_FLAG_IGNORE_UNKNOWN_CA | net::SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE |
    net::SECURITY_FLAG_IGNORE_CERT_CN_INVALID | net::SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;

// The failure messages, by the step that fails.
struct Messages {
  Text no_platform = core::gbk(u8"700 当前系统不支持WinHttp服务!");
  Text bad_url = core::gbk(u8"701 解析URL地址失败!");
  Text no_session = core::gbk(u8"702 创建WinHttp会话失败!");
  Text no_connection = core::gbk(u8"703 创建WinHttp连接失败!");
  Text no_request = core::gbk(u8"704 创建WinHttp请求失败!");
  Text timeouts = core::gbk(u8"705 设置超时时间失败!");
  Text credentials = core::gbk(u8"707 设置代理凭证失败!");
  Text cookies_option = core::gbk(u8"708 禁止自动设置Cookies失败!");
  Text redirect_option = core::gbk(u8"709 重定向设置失败!");
  Text headers = core::gbk(u8"710 设置协议头失败!");
  Text send = core::gbk(u8"711 发送请求失败!");
  Text no_response = core::gbk(u8"712 服务器未响应!");
  Text read = core::gbk(u8"713 读取数据失败!");
  Text certificate = core::gbk(u8"忽略错误/证书错误  失败！");
};
const Messages& messages() {
  static const Messages all;
  return all;
}

// UTF-16 to GBK as the request routine takes text back from the platform.
Text from_utf16(std::u16string_view text) {
  return core::utf16_to_gbk(text, true);
}

}  // namespace

Text web_request(const Text& url, std::int32_t method, const Text& body_text, Text* cookies,
                 Text* returned_cookies, const Text& extra_headers, Text* response_headers,
                 bool no_redirect, const Text& user_name, const Text& password, const Text& proxy,
                 const Text& proxy_user, const Text& proxy_password, std::int32_t timeout_seconds,
                 Text* redirect_location, Text* status_text, ByteBuffer* body_bytes,
                 bool merge_cookies, bool add_default_headers, const ByteBuffer& body_data,
                 bool normalize_header_names) {
  // Omitted outputs are worked on in temporaries that are discarded.
  Text cookies_temp, returned_temp, headers_temp, location_temp, status_temp;
  ByteBuffer body_temp;
  Text& cookie_jar = cookies ? *cookies : cookies_temp;
  Text& returned = returned_cookies ? *returned_cookies : returned_temp;
  Text& raw_headers = response_headers ? *response_headers : headers_temp;
  Text& location = redirect_location ? *redirect_location : location_temp;
  Text& status = status_text ? *status_text : status_temp;
  ByteBuffer& received_out = body_bytes ? *body_bytes : body_temp;
  const Messages& say = messages();

  regex::RegexObject regex;  // initialises the apartment for the decoding step
  // Declared in opening order, so they close request, connection, session on every path.
  net::SessionHandle session;
  net::ConnectionHandle connection;
  net::RequestHandle request;
  auto fail = [&status](const Text& message) {
    status = message;
    ui::process_pending_events();
    return Text();
  };

  if (!net::check_platform()) return fail(say.no_platform);  // 1

  const std::u16string wide_url = to_utf16(url);  // 2
  net::UrlComponents parts;
  if (!net::crack_url(wide_url, parts)) return fail(say.bad_url);
  const Text host = from_utf16(parts.host);
  const bool secure = parts.scheme == net::SCHEME_HTTPS;
  const std::u16string object_name = parts.path.empty()
                                         ? std::u16string(u"/")
                                         : std::u16string(parts.path) + std::u16string(parts.extra);

  const std::uint32_t access = proxy.empty() ? net::ACCESS_TYPE_NO_PROXY  // 3
                                             : net::ACCESS_TYPE_NAMED_PROXY;
  const Text proxy_name = proxy.empty() ? Text() : secure ? proxy : Text("http=") + proxy;

  session = net::open_session(access, to_utf16(proxy_name));  // 4
  if (!session) return fail(say.no_session);

  const int t = timeout_seconds > 0 ? timeout_seconds * 1000 : DEFAULT_TIMEOUT_MS;  // 5
  if (!net::set_timeouts(*session, t, t, t, t)) return fail(say.timeouts);

  connection = net::connect(*session, to_utf16(host), parts.port);  // 6
  if (!connection) return fail(say.no_connection);

  const Text& verb = (method >= 0 && method <= 7) ? METHOD_NAMES[method] : METHOD_NAMES[0];  // 7

  request = net::open_request(*connection, to_utf16(verb), object_name,  // 8
                              secure ? net::FLAG_SECURE : 0);
  if (!request) return fail(say.no_request);

  if (!user_name.empty() && !password.empty() &&  // 9
      !net::set_credentials(*request, net::AUTH_TARGET_SERVER, net::AUTH_SCHEME_BASIC,
                            to_utf16(user_name), to_utf16(password)))
    return fail(say.credentials);
  if (!proxy_user.empty() && !proxy_password.empty() &&  // 10
      !net::set_credentials(*request, net::AUTH_TARGET_PROXY, net::AUTH_SCHEME_BASIC,
                            to_utf16(proxy_user), to_utf16(proxy_password)))
    return fail(say.credentials);

  if (!net::set_option(*request, net::OPTION_SECURITY_FLAGS, IGNORED_CERTIFICATE_ERRORS))  // 11
    return fail(say.certificate);

  // 12. With cookies of the caller's, the transport's own cookie handling stays off all the same
  // (it never stores or sends cookies by itself): the Cookie line built from `cookies` is what is
  // sent. The option call keeps the step and its failure as they always were.
  const bool cookie_option =
      cookie_jar.empty()
          ? net::set_option(*request, net::OPTION_DISABLE_FEATURE, net::DISABLE_COOKIES)
          : net::set_option(*request, net::OPTION_ENABLE_FEATURE, 1);
  if (!cookie_option) return fail(say.cookies_option);

  if (no_redirect &&  // 13
      !net::set_option(*request, net::OPTION_DISABLE_FEATURE, net::DISABLE_REDIRECTS))
    return fail(say.redirect_option);

  const Text block = build_request_headers(extra_headers, method, cookie_jar,  // 14
                                           add_default_headers, normalize_header_names);
  if (!net::add_request_headers(*request, to_utf16(block), net::ADDREQ_FLAG_ADD))
    return fail(say.headers);

  const ByteBuffer body = !body_data.empty() ? body_data : body_text.to_buffer();  // 15

  if (!net::send_request(*request, body)) return fail(say.send);       // 16
  if (!net::receive_response(*request)) return fail(say.no_response);  // 17

  ByteBuffer received;  // 18
  for (std::uint32_t available = 0;
       net::query_data_available(*request, available) && available >= 1;) {
    ByteBuffer chunk(available);
    std::uint32_t read = 0;
    if (!net::read_data(*request, chunk.data(), available, read)) {
      status = say.read;
      break;
    }
    received.insert(received.end(), chunk.begin(), chunk.begin() + read);
  }

  std::uint32_t size = 0;  // 19
  net::query_headers(*request, net::QUERY_RAW_HEADERS_CRLF, nullptr, size);
  std::u16string header_buffer(size / sizeof(char16_t) + 1, u'\0');
  if (!net::query_headers(*request, net::QUERY_RAW_HEADERS_CRLF, header_buffer.data(), size)) {
    ui::process_pending_events();
    return {};
  }

  raw_headers = from_utf16(header_buffer);  // 20

  const int line_end = raw_headers.find("\r\n", 10);  // 21
  status = line_end > 0 ? raw_headers.mid(10, line_end - 10) : raw_headers.mid(10);

  for (const Text& line : raw_headers.split("\r\n")) {  // 22, 23
    collect_response_cookies(line, returned);
    if (line.left(10).equals_ignore_case("Location: ")) location = line.mid(11);
    ui::process_pending_events();
  }

  finish_response_cookies(returned);  // 24
  if (merge_cookies && !cookie_jar.empty()) {
    const Text merged = merge_cookie_text(cookie_jar, returned);
    returned = merged;
    cookie_jar = merged;
  }

  received_out = received;                                  // 25
  const Text text = decode_response_text(received, regex);  // 26
  ui::process_pending_events();
  return text;  // 27: the handles close as they go out of scope, request first
}

}  // namespace http

namespace http {
void abort_all_requests() {
  platform::http::abort_all_transfers();
}
void allow_requests() {
  platform::http::allow_transfers();
}
}  // namespace http
