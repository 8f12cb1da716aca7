// Character-stepping search on arbitrary bytes: a hit lies on a character boundary and matches.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t split = data[0] % (size);
  const std::string_view all(reinterpret_cast<const char*>(data) + 1, size - 1);
  const core::Text hay = core::Text::from_bytes(all.substr(0, split));
  const core::Text needle = core::Text::from_bytes(all.substr(split));
  for (bool fold : {false, true}) {
    const int at = fold ? hay.find_ignore_case(needle) : hay.find(needle);
    if (at < 0) continue;
    // The hit starts a character: walking whole characters from the start reaches it.
    int walk = 1;
    while (walk < at)
      walk += core::gbk_char_width(static_cast<unsigned char>(hay.bytes()[walk - 1]));
    if (walk != at) std::abort();
    if (!fold && hay.mid(at, needle.length()) != needle) std::abort();
  }
  const auto pieces = hay.split(needle.empty() ? core::Text(";") : needle);
  (void)pieces;
  (void)hay.replaced(needle, "x");
  return 0;
}
