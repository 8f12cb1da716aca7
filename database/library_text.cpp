#include "database/library_text.h"

#include <cstring>

#include "core/codepage.h"

namespace database {

ByteBuffer to_utf8(const Text& text) {
  const std::string utf8 = core::gbk_to_utf8(text.view());
  return ByteBuffer(utf8.begin(), utf8.end());
}

ByteBuffer utf8_c_string(const Text& text) {
  ByteBuffer bytes = to_utf8(text);
  bytes.push_back(0);
  return bytes;
}

Text from_utf8(const ByteBuffer& bytes) {
  return core::utf8_to_gbk(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

Text from_library_text(const char* text) {
  if (!text) return {};
  const auto* begin = reinterpret_cast<const std::uint8_t*>(text);
  return from_utf8(ByteBuffer(begin, begin + std::strlen(text)));
}

}  // namespace database
