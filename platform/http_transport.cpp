#include "platform/http_transport.h"

#include <curl/curl.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

#include "core/codepage.h"

namespace platform::http {

namespace {

std::atomic<bool> aborting{false};

// Failure injection: per call kind, 1 + the successful calls left before one fails (0: none).
std::array<std::atomic<int>, 14> planned_failures{};

bool injected_failure(testing::Call call) {
  std::atomic<int>& left = planned_failures[static_cast<std::size_t>(call)];
  int now = left.load();
  while (now > 0) {
    if (left.compare_exchange_weak(now, now - 1)) return now == 1;
  }
  return false;
}

std::string utf8(std::u16string_view text) {
  return core::utf16_to_utf8(text);
}

bool starts_with_ignore_case(std::u16string_view text, std::u16string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char16_t c = text[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

struct CurlDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Easy = std::unique_ptr<CURL, CurlDeleter>;
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

bool global_init() {
  static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return ready;
}

}  // namespace

class Session {
 public:
  std::uint32_t access_type = ACCESS_TYPE_NO_PROXY;
  std::string proxy_name;
  int connect_ms = 60000;
  int send_ms = 30000;
  int receive_ms = 30000;

  // The proxy for a URL of `scheme` ("http" or "https"); "" for none.
  std::string proxy_for(const std::string& scheme) const {
    if (access_type != ACCESS_TYPE_NAMED_PROXY) return {};
    std::string any;
    std::size_t at = 0;
    while (at < proxy_name.size()) {
      const std::size_t end = proxy_name.find_first_of("; ", at);
      const std::string entry =
          proxy_name.substr(at, end == std::string::npos ? std::string::npos : end - at);
      at = end == std::string::npos ? proxy_name.size() : end + 1;
      if (entry.empty()) continue;
      const std::size_t equals = entry.find('=');
      if (equals == std::string::npos) {
        if (any.empty()) any = entry;
      } else if (entry.compare(0, equals, scheme) == 0) {
        return entry.substr(equals + 1);
      }
    }
    return any;
  }
};

class Connection {
 public:
  Session* session;
  std::string host;
  std::uint16_t port;
};

class Request {
 public:
  Connection* connection;
  std::string verb;
  std::string object_name;
  bool secure;
  std::string user, password, proxy_user, proxy_password;
  bool verify_peer = true;
  bool verify_host = true;
  bool follow_redirects = true;
  std::vector<std::string> header_lines;

  // The outcome of send_request.
  bool sent = false;
  bool responded = false;
  std::string status_line;
  std::vector<std::string> response_lines;  // header lines of the final response
  std::deque<std::string> chunks;           // the body as it arrived
  bool body_broken = false;                 // the body broke off after the chunks

  // Per transfer.
  bool connected = false;  // the connection (and its TLS handshake) was made
  bool headers_complete = false;
  std::chrono::steady_clock::time_point last_progress;
  curl_off_t progress_bytes = -1;
};

void SessionCloser::operator()(Session* session) const {
  delete session;
}
void ConnectionCloser::operator()(Connection* connection) const {
  delete connection;
}
void RequestCloser::operator()(Request* request) const {
  delete request;
}

namespace {

std::size_t on_header(char* data, std::size_t size, std::size_t count, void* user) {
  auto* request = static_cast<Request*>(user);
  std::string line(data, size * count);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  if (line.rfind("HTTP/", 0) == 0) {  // a new response: interim ones (100, proxy) are replaced
    request->status_line = line;
    request->response_lines.clear();
    request->headers_complete = false;
  } else if (line.empty()) {
    request->headers_complete = true;
  } else {
    request->response_lines.push_back(line);
  }
  return size * count;
}

std::size_t on_body(char* data, std::size_t size, std::size_t count, void* user) {
  auto* request = static_cast<Request*>(user);
  if (size * count > 0) request->chunks.emplace_back(data, size * count);
  return size * count;
}

// Ends a transfer that makes no progress for longer than the send or receive time-out, and every
// transfer once the program is ending.
int on_progress(void* user, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal,
                curl_off_t ulnow) {
  (void)dltotal;
  (void)ultotal;
  auto* request = static_cast<Request*>(user);
  if (aborting) return 1;
  const auto now = std::chrono::steady_clock::now();
  if (dlnow + ulnow != request->progress_bytes) {
    request->progress_bytes = dlnow + ulnow;
    request->last_progress = now;
    return 0;
  }
  const Session& session = *request->connection->session;
  const int limit = ulnow < ultotal ? session.send_ms : session.receive_ms;
  const auto idle =
      std::chrono::duration_cast<std::chrono::milliseconds>(now - request->last_progress).count();
  return (limit > 0 && idle > limit) ? 1 : 0;
}

std::string url_for(const Request& request, const std::string& host_and_path) {
  return std::string(request.secure ? "https://" : "http://") + host_and_path;
}

std::string authority(const Connection& connection) {
  const bool ipv6 = connection.host.find(':') != std::string::npos;
  return (ipv6 ? "[" + connection.host + "]" : connection.host) + ":" +
         std::to_string(connection.port);
}

bool has_header(const std::vector<std::string>& lines, const char* name) {
  const std::size_t n = std::strlen(name);
  for (const std::string& line : lines)
    if (line.size() > n && line[n] == ':' && strncasecmp(line.c_str(), name, n) == 0) return true;
  return false;
}

// One transfer without following redirects. Returns the libcurl code; fills the request's
// response fields.
CURLcode transfer(Request& request, const std::string& url, const std::string& verb,
                  const core::ByteBuffer* body, std::string& redirect_url) {
  Easy easy(curl_easy_init());
  if (!easy) return CURLE_FAILED_INIT;
  CURL* e = easy.get();
  const Session& session = *request.connection->session;
  request.status_line.clear();
  request.response_lines.clear();
  request.chunks.clear();
  request.headers_complete = false;
  request.progress_bytes = -1;
  request.last_progress = std::chrono::steady_clock::now();

  Slist headers;
  auto add = [&headers](const std::string& line) {
    curl_slist* grown = curl_slist_append(headers.get(), line.c_str());
    if (grown) {
      headers.release();
      headers.reset(grown);
    }
    return grown != nullptr;
  };
  bool ok = true;
  for (const std::string& line : request.header_lines) ok = ok && add(line);
  if (!has_header(request.header_lines, "Connection")) ok = ok && add("Connection: Keep-Alive");
  if (!has_header(request.header_lines, "Accept")) ok = ok && add("Accept:");
  ok = ok && add("Expect:");
  if (!has_header(request.header_lines, "Content-Type")) ok = ok && add("Content-Type:");
  if (!ok) return CURLE_OUT_OF_MEMORY;

  const std::string scheme = request.secure ? "https" : "http";
  const std::string proxy = session.proxy_for(scheme);
  CURLcode rc = CURLE_OK;
  auto set = [&rc](CURLcode result) {
    if (rc == CURLE_OK) rc = result;
  };
  set(curl_easy_setopt(e, CURLOPT_URL, url.c_str()));
  set(curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https"));
  set(curl_easy_setopt(e, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1));
  set(curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L));
  set(curl_easy_setopt(e, CURLOPT_FRESH_CONNECT, 1L));
  set(curl_easy_setopt(e, CURLOPT_FORBID_REUSE, 1L));
  set(curl_easy_setopt(e, CURLOPT_PATH_AS_IS, 1L));
  set(curl_easy_setopt(e, CURLOPT_HTTP_CONTENT_DECODING, 0L));
  set(curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers.get()));
  set(curl_easy_setopt(e, CURLOPT_PROXY, proxy.c_str()));  // "" means none, despite the environment
  set(curl_easy_setopt(e, CURLOPT_NOPROXY, ""));
  set(curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L));
  set(curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(session.connect_ms)));
  set(curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, request.verify_peer ? 1L : 0L));
  set(curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, request.verify_host ? 2L : 0L));
  set(curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, on_header));
  set(curl_easy_setopt(e, CURLOPT_HEADERDATA, &request));
  set(curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, on_body));
  set(curl_easy_setopt(e, CURLOPT_WRITEDATA, &request));
  set(curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L));
  set(curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, on_progress));
  set(curl_easy_setopt(e, CURLOPT_XFERINFODATA, &request));
  if (!request.user.empty() || !request.password.empty()) {
    set(curl_easy_setopt(e, CURLOPT_HTTPAUTH, CURLAUTH_BASIC));
    set(curl_easy_setopt(e, CURLOPT_USERNAME, request.user.c_str()));
    set(curl_easy_setopt(e, CURLOPT_PASSWORD, request.password.c_str()));
  }
  if (!request.proxy_user.empty() || !request.proxy_password.empty()) {
    set(curl_easy_setopt(e, CURLOPT_PROXYAUTH, CURLAUTH_BASIC));
    set(curl_easy_setopt(e, CURLOPT_PROXYUSERNAME, request.proxy_user.c_str()));
    set(curl_easy_setopt(e, CURLOPT_PROXYPASSWORD, request.proxy_password.c_str()));
  }
  const bool with_body = body != nullptr && (!body->empty() || verb == "POST" || verb == "PUT");
  if (verb == "HEAD") set(curl_easy_setopt(e, CURLOPT_NOBODY, 1L));
  if (with_body) {
    set(curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size())));
    set(curl_easy_setopt(e, CURLOPT_POSTFIELDS,
                         body->empty() ? "" : reinterpret_cast<const char*>(body->data())));
  }
  if (verb == "GET" && !with_body) {
    set(curl_easy_setopt(e, CURLOPT_HTTPGET, 1L));
  } else if (verb != "POST" || !with_body) {
    set(curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, verb.c_str()));
  }
  if (rc != CURLE_OK) return rc;

  rc = curl_easy_perform(e);
  // Sending includes the TLS handshake on a secure connection, as it does for the platform.
  curl_off_t connected = 0;
  curl_easy_getinfo(e, request.secure ? CURLINFO_APPCONNECT_TIME_T : CURLINFO_CONNECT_TIME_T,
                    &connected);
  request.connected = connected > 0;
  char* location = nullptr;
  if (curl_easy_getinfo(e, CURLINFO_REDIRECT_URL, &location) == CURLE_OK && location)
    redirect_url = location;
  else
    redirect_url.clear();
  return rc;
}

}  // namespace

