#include "regex/regex_object.h"

#include "core/codepage.h"
#include "platform/apartment.h"
#include "platform/regexp_engine.h"

namespace regex {

namespace {
const Text& quote_marker_text() {
  static const Text marker = core::gbk(u8"#引号");
  return marker;
}
}  // namespace

RegexObject::RegexObject() {
  platform::co_initialize();
}

RegexObject::~RegexObject() {
  engine.reset();
  matches.reset();
  subject.clear();
  platform::co_uninitialize();
}

bool RegexObject::execute(const Text& pattern, const Text& subject_text, bool case_sensitive,
                          bool multiline, bool global, bool quote_marker) {
  engine.reset();
  matches.reset();
  engine = platform::RegexpEngine::create();
  if (!engine) return false;
  engine->put_flag("IgnoreCase", !case_sensitive);
  engine->put_flag("Multiline", multiline);
  engine->put_flag("Singleline", true);  // the engine has no such property: ignored, as intended
  engine->put_flag("Global", global);
  const Text written = quote_marker ? pattern.replaced(quote_marker_text(), "\"") : pattern;
  engine->put_pattern(core::to_utf16(written));
  subject = core::to_utf16(subject_text);
  std::optional<platform::MatchCollection> found = engine->execute(subject);
  if (!found) return false;
  matches = std::make_unique<platform::MatchCollection>(std::move(*found));
  return true;
}

Text RegexObject::pattern() const {
  return engine ? core::utf16_to_gbk(engine->pattern()) : Text();
}

Text RegexObject::replace(const Text& replacement) {
  if (!engine) return {};
  const std::optional<std::u16string> replaced =
      engine->replace(subject, core::to_utf16(replacement));
  return replaced ? core::utf16_to_gbk(*replaced) : Text();
}

std::int32_t RegexObject::match_count() const {
  return matches ? matches->count() : 0;
}

int RegexObject::byte_offset(int utf16_index) const {
  return core::utf16_to_gbk(std::u16string_view(subject).substr(0, utf16_index)).length();
}

Text RegexObject::match_text(int n, int* position) const {
  if (!matches || n < 1 || n > matches->count()) return {};
  if (position) *position = byte_offset(matches->first_index(n - 1));
  return core::utf16_to_gbk(matches->value(n - 1));
}

Text RegexObject::submatch_text(int n, int g, int* position) const {
  if (!matches || n < 1 || n > matches->count()) return {};
  const std::optional<std::u16string_view> group = matches->submatch(n - 1, g);
  if (!group) return {};
  if (position) *position = byte_offset(matches->submatch_index(n - 1, g));
  return core::utf16_to_gbk(*group);
}

std::int32_t RegexObject::submatch_count() const {
  return matches && matches->count() > 0 ? matches->group_count() : 0;
}

}  // namespace regex
