#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/text.h"

// A synchronous HTTP service shaped like the one the request routine was written for: a session
// (proxy, time-outs), a connection (host, port) and a request (verb, object, credentials, options,
// headers), then send, receive, read the body in the chunks it arrived in, and query the raw
// headers. Over libcurl. Every call reports failure as false or a null handle; handles close when
// their owner is reset, request before connection before session.
//
// What the service does on the wire: HTTP/1.1; the request line, Host, the caller's header lines
// as given, "Connection: Keep-Alive" (unless the caller has a Connection line), Content-Length
// when a body goes along (and always for POST and PUT), Authorization when credentials were set;
// nothing else (no Accept, Expect or Content-Type of its own) and no decompression of the body.
// Redirects are followed (at most 10 hops, never from HTTPS to HTTP, the headers going along on
// every hop) unless disabled. A fresh connection every request.
namespace platform::http {

inline constexpr std::uint32_t ACCESS_TYPE_NO_PROXY = 1;
inline constexpr std::uint32_t ACCESS_TYPE_NAMED_PROXY = 3;
inline constexpr int SCHEME_HTTP = 1;
inline constexpr int SCHEME_HTTPS = 2;
inline constexpr std::uint32_t FLAG_SECURE = 0x00800000;
inline constexpr std::uint32_t AUTH_TARGET_SERVER = 0;
inline constexpr std::uint32_t AUTH_TARGET_PROXY = 1;
inline constexpr std::uint32_t AUTH_SCHEME_BASIC = 1;
inline constexpr std::uint32_t OPTION_SECURITY_FLAGS = 31;
inline constexpr std::uint32_t OPTION_DISABLE_FEATURE = 63;
inline constexpr std::uint32_t OPTION_ENABLE_FEATURE = 79;
inline constexpr std::uint32_t DISABLE_COOKIES = 1;
inline constexpr std::uint32_t DISABLE_REDIRECTS = 2;
inline constexpr std::uint32_t SECURITY_FLAG_IGNORE_UNKNOWN_CA = 0x100;
inline constexpr std::uint32_t SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE = 0x200;
inline constexpr std::uint32_t SECURITY_FLAG_IGNORE_CERT_CN_INVALID = 0x1000;
inline constexpr std::uint32_t SECURITY_FLAG_IGNORE_CERT_DATE_INVALID = 0x2000;
inline constexpr std::uint32_t ADDREQ_FLAG_ADD = 0x20000000;
inline constexpr std::uint32_t QUERY_RAW_HEADERS_CRLF = 22;

class Session;
class Connection;
class Request;
struct SessionCloser {
  void operator()(Session* session) const;
};
struct ConnectionCloser {
  void operator()(Connection* connection) const;
};
struct RequestCloser {
  void operator()(Request* request) const;
};
using SessionHandle = std::unique_ptr<Session, SessionCloser>;
using ConnectionHandle = std::unique_ptr<Connection, ConnectionCloser>;
using RequestHandle = std::unique_ptr<Request, RequestCloser>;

// The parts of a URL, as positions inside the string given to crack_url.
struct UrlComponents {
  int scheme = 0;  // SCHEME_HTTP or SCHEME_HTTPS
  std::u16string_view host;
  std::uint16_t port = 0;  // the scheme's default when the URL names none
  std::u16string_view path;
  std::u16string_view extra;  // the query (and fragment), with its '?'
};

// True when the service can be used (the transport initialised).
bool check_platform();
// False when `url` is not an absolute http or https URL with a host.
bool crack_url(std::u16string_view url, UrlComponents& parts);
// `proxy_name` is "host:port" for every scheme, or "scheme=host:port" entries (space or ';'
// separated) for the schemes they name. No proxy means none, whatever the environment says.
SessionHandle open_session(std::uint32_t access_type, std::u16string_view proxy_name);
// Milliseconds: resolve and connect bound the way to a connection; send and receive bound how long
// a transfer may go without progress.
bool set_timeouts(Session& session, int resolve_ms, int connect_ms, int send_ms, int receive_ms);
ConnectionHandle connect(Session& session, std::u16string_view host, std::uint16_t port);
RequestHandle open_request(Connection& connection, std::u16string_view verb,
                           std::u16string_view object_name, std::uint32_t flags);
bool set_credentials(Request& request, std::uint32_t target, std::uint32_t scheme,
                     std::u16string_view user, std::u16string_view password);
bool set_option(Request& request, std::uint32_t option, std::uint32_t value);
// Lines separated by CR LF; empty lines are skipped, a line without a colon is refused.
bool add_request_headers(Request& request, std::u16string_view headers, std::uint32_t modifiers);
// Connects and sends; false when no connection could be made or the request not sent.
bool send_request(Request& request, const core::ByteBuffer& body);
// False when no response arrived.
bool receive_response(Request& request);
// The size of the next chunk of the body (0 at the end).
bool query_data_available(Request& request, std::uint32_t& available);
// Reads up to `size` bytes of the body; false when the body broke off here (the bytes before it
// have all been read).
bool read_data(Request& request, std::uint8_t* buffer, std::uint32_t size, std::uint32_t& read);
// The raw headers of the final response (status line first, CR LF after each line, an empty line
// at the end) as UTF-16. With a null or small buffer: false and `size_bytes` set to the size
// needed, terminator included.
bool query_headers(Request& request, std::uint32_t info_level, char16_t* buffer,
                   std::uint32_t& size_bytes);

// Makes every transfer under way, and every later one, fail promptly (for ending the program),
// until transfers are allowed again.
void abort_all_transfers();
void allow_transfers();

namespace testing {
enum class Call {
  CheckPlatform,
  CrackUrl,
  OpenSession,
  SetTimeouts,
  Connect,
  OpenRequest,
  SetCredentials,
  SetOption,
  AddRequestHeaders,
  SendRequest,
  ReceiveResponse,
  QueryDataAvailable,
  ReadData,
  QueryHeaders,
};
// The call of kind `call` after `skip` successful ones fails (once).
void fail_call(Call call, int skip = 0);
void clear_failures();
}  // namespace testing

}  // namespace platform::http