bool check_platform() {
  return !injected_failure(testing::Call::CheckPlatform) && global_init();
}

bool crack_url(std::u16string_view url, UrlComponents& parts) {
  if (injected_failure(testing::Call::CrackUrl)) return false;
  std::size_t at;
  if (starts_with_ignore_case(url, u"http://")) {
    parts.scheme = SCHEME_HTTP;
    parts.port = 80;
    at = 7;
  } else if (starts_with_ignore_case(url, u"https://")) {
    parts.scheme = SCHEME_HTTPS;
    parts.port = 443;
    at = 8;
  } else {
    return false;
  }
  std::size_t authority_end = url.find_first_of(u"/?#", at);
  if (authority_end == std::u16string_view::npos) authority_end = url.size();
  std::u16string_view authority = url.substr(at, authority_end - at);
  if (const auto userinfo = authority.rfind(u'@'); userinfo != std::u16string_view::npos)
    authority = authority.substr(userinfo + 1);
  std::u16string_view port_text;
  if (!authority.empty() && authority.front() == u'[') {
    const auto close = authority.find(u']');
    if (close == std::u16string_view::npos) return false;
    parts.host = authority.substr(1, close - 1);
    if (close + 1 < authority.size()) {
      if (authority[close + 1] != u':') return false;
      port_text = authority.substr(close + 2);
    }
  } else {
    const auto colon = authority.find(u':');
    parts.host = authority.substr(0, colon);
    if (colon != std::u16string_view::npos) port_text = authority.substr(colon + 1);
  }
  if (parts.host.empty()) return false;
  for (char16_t c : parts.host)
    if (c <= u' ' || c == u'\\') return false;
  if (!port_text.empty()) {
    unsigned long port = 0;
    for (char16_t c : port_text) {
      if (c < u'0' || c > u'9' || port > 65535) return false;
      port = port * 10 + (c - u'0');
    }
    if (port == 0 || port > 65535) return false;
    parts.port = static_cast<std::uint16_t>(port);
  }
  const std::u16string_view rest = url.substr(authority_end);
  const auto query = rest.find_first_of(u"?#");
  parts.path = rest.substr(0, query);
  parts.extra = query == std::u16string_view::npos ? std::u16string_view() : rest.substr(query);
  return true;
}

