#include "core/text.h"

#include <cstdio>
#include <ostream>

#include "core/codepage.h"

namespace core {
namespace {

unsigned char fold(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

// Compares `needle` with `hay` at byte offset `at`, which starts a character. Single-byte
// characters fold ASCII case when asked; double-byte characters compare whole, so a trail byte is
// never folded.
bool matches_at(std::string_view hay, std::size_t at, std::string_view needle, bool ignore_case) {
  if (at + needle.size() > hay.size()) return false;
  for (std::size_t i = 0; i < needle.size();) {
    const auto h = static_cast<unsigned char>(hay[at + i]);
    const auto n = static_cast<unsigned char>(needle[i]);
    if (n >= 0x80 || h >= 0x80) {
      if (h != n) return false;
      if (i + 1 < needle.size() && hay[at + i + 1] != needle[i + 1]) return false;
      i += 2;
    } else {
      if (ignore_case ? fold(h) != fold(n) : h != n) return false;
      ++i;
    }
  }
  return true;
}

int find_from(std::string_view hay, std::string_view needle, int start, bool ignore_case) {
  if (needle.empty() || start < 1) return -1;
  std::size_t at = 0;
  // Walk whole characters up to the start position so that it too lies on a character boundary.
  while (at < hay.size() && at + 1 < static_cast<std::size_t>(start))
    at += gbk_char_width(static_cast<unsigned char>(hay[at]));
  for (; at + needle.size() <= hay.size();
       at += gbk_char_width(static_cast<unsigned char>(hay[at])))
    if (matches_at(hay, at, needle, ignore_case)) return static_cast<int>(at) + 1;
  return -1;
}

}  // namespace

Text Text::from_bytes(std::string_view bytes) {
  return Text(std::string(bytes.substr(0, bytes.find('\0'))));
}

Text Text::from_bytes(const ByteBuffer& bytes) {
  return from_bytes(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool Text::is_ascii(std::string_view bytes) {
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

Text Text::left(int n) const {
  if (n <= 0) return {};
  return Text(bytes_.substr(0, static_cast<std::size_t>(n)));
}

Text Text::mid(int start, int count) const {
  if (start < 1 || start > length()) return {};
  const auto from = static_cast<std::size_t>(start - 1);
  return Text(count < 0 ? bytes_.substr(from)
                        : bytes_.substr(from, static_cast<std::size_t>(count)));
}

Text Text::drop_last(int n) const {
  return left(length() - n);
}

int Text::find(const Text& needle, int start) const {
  return find_from(bytes_, needle.bytes_, start, false);
}

int Text::find_ignore_case(const Text& needle, int start) const {
  return find_from(bytes_, needle.bytes_, start, true);
}

bool Text::equals_ignore_case(const Text& other) const {
  return length() == other.length() && matches_at(bytes_, 0, other.bytes_, true);
}

Text Text::replaced(const Text& from, const Text& to) const {
  if (from.empty()) return *this;
  std::string out;
  int pos = 1;
  for (int hit; (hit = find(from, pos)) > 0; pos = hit + from.length()) {
    out.append(bytes_, pos - 1, hit - pos);
    out += to.bytes_;
  }
  out.append(bytes_, pos - 1);
  return Text(std::move(out));
}

Text Text::removed_ignore_case(const Text& from) const {
  if (from.empty()) return *this;
  std::string out;
  int pos = 1;
  for (int hit; (hit = find_ignore_case(from, pos)) > 0; pos = hit + from.length())
    out.append(bytes_, pos - 1, hit - pos);
  out.append(bytes_, pos - 1);
  return Text(std::move(out));
}

std::vector<Text> Text::split(const Text& separator) const {
  std::vector<Text> pieces;
  if (empty()) return pieces;
  int pos = 1;
  for (int hit; (hit = find(separator, pos)) > 0; pos = hit + separator.length())
    pieces.push_back(Text(bytes_.substr(pos - 1, hit - pos)));
  if (pos <= length()) pieces.push_back(Text(bytes_.substr(pos - 1)));
  return pieces;
}

Text Text::number(long long value) {
  return Text(std::to_string(value));
}

Text Text::number(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.13g", value);
  return Text(std::string(buffer));
}

std::ostream& operator<<(std::ostream& out, const Text& text) {
  return out << gbk_to_utf8(text.view());
}

void PrintTo(const Text& text, std::ostream* out) {
  *out << '"' << text << '"';
}

}  // namespace core
