#include "platform/text_stream.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <cctype>

#include "platform/apartment.h"

namespace platform {
namespace {

std::string lower(std::string_view name) {
  std::string out(name);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};

}  // namespace

std::string TextStream::resolve_charset(std::string_view name) {
  const std::string key = lower(name);
  // ICU's own "gb2312" covers GB2312 only and would garble the rest of a GBK page.
  for (const char* gbk : {"gb2312", "gbk", "chinese", "x-gbk", "cp936"})
    if (key == gbk) return "windows-936-2000";
  if (key == "unicode") return "UTF-16LE";
  if (key.empty()) return {};
  UErrorCode status = U_ZERO_ERROR;
  const char* canonical = ucnv_getAlias(key.c_str(), 0, &status);
  if (U_FAILURE(status) || !canonical) return {};
  return canonical;
}

std::unique_ptr<TextStream> TextStream::create() {
  if (apartment_count() == 0) return nullptr;
  return std::unique_ptr<TextStream>(new TextStream());
}

bool TextStream::set_type(int type) {
  if (type != TYPE_BINARY && type != TYPE_TEXT) return false;
  type_ = type;
  return true;
}

bool TextStream::set_mode(int mode) {
  if (open_) return false;
  mode_ = mode;
  return true;
}

bool TextStream::open() {
  if (open_) return false;
  open_ = true;
  bytes_.clear();
  position_ = 0;
  return true;
}

bool TextStream::write(const core::ByteBuffer& bytes) {
  if (!open_ || type_ != TYPE_BINARY) return false;
  bytes_.resize(std::max(bytes_.size(), position_ + bytes.size()));
  std::copy(bytes.begin(), bytes.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(position_));
  position_ += bytes.size();
  return true;
}

bool TextStream::set_position(std::int64_t position) {
  if (!open_ || position < 0 || static_cast<std::size_t>(position) > bytes_.size()) return false;
  position_ = static_cast<std::size_t>(position);
  return true;
}

bool TextStream::set_charset(std::string_view name) {
  std::string resolved = resolve_charset(name);
  if (resolved.empty()) return false;
  converter_ = std::move(resolved);
  return true;
}

std::optional<std::u16string> TextStream::read_text() {
  if (!open_ || type_ != TYPE_TEXT || converter_.empty()) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UConverter, ConverterCloser> converter(ucnv_open(converter_.c_str(), &status));
  if (U_FAILURE(status)) return std::nullopt;
  const char* source = reinterpret_cast<const char*>(bytes_.data()) + position_;
  const auto length = static_cast<int32_t>(bytes_.size() - position_);
  // Any charset yields at most two UTF-16 units per byte.
  std::u16string text(static_cast<std::size_t>(length) * 2 + 2, u'\0');
  const int32_t n = ucnv_toUChars(converter.get(), text.data(), static_cast<int32_t>(text.size()),
                                  source, length, &status);
  if (U_FAILURE(status)) return std::nullopt;
  text.resize(static_cast<std::size_t>(n));
  if (!text.empty() && text.front() == u'\uFEFF') text.erase(0, 1);
  position_ = bytes_.size();
  return text;
}

bool TextStream::close() {
  if (!open_) return false;
  open_ = false;
  bytes_.clear();
  position_ = 0;
  return true;
}

}  // namespace platform
