#pragma once

#include <string>
#include <string_view>

#include "core/text.h"

// The only place that knows the system's code page. GBK here is Windows code page 936 as ICU's
// "windows-936-2000" converter maps it (byte 0x80 is the euro sign, as on Windows). Every routine
// returns the empty value on empty input or on failure; nothing throws.
namespace core {

// GBK to UTF-16. Byte sequences that are not GBK become U+FFFD.
std::u16string gbk_to_utf16(std::string_view gbk);
inline std::u16string to_utf16(const Text& text) {
  return gbk_to_utf16(text.view());
}

// UTF-16 to GBK; a character that code page 936 cannot hold becomes '?'. With `composite_check`
// a base character directly followed by a combining mark becomes the precomposed character where
// one exists (and only that: no other normalisation). The text ends at the first U+0000.
Text utf16_to_gbk(std::u16string_view utf16, bool composite_check = false);

// UTF-8 and UTF-16; malformed input becomes U+FFFD.
std::u16string utf8_to_utf16(std::string_view utf8);
std::string utf16_to_utf8(std::u16string_view utf16);

// GBK and UTF-8, through UTF-16.
std::string gbk_to_utf8(std::string_view gbk);
Text utf8_to_gbk(std::string_view utf8);

// A literal of the system written in UTF-8 source, as GBK Text.
Text gbk(std::u8string_view utf8_literal);

}  // namespace core
