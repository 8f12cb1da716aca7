#pragma once

#include "core/text.h"

// Text at the database library's boundary: the system's GBK Text on one side, the library's UTF-8
// on the other. Empty input or a failed conversion gives the empty value.
namespace database {

using core::ByteBuffer;
using core::Text;

// UTF-8 form of `text`, without a terminating zero.
ByteBuffer to_utf8(const Text& text);
// to_utf8 followed by one zero byte: what the library's functions take as a string.
ByteBuffer utf8_c_string(const Text& text);
// GBK form of UTF-8 `bytes`; UTF-8 holding a zero byte yields the text before it.
Text from_utf8(const ByteBuffer& bytes);
// GBK form of a zero-terminated UTF-8 string the library owns; "" for a null pointer.
Text from_library_text(const char* text);

}  // namespace database