SessionHandle open_session(std::uint32_t access_type, std::u16string_view proxy_name) {
  if (injected_failure(testing::Call::OpenSession) || !global_init()) return nullptr;
  if (access_type != ACCESS_TYPE_NO_PROXY && access_type != ACCESS_TYPE_NAMED_PROXY) return nullptr;
  if (access_type == ACCESS_TYPE_NAMED_PROXY && proxy_name.empty()) return nullptr;
  SessionHandle session(new Session());
  session->access_type = access_type;
  session->proxy_name = utf8(proxy_name);
  return session;
}

bool set_timeouts(Session& session, int resolve_ms, int connect_ms, int send_ms, int receive_ms) {
  if (injected_failure(testing::Call::SetTimeouts)) return false;
  if (resolve_ms < -1 || connect_ms < -1 || send_ms < -1 || receive_ms < -1) return false;
  // Resolving and connecting share one bound here.
  session.connect_ms = std::max(resolve_ms, connect_ms) <= 0 ? 0 : std::max(resolve_ms, connect_ms);
  session.send_ms = send_ms;
  session.receive_ms = receive_ms;
  return true;
}

ConnectionHandle connect(Session& session, std::u16string_view host, std::uint16_t port) {
  if (injected_failure(testing::Call::Connect) || host.empty()) return nullptr;
  return ConnectionHandle(new Connection{&session, utf8(host), port});
}

