#pragma once

#include <cstdint>

#include "core/text.h"

// Request header blocks: lines separated by CR LF, in GBK.
namespace http {

using core::Text;

// The block a request is given: the caller's lines, the default lines they lack (with
// `add_default_headers`; Content-Type only for method 1, POST), names with capital initials
// (with `normalize_header_names`), an explicit "Connection: keep-alive" line dropped, and the
// Cookie line made from `cookies` unless the block already has one.
Text build_request_headers(const Text& extra_headers, std::int32_t method, const Text& cookies,
                           bool add_default_headers, bool normalize_header_names);
// Every line's name with the first letter of each dash-separated part upper-cased; lines without
// a colon are dropped; no final CR LF.
Text capitalize_header_names(const Text& block);
// `text` with its first character upper-cased when it is an ASCII lower-case letter.
Text capitalize_first(const Text& text);
// The value after the last "name: " in the first line that begins with `name`; "" when none.
Text header_value(const Text& block, const Text& name);

}  // namespace http
