// Header assembly and response cookies on arbitrary text: no crash, and merged cookie items are
// blank-free.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "http/request_headers.h"
#include "http/response_cookies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const std::size_t half = size / 2;
  const core::Text first = core::Text::from_bytes(all.substr(0, half));
  const core::Text second = core::Text::from_bytes(all.substr(half));
  const int method = size > 0 ? data[0] % 3 : 0;
  (void)http::build_request_headers(first, method, second, size % 2 == 0, size % 3 == 0);
  (void)http::capitalize_header_names(first);
  (void)http::header_value(first, second.left(8));
  core::Text returned = second;
  for (const core::Text& line : first.split("\r\n")) http::collect_response_cookies(line, returned);
  http::finish_response_cookies(returned);
  core::Text cookies = first;
  const core::Text merged = http::merge_cookie_text(cookies, returned);
  // The items themselves are blank-free. (In bytes that are not GBK, a lone lead byte swallows
  // the separator after it, as every character-stepping search here does.)
  bool ascii = true;
  for (char c : merged.bytes()) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) {
    for (const core::Text& item : merged.split("; "))
      if (item.find(" ") > 0) std::abort();
  }
  (void)http::text_between(first, second.left(3), second.mid(4, 2));
  return 0;
}