RequestHandle open_request(Connection& connection, std::u16string_view verb,
                           std::u16string_view object_name, std::uint32_t flags) {
  if (injected_failure(testing::Call::OpenRequest) || verb.empty()) return nullptr;
  RequestHandle request(new Request());
  request->connection = &connection;
  request->verb = utf8(verb);
  request->object_name = object_name.empty() ? std::string("/") : utf8(object_name);
  request->secure = (flags & FLAG_SECURE) != 0;
  return request;
}

bool set_credentials(Request& request, std::uint32_t target, std::uint32_t scheme,
                     std::u16string_view user, std::u16string_view password) {
  if (injected_failure(testing::Call::SetCredentials)) return false;
  if (scheme != AUTH_SCHEME_BASIC) return false;
  if (target == AUTH_TARGET_SERVER) {
    request.user = utf8(user);
    request.password = utf8(password);
  } else if (target == AUTH_TARGET_PROXY) {
    request.proxy_user = utf8(user);
    request.proxy_password = utf8(password);
  } else {
    return false;
  }
  return true;
}

bool set_option(Request& request, std::uint32_t option, std::uint32_t value) {
  if (injected_failure(testing::Call::SetOption)) return false;
  switch (option) {
    case OPTION_SECURITY_FLAGS:
      request.verify_peer =
          (value & (SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                    SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE)) == 0;
      request.verify_host = (value & SECURITY_FLAG_IGNORE_CERT_CN_INVALID) == 0;
      return true;
    case OPTION_DISABLE_FEATURE:
      // Cookies are never handled by the service itself, so disabling them needs nothing.
      if (value & DISABLE_REDIRECTS) request.follow_redirects = false;
      return (value & ~(DISABLE_COOKIES | DISABLE_REDIRECTS)) == 0;
    case OPTION_ENABLE_FEATURE:
      return true;
    default:
      return false;
  }
}

bool add_request_headers(Request& request, std::u16string_view headers, std::uint32_t modifiers) {
  if (injected_failure(testing::Call::AddRequestHeaders)) return false;
  if (modifiers != ADDREQ_FLAG_ADD) return false;
  std::vector<std::string> lines;
  const std::string block = utf8(headers);
  for (std::size_t at = 0; at < block.size();) {
    std::size_t end = block.find("\r\n", at);
    if (end == std::string::npos) end = block.size();
    const std::string line = block.substr(at, end - at);
    at = end + 2;
    if (line.empty()) continue;
    if (line.find(':') == std::string::npos || line.find('\n') != std::string::npos) return false;
    lines.push_back(line);
  }
  request.header_lines.insert(request.header_lines.end(), lines.begin(), lines.end());
  return true;
}

