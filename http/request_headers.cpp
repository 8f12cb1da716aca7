#include "http/request_headers.h"

#include <vector>

namespace http {
namespace {

const Text kCrLf = "\r\n";

struct DefaultHeader {
  Text probe;  // searched anywhere in the block, ignoring ASCII case
  Text line;
  bool post_only;
};

const std::vector<DefaultHeader>& default_headers() {
  static const std::vector<DefaultHeader> rows = {
      {"User-Agent: ",
       "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)", false},
      {"Accept: ", "Accept: text/html, application/xhtml+xml, */*", false},
      {"Accept-Encoding: ", "Accept-Encoding: gbk, GB2312", false},
      {"Accept-Language: ", "Accept-Language: zh-cn", false},
      {"Content-Type:", "Content-Type: application/x-www-form-urlencoded", true},
      {"Cache-Control: ", "Cache-Control: no-cache", false},
  };
  return rows;
}

// Every piece between separators, the empty last one included, so that joining restores the text.
std::vector<Text> split_keeping_all(const Text& text, const Text& separator) {
  std::vector<Text> pieces;
  int pos = 1;
  for (int hit; (hit = text.find(separator, pos)) > 0; pos = hit + separator.length())
    pieces.push_back(text.mid(pos, hit - pos));
  pieces.push_back(text.mid(pos));
  return pieces;
}

constexpr std::int32_t METHOD_POST = 1;

}  // namespace

Text build_request_headers(const Text& extra_headers, std::int32_t method, const Text& cookies,
                           bool add_default_headers, bool normalize_header_names) {
  Text block = extra_headers.empty() ? Text() : extra_headers + kCrLf;
  if (add_default_headers) {
    for (const DefaultHeader& row : default_headers()) {
      if (row.post_only && method != METHOD_POST) continue;
      if (!block.contains_ignore_case(row.probe)) block += row.line + kCrLf;
    }
  }
  if (normalize_header_names) block = capitalize_header_names(block);
  if (block.contains("Connection") && header_value(block, "Connection") == Text("keep-alive"))
    block = block.replaced(Text("Connection: keep-alive") + kCrLf, "");
  if (!block.contains_ignore_case("Cookie:") && !cookies.empty()) {
    if (cookies.contains_ignore_case("Cookie:"))
      block += kCrLf + cookies + kCrLf;
    else
      block += kCrLf + "Cookie: " + cookies + kCrLf;
  }
  return block;
}

Text capitalize_header_names(const Text& block) {
  Text out;
  for (const Text& piece : block.split(kCrLf)) {
    const int colon = piece.find(":");
    if (colon < 1) continue;
    const Text name = piece.left(colon - 1);
    Text renamed;
    if (name.contains("-")) {
      const std::vector<Text> parts = split_keeping_all(name, "-");
      for (std::size_t i = 0; i < parts.size(); ++i)
        renamed += (i ? Text("-") : Text()) + capitalize_first(parts[i]);
    } else {
      renamed = capitalize_first(name);
    }
    out += renamed + piece.mid(colon) + kCrLf;
  }
  return out.drop_last(kCrLf.length());
}

Text capitalize_first(const Text& text) {
  if (text.empty()) return text;
  const char first = text.bytes()[0];
  if (first < 'a' || first > 'z') return text;
  return Text::from_bytes(std::string(1, static_cast<char>(first - 'a' + 'A'))) + text.mid(2);
}

Text header_value(const Text& block, const Text& name) {
  const Text probe = name + ": ";
  for (const Text& piece : block.split(kCrLf)) {
    if (!piece.starts_with(name)) continue;
    int last = -1;
    for (int hit = piece.find(probe); hit > 0; hit = piece.find(probe, hit + 1)) last = hit;
    return last > 0 ? piece.mid(last + probe.length()) : Text();
  }
  return {};
}

}  // namespace http
