#include "http/response_cookies.h"

#include "core/codepage.h"

namespace http {
namespace {

bool blank_at(const std::string& bytes, std::size_t at) {
  return bytes[at] == ' ' ||
         (static_cast<unsigned char>(bytes[at]) == 0xA1 && at + 1 < bytes.size() &&
          static_cast<unsigned char>(bytes[at + 1]) == 0xA1);
}

std::size_t char_width(const std::string& bytes, std::size_t at) {
  return static_cast<std::size_t>(core::gbk_char_width(static_cast<unsigned char>(bytes[at])));
}

// Walking whole characters, so a full-width blank is never found across two characters.
Text trim_blanks(const Text& text) {
  const std::string& bytes = text.bytes();
  std::size_t first = bytes.size(), end = 0;
  for (std::size_t at = 0; at < bytes.size(); at += char_width(bytes, at)) {
    if (blank_at(bytes, at)) continue;
    if (first == bytes.size()) first = at;
    end = std::min(bytes.size(), at + char_width(bytes, at));
  }
  return first == bytes.size() ? Text() : Text::from_bytes(bytes.substr(first, end - first));
}

Text remove_blanks(const Text& text) {
  const std::string& bytes = text.bytes();
  std::string kept;
  for (std::size_t at = 0; at < bytes.size(); at += char_width(bytes, at))
    if (!blank_at(bytes, at)) kept += bytes.substr(at, char_width(bytes, at));
  return Text::from_bytes(kept);
}

const Text& quote_marker() {
  static const Text marker = core::gbk(u8"#引号");
  return marker;
}

}  // namespace

void collect_response_cookies(const Text& line, Text& returned_cookies) {
  if (text_before(line, ": ") != Text("Set-Cookie")) return;
  const Text item = line.contains(";") ? text_between(line, "Set-Cookie:", ";")
                                       : line.removed_ignore_case("Set-Cookie:");
  returned_cookies += trim_blanks(item) + "; ";
}

void finish_response_cookies(Text& returned_cookies) {
  if (returned_cookies.ends_with("; ")) returned_cookies = returned_cookies.drop_last(2);
}

Text merge_cookie_text(Text& cookies, Text& returned_cookies) {
  cookies = remove_blanks(cookies);
  returned_cookies = remove_blanks(returned_cookies);
  std::vector<Text> list = returned_cookies.split(";");
  for (const Text& piece : cookies.split(";"))
    if (!has_cookie_named(list, cookie_name(piece))) list.push_back(piece);
  Text result;
  for (const Text& item : list)
    if (!item.ends_with("=deleted")) result += item + "; ";
  result = join_unique(result.drop_last(2), "; ");
  cookies = result;
  return result;
}

Text cookie_name(const Text& item) {
  const int equals = item.find("=");
  return trim_blanks(equals > 0 ? item.left(equals - 1) : item);
}

bool has_cookie_named(const std::vector<Text>& items, const Text& name) {
  for (const Text& item : items)
    if (cookie_name(item) == name) return true;
  return false;
}

Text join_unique(const Text& text, const Text& separator) {
  std::vector<Text> taken;
  Text out;
  for (const Text& piece : text.split(separator)) {
    if (find_member(taken, piece) > 0) continue;
    taken.push_back(piece);
    out += piece + separator;
  }
  return out.drop_last(separator.length());
}

int find_member(const std::vector<Text>& list, const Text& text) {
  for (std::size_t i = 0; i < list.size(); ++i)
    if (list[i] == text) return static_cast<int>(i) + 1;
  return -1;
}

Text text_before(const Text& text, const Text& marker) {
  const int at = text.find(marker);
  return at > 0 ? text.left(at - 1) : Text();
}

Text text_between(const Text& text, const Text& start, const Text& end) {
  const Text open = start.replaced(quote_marker(), "\"");
  const Text close = end.replaced(quote_marker(), "\"");
  const int from = text.find(open);
  if (from < 1) return {};
  const int inner = from + open.length();
  const int to = text.find(close, inner);
  if (to < 1) return {};
  return text.mid(inner, to - inner);
}

}  // namespace http
