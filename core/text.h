#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace core {

// A counted byte array. An empty buffer and an absent one are treated alike.
using ByteBuffer = std::vector<std::uint8_t>;

// Text in the GBK code page (Windows code page 936): the system's one text type. Absent and empty
// are the same. Positions and lengths count bytes, the first byte at position 1; a byte of 0x80 or
// above starts a two-byte character, and searches step whole characters so they never match
// inside one. Like a C string it holds no zero byte: construction stops at the first one.
//
// Literals: a plain ASCII literal reads the same in GBK and may be written directly ("GET");
// every literal with other characters is written in UTF-8 and converted once with gbk(), from
// core/codepage.h, usually into a static constant.
class Text {
 public:
  Text() = default;
  // An ASCII literal. Anything else must be converted with gbk() or taken with from_bytes().
  template <std::size_t N>
  Text(const char (&literal)[N]) : bytes_(literal) {  // NOLINT: implicit by design
    assert(is_ascii(bytes_) && "non-ASCII literal: write it in UTF-8 and convert with gbk()");
  }
  // Bytes that already are GBK, up to the first zero byte.
  static Text from_bytes(std::string_view bytes);
  static Text from_bytes(const ByteBuffer& bytes);

  const std::string& bytes() const { return bytes_; }
  const char* c_str() const { return bytes_.c_str(); }
  std::string_view view() const { return bytes_; }
  ByteBuffer to_buffer() const { return ByteBuffer(bytes_.begin(), bytes_.end()); }

  int length() const { return static_cast<int>(bytes_.size()); }
  bool empty() const { return bytes_.empty(); }

  // The first n bytes (all when n exceeds the length; none when n <= 0).
  Text left(int n) const;
  // From 1-based byte position `start` to the end, or `count` bytes of it.
  Text mid(int start, int count = -1) const;
  // Without the last n bytes.
  Text drop_last(int n) const;

  // 1-based byte position of the first occurrence of `needle` at or after `start`, stepping one
  // GBK character at a time; -1 when absent or when `needle` is empty.
  int find(const Text& needle, int start = 1) const;
  // As find, folding ASCII letters only; double-byte characters compare whole.
  int find_ignore_case(const Text& needle, int start = 1) const;
  bool contains(const Text& needle) const { return find(needle) > 0; }
  bool contains_ignore_case(const Text& needle) const { return find_ignore_case(needle) > 0; }
  bool starts_with(const Text& prefix) const { return view().starts_with(prefix.view()); }
  bool ends_with(const Text& suffix) const { return view().ends_with(suffix.view()); }
  bool equals_ignore_case(const Text& other) const;

  // Every occurrence of `from`, found left to right by character, replaced by `to`.
  Text replaced(const Text& from, const Text& to) const;
  // Every occurrence of `from` removed, compared without regard to ASCII letter case.
  Text removed_ignore_case(const Text& from) const;
  // The pieces between separators: an empty piece between adjacent separators counts, a separator
  // at the very end makes no empty last piece, and an empty text gives no pieces.
  std::vector<Text> split(const Text& separator) const;

  Text& operator+=(const Text& tail) {
    bytes_ += tail.bytes_;
    return *this;
  }
  friend Text operator+(Text head, const Text& tail) { return head += tail; }
  friend bool operator==(const Text&, const Text&) = default;

  // Decimal text: integers plainly; floating values in the shortest form with at most 13
  // significant digits (2.0 gives "2", 0.1 gives "0.1").
  static Text number(int value) { return number(static_cast<long long>(value)); }
  static Text number(long long value);
  static Text number(double value);

 private:
  static bool is_ascii(std::string_view bytes);
  explicit Text(std::string bytes) : bytes_(std::move(bytes)) {}
  std::string bytes_;
};

// Writes the text as UTF-8 (for diagnostics and test failure messages).
std::ostream& operator<<(std::ostream& out, const Text& text);
void PrintTo(const Text& text, std::ostream* out);

// Width in bytes of the GBK character that starts with `lead`.
inline int gbk_char_width(unsigned char lead) {
  return lead >= 0x80 ? 2 : 1;
}

}  // namespace core
