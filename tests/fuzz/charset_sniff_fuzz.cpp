// Response decoding of arbitrary bodies: the charset sniffing pattern, the stream's re-decoding
// and the code-page conversions must take anything.
#include <cstddef>
#include <cstdint>

#include "http/response_decoding.h"
#include "regex/regex_object.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Give the sniffing pattern something to find now and then.
  core::ByteBuffer body(reinterpret_cast<const std::uint8_t*>("<meta charset="),
                        reinterpret_cast<const std::uint8_t*>("<meta charset=") + 14);
  body.insert(body.end(), data, data + size);
  regex::RegexObject regex;
  (void)http::decode_response_text(body, regex);
  (void)http::decode_response_text(core::ByteBuffer(data, data + size), regex);
  return 0;
}
