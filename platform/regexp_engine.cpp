#include "platform/regexp_engine.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include "platform/apartment.h"

namespace platform {
namespace {

struct CodeFree {
  void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct MatchDataFree {
  void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
struct CompileContextFree {
  void operator()(pcre2_compile_context* context) const { pcre2_compile_context_free(context); }
};
struct MatchContextFree {
  void operator()(pcre2_match_context* context) const { pcre2_match_context_free(context); }
};
struct JitStackFree {
  void operator()(pcre2_jit_stack* stack) const { pcre2_jit_stack_free(stack); }
};

// The JIT runs on a stack of its own from the heap, so a deep match never touches a worker's
// (small) thread stack. One per thread, grown on demand up to 4 MiB.
pcre2_match_context* thread_match_context() {
  thread_local std::unique_ptr<pcre2_jit_stack, JitStackFree> stack(
      pcre2_jit_stack_create(32 * 1024, 4 * 1024 * 1024, nullptr));
  thread_local std::unique_ptr<pcre2_match_context, MatchContextFree> context = [] {
    std::unique_ptr<pcre2_match_context, MatchContextFree> made(
        pcre2_match_context_create(nullptr));
    if (made && stack) pcre2_jit_stack_assign(made.get(), nullptr, stack.get());
    return made;
  }();
  return context.get();
}

PCRE2_SPTR16 units(std::u16string_view text) {
  return reinterpret_cast<PCRE2_SPTR16>(text.data());
}

bool is_lead_surrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool is_trail_surrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

}  // namespace

struct RegexpEngine::Compiled {
  std::unique_ptr<pcre2_code, CodeFree> code;
  std::unique_ptr<pcre2_match_data, MatchDataFree> match_data;
  int group_count = 0;
};

std::optional<std::u16string_view> MatchCollection::span(int i, int g) const {
  const std::size_t start = offset(i, g);
  const std::size_t end = offsets_[i * slots() + 2 * g + 1];
  if (start == PCRE2_UNSET) return std::nullopt;
  return std::u16string_view(subject_).substr(start, end - start);
}

std::optional<std::u16string_view> MatchCollection::submatch(int i, int g) const {
  if (i < 0 || i >= count() || g < 1 || g > group_count_) return std::nullopt;
  return span(i, g);
}

std::unique_ptr<RegexpEngine> RegexpEngine::create() {
  if (apartment_count() == 0) return nullptr;
  return std::unique_ptr<RegexpEngine>(new RegexpEngine());
}

RegexpEngine::~RegexpEngine() = default;

bool RegexpEngine::put_flag(std::string_view property, bool value) {
  bool* flag = property == "IgnoreCase"  ? &ignore_case_
               : property == "Multiline" ? &multiline_
               : property == "Global"    ? &global_
                                         : nullptr;
  if (!flag) return false;
  *flag = value;
  compiled_.reset();
  return true;
}

void RegexpEngine::put_pattern(std::u16string pattern) {
  pattern_ = std::move(pattern);
  compiled_.reset();
}

bool RegexpEngine::compile() {
  if (compiled_) return true;
  std::unique_ptr<pcre2_compile_context, CompileContextFree> context(
      pcre2_compile_context_create(nullptr));
  if (!context) return false;
  pcre2_set_newline(context.get(), PCRE2_NEWLINE_LF);
  std::uint32_t options = PCRE2_UTF | PCRE2_ALT_BSUX | PCRE2_MATCH_UNSET_BACKREF;
  if (ignore_case_) options |= PCRE2_CASELESS;
  options |= multiline_ ? PCRE2_MULTILINE : PCRE2_DOLLAR_ENDONLY;
  int error = 0;
  PCRE2_SIZE error_offset = 0;
  auto made = std::make_unique<Compiled>();
  made->code.reset(pcre2_compile(units(pattern_), pattern_.size(), options, &error, &error_offset,
                                 context.get()));
  if (!made->code) return false;
  pcre2_jit_compile(made->code.get(), PCRE2_JIT_COMPLETE);  // falls back to the interpreter
  std::uint32_t captures = 0;
  pcre2_pattern_info(made->code.get(), PCRE2_INFO_CAPTURECOUNT, &captures);
  made->group_count = static_cast<int>(captures);
  made->match_data.reset(pcre2_match_data_create_from_pattern(made->code.get(), nullptr));
  if (!made->match_data) return false;
  compiled_ = std::move(made);
  return true;
}

std::optional<MatchCollection> RegexpEngine::execute(std::u16string_view subject) {
  if (!compile()) return std::nullopt;
  MatchCollection matches(std::u16string(subject), compiled_->group_count);
  const std::u16string& text = matches.subject();
  pcre2_match_data* data = compiled_->match_data.get();
  std::size_t start = 0;
  while (start <= text.size()) {
    const int rc = pcre2_match(compiled_->code.get(), units(text), text.size(), start,
                               PCRE2_NO_UTF_CHECK, data, thread_match_context());
    if (rc < 0) break;  // no match, or a matching error: the collection ends here
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data);
    matches.add(ovector);
    if (!global_) break;
    start = ovector[1];
    if (ovector[1] == ovector[0]) {  // an empty match: step one whole character
      start += (start + 1 < text.size() && is_lead_surrogate(text[start]) &&
                is_trail_surrogate(text[start + 1]))
                   ? 2
                   : 1;
    }
  }
  return matches;
}

std::optional<std::u16string> RegexpEngine::replace(std::u16string_view subject,
                                                    std::u16string_view replacement) {
  std::optional<MatchCollection> matches = execute(subject);
  if (!matches) return std::nullopt;
  std::u16string out;
  std::size_t copied = 0;
  const int groups = matches->group_count();
  for (int i = 0; i < matches->count(); ++i) {
    const std::size_t at = static_cast<std::size_t>(matches->first_index(i));
    const std::u16string_view whole = matches->value(i);
    out.append(subject.substr(copied, at - copied));
    for (std::size_t k = 0; k < replacement.size(); ++k) {
      const char16_t c = replacement[k];
      const char16_t next = k + 1 < replacement.size() ? replacement[k + 1] : u'\0';
      if (c != u'$' || next == u'\0') {
        out.push_back(c);
        continue;
      }
      if (next == u'$') {
        out.push_back(u'$');
      } else if (next == u'&') {
        out.append(whole);
      } else if (next == u'`') {
        out.append(subject.substr(0, at));
      } else if (next == u'\'') {
        out.append(subject.substr(at + whole.size()));
      } else if (next >= u'0' && next <= u'9') {
        int number = next - u'0';
        std::size_t used = 1;
        const char16_t third = k + 2 < replacement.size() ? replacement[k + 2] : u'\0';
        if (third >= u'0' && third <= u'9' && number * 10 + (third - u'0') <= groups &&
            number * 10 + (third - u'0') >= 1) {
          number = number * 10 + (third - u'0');
          used = 2;
        }
        if (number < 1 || number > groups) {
          out.push_back(c);  // not a group: the text stays as written
          continue;
        }
        if (auto group = matches->submatch(i, number)) out.append(*group);
        k += used;
        continue;
      } else {
        out.push_back(c);
        continue;
      }
      ++k;
    }
    copied = at + whole.size();
  }
  out.append(subject.substr(copied));
  return out;
}

}  // namespace platform
