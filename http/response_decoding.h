#pragma once

#include "core/text.h"

namespace regex {
class RegexObject;
}

namespace http {

// The body as GBK text: its bytes up to the first zero byte, re-decoded from the character set a
// meta tag declares in the first 1024 bytes unless that is "gbk" or "gb2312" (exactly). Reports no
// failure: without a declaration, or when the declared set cannot be decoded, the raw text comes
// back. `regex` is the caller's object; it runs the declaration pattern.
core::Text decode_response_text(const core::ByteBuffer& body, regex::RegexObject& regex);

}  // namespace http
