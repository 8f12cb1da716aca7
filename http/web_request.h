#pragma once

#include <cstdint>

#include "core/text.h"

namespace http {

using core::ByteBuffer;
using core::Text;

inline constexpr int DEFAULT_TIMEOUT_MS = 30000;

// One HTTP or HTTPS request, synchronously, on a session, connection and request of its own that
// are closed before it returns. Returns the response body as GBK text (re-decoded when the page
// declares another character set), or "" when the request failed before the body could be
// decoded; `status_text` then holds the numbered failure message ("711 发送请求失败!" ...), and
// otherwise the status code and reason ("200 OK"). Outputs are written only once their step is
// reached, so a call that fails early leaves all but `status_text` as they came in.
//
// `method` indexes GET POST HEAD PUT OPTIONS DELETE TRACE CONNECT (anything else: GET).
// `cookies` is in and out: name=value items sent as a Cookie line, and afterwards (with
// `merge_cookies`) the response's cookies folded over them. `returned_cookies` receives the items
// the response set, after the text it held. `body_data`, when not empty, is sent instead of
// `body_text`. A `timeout_seconds` of 0 or less means 30 seconds. Any thread; balances every
// apartment initialisation it makes.
Text web_request(const Text& url, std::int32_t method = 0, const Text& body_text = {},
                 Text* cookies = nullptr, Text* returned_cookies = nullptr,
                 const Text& extra_headers = {}, Text* response_headers = nullptr,
                 bool no_redirect = false, const Text& user_name = {}, const Text& password = {},
                 const Text& proxy = {}, const Text& proxy_user = {},
                 const Text& proxy_password = {}, std::int32_t timeout_seconds = 0,
                 Text* redirect_location = nullptr, Text* status_text = nullptr,
                 ByteBuffer* body_bytes = nullptr, bool merge_cookies = true,
                 bool add_default_headers = true, const ByteBuffer& body_data = {},
                 bool normalize_header_names = true);

}  // namespace http

namespace http {
// Makes every request under way, and every later one, fail promptly (for ending the program),
// until requests are allowed again.
void abort_all_requests();
void allow_requests();
}  // namespace http