bool send_request(Request& request, const core::ByteBuffer& body) {
  if (injected_failure(testing::Call::SendRequest) || aborting) return false;
  std::string url = url_for(request, authority(*request.connection) + request.object_name);
  std::string verb = request.verb;
  const core::ByteBuffer* sent_body = &body;
  for (int hop = 0;; ++hop) {
    std::string next;
    const CURLcode rc = transfer(request, url, verb, sent_body, next);
    request.responded = !request.status_line.empty();
    if (!request.responded) {
      // No response at all: either the request never got through (sending fails) or the server
      // took it and never answered (receiving fails).
      request.sent = request.connected || rc == CURLE_GOT_NOTHING;
      return request.sent;
    }
    request.sent = true;
    request.body_broken = rc != CURLE_OK;
    long status = 0;
    std::sscanf(request.status_line.c_str(), "HTTP/%*s %ld", &status);
    const bool redirect =
        status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
    if (!redirect || !request.follow_redirects || next.empty() || hop >= 10 || request.body_broken)
      return true;
    if (request.secure && next.rfind("https:", 0) != 0) return true;  // never HTTPS to HTTP
    if (next.rfind("https:", 0) == 0) request.secure = true;
    if (status == 303 ? verb != "HEAD" : ((status == 301 || status == 302) && verb == "POST")) {
      verb = "GET";
      sent_body = nullptr;
    }
    url = next;
  }
}

bool receive_response(Request& request) {
  if (injected_failure(testing::Call::ReceiveResponse)) return false;
  return request.sent && request.responded;
}

bool query_data_available(Request& request, std::uint32_t& available) {
  if (injected_failure(testing::Call::QueryDataAvailable)) return false;
  if (!request.chunks.empty())
    available = static_cast<std::uint32_t>(request.chunks.front().size());
  else
    available = request.body_broken ? 1 : 0;  // the read that follows reports the break
  return true;
}

bool read_data(Request& request, std::uint8_t* buffer, std::uint32_t size, std::uint32_t& read) {
  read = 0;
  if (injected_failure(testing::Call::ReadData)) return false;
  if (request.chunks.empty()) {
    if (!request.body_broken) return true;
    request.body_broken = false;
    return false;
  }
  std::string& front = request.chunks.front();
  read = static_cast<std::uint32_t>(std::min<std::size_t>(size, front.size()));
  std::memcpy(buffer, front.data(), read);
  front.erase(0, read);
  if (front.empty()) request.chunks.pop_front();
  return true;
}

bool query_headers(Request& request, std::uint32_t info_level, char16_t* buffer,
                   std::uint32_t& size_bytes) {
  if (injected_failure(testing::Call::QueryHeaders)) return false;
  if (info_level != QUERY_RAW_HEADERS_CRLF || !request.responded) return false;
  std::string raw = request.status_line + "\r\n";
  for (const std::string& line : request.response_lines) raw += line + "\r\n";
  raw += "\r\n";
  // Header bytes are Latin-1 on the wire; anything else (UTF-8 in a value) is taken as UTF-8.
  std::u16string wide = core::utf8_to_utf16(raw);
  const auto needed = static_cast<std::uint32_t>((wide.size() + 1) * sizeof(char16_t));
  if (!buffer || size_bytes < needed) {
    size_bytes = needed;
    return false;
  }
  std::memcpy(buffer, wide.c_str(), needed);
  size_bytes = needed - sizeof(char16_t);
  return true;
}

void abort_all_transfers() {
  aborting = true;
}
void allow_transfers() {
  aborting = false;
}

namespace testing {
void fail_call(Call call, int skip) {
  planned_failures[static_cast<std::size_t>(call)] = skip + 1;
}
void clear_failures() {
  for (auto& left : planned_failures) left = 0;
}
}  // namespace testing

}  // namespace platform::http
