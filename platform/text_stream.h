#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/text.h"

namespace platform {

// A stream automation object as far as re-decoding a body needs it: written as raw bytes, read
// back as text in a named character set. Charset names resolve through our alias table first
// (gb2312, gbk, chinese, x-gbk and cp936 mean Windows code page 936, which holds all of GBK;
// "unicode" means UTF-16LE), then through ICU's own names and aliases (utf-8, big5, shift_jis,
// windows-1252, iso-8859-1, ...).
class TextStream {
 public:
  static constexpr int TYPE_BINARY = 1;
  static constexpr int TYPE_TEXT = 2;
  static constexpr int MODE_READ_WRITE = 3;

  // A new stream; null when the calling thread's apartment is not initialised.
  static std::unique_ptr<TextStream> create();
  TextStream(const TextStream&) = delete;
  TextStream& operator=(const TextStream&) = delete;

  bool set_type(int type);
  bool set_mode(int mode);
  bool open();
  // Appends raw bytes at the position (binary type, open stream).
  bool write(const core::ByteBuffer& bytes);
  bool set_position(std::int64_t position);
  // False for a name neither our table nor ICU knows; the charset is then unchanged.
  bool set_charset(std::string_view name);
  // The bytes from the position to the end decoded in the charset (a leading byte-order mark
  // dropped); nullopt unless the stream is open, of text type and has a charset.
  std::optional<std::u16string> read_text();
  bool close();

  // The ICU converter name a charset name resolves to; "" when unknown.
  static std::string resolve_charset(std::string_view name);

 private:
  TextStream() = default;
  int type_ = TYPE_BINARY;
  int mode_ = 0;
  bool open_ = false;
  core::ByteBuffer bytes_;
  std::size_t position_ = 0;
  std::string converter_;  // resolved charset; "" until set
};

}  // namespace platform
