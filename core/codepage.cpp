#include "core/codepage.h"

#include <unicode/normalizer2.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <memory>

namespace core {
namespace {

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// ICU converters are not thread-safe; each thread keeps its own, opened on first use.
UConverter* gbk_converter() {
  thread_local Converter converter = [] {
    UErrorCode status = U_ZERO_ERROR;
    Converter opened(ucnv_open("windows-936-2000", &status));
    if (U_FAILURE(status)) return Converter();
    ucnv_setSubstChars(opened.get(), "?", 1, &status);
    return opened;
  }();
  return converter.get();
}

// Folds a combining mark into the base character before it wherever a precomposed character
// exists, as the Windows composite check does. Full NFC is deliberately not used: it would also
// rewrite compatibility ideographs and reorder marks.
std::u16string compose_adjacent_pairs(std::u16string_view in) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
  if (U_FAILURE(status)) return std::u16string(in);
  std::u16string out;
  out.reserve(in.size());
  UChar32 base = -1;  // the last code point written, when it may still take a mark
  std::size_t base_at = 0;
  for (std::size_t i = 0; i < in.size();) {
    UChar32 c;
    U16_NEXT(in.data(), i, in.size(), c);
    if (base >= 0 && nfc->getCombiningClass(c) != 0) {
      const UChar32 composed = nfc->composePair(base, c);
      if (composed >= 0) {
        out.resize(base_at);
        base = composed;
        if (U_IS_BMP(composed)) {
          out.push_back(static_cast<char16_t>(composed));
        } else {
          out.push_back(U16_LEAD(composed));
          out.push_back(U16_TRAIL(composed));
        }
        continue;
      }
    }
    base = c;
    base_at = out.size();
    if (U_IS_BMP(c)) {
      out.push_back(static_cast<char16_t>(c));
    } else {
      out.push_back(U16_LEAD(c));
      out.push_back(U16_TRAIL(c));
    }
  }
  return out;
}

}  // namespace

std::u16string gbk_to_utf16(std::string_view gbk) {
  UConverter* converter = gbk_converter();
  if (gbk.empty() || !converter) return {};
  ucnv_resetToUnicode(converter);
  // A GBK character is at least one byte and yields at most one UTF-16 unit.
  std::u16string out(gbk.size(), u'\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t n = ucnv_toUChars(converter, out.data(), static_cast<int32_t>(out.size()),
                                  gbk.data(), static_cast<int32_t>(gbk.size()), &status);
  if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING) return {};
  out.resize(static_cast<std::size_t>(n));
  return out;
}

Text utf16_to_gbk(std::u16string_view utf16, bool composite_check) {
  utf16 = utf16.substr(0, utf16.find(u'\0'));
  UConverter* converter = gbk_converter();
  if (utf16.empty() || !converter) return {};
  std::u16string composed;
  if (composite_check) {
    composed = compose_adjacent_pairs(utf16);
    utf16 = composed;
  }
  ucnv_resetFromUnicode(converter);
  std::string out(utf16.size() * 2 + 1, '\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t n = ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()),
                                    utf16.data(), static_cast<int32_t>(utf16.size()), &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<std::size_t>(n));
  return Text::from_bytes(out);
}

std::u16string utf8_to_utf16(std::string_view utf8) {
  if (utf8.empty()) return {};
  std::u16string out(utf8.size(), u'\0');
  int32_t n = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &n, utf8.data(),
                       static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr, &status);
  if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING) return {};
  out.resize(static_cast<std::size_t>(n));
  return out;
}

std::string utf16_to_utf8(std::u16string_view utf16) {
  if (utf16.empty()) return {};
  std::string out(utf16.size() * 3, '\0');
  int32_t n = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &n, utf16.data(),
                     static_cast<int32_t>(utf16.size()), 0xFFFD, nullptr, &status);
  if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING) return {};
  out.resize(static_cast<std::size_t>(n));
  return out;
}

std::string gbk_to_utf8(std::string_view gbk) {
  return utf16_to_utf8(gbk_to_utf16(gbk));
}

Text utf8_to_gbk(std::string_view utf8) {
  return utf16_to_gbk(utf8_to_utf16(utf8));
}

Text gbk(std::u8string_view utf8_literal) {
  return utf8_to_gbk(
      std::string_view(reinterpret_cast<const char*>(utf8_literal.data()), utf8_literal.size()));
}

}  // namespace core
