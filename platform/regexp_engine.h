#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The matches of one Execute: every match's offsets into a copy of the subject, all in UTF-16
// code units. Group g of match i is absent when it took no part.
class MatchCollection {
 public:
  MatchCollection(std::u16string subject, int group_count)
      : subject_(std::move(subject)), group_count_(group_count) {}

  int count() const { return static_cast<int>(offsets_.size() / slots()); }
  int group_count() const { return group_count_; }
  // 0-based index of match i in the subject ("FirstIndex").
  int first_index(int i) const { return static_cast<int>(offset(i, 0)); }
  std::u16string_view value(int i) const { return span(i, 0).value(); }
  // Group g (1-based) of match i; nullopt when the group took no part or does not exist.
  std::optional<std::u16string_view> submatch(int i, int g) const;
  // 0-based start of group g of match i (only meaningful when submatch() has a value).
  int submatch_index(int i, int g) const { return static_cast<int>(offset(i, g)); }
  const std::u16string& subject() const { return subject_; }

  void add(const std::size_t* ovector) {
    offsets_.insert(offsets_.end(), ovector, ovector + slots());
  }

 private:
  std::size_t slots() const { return 2 * static_cast<std::size_t>(group_count_ + 1); }
  std::size_t offset(int i, int g) const { return offsets_[i * slots() + 2 * g]; }
  std::optional<std::u16string_view> span(int i, int g) const;

  std::u16string subject_;
  int group_count_;
  std::vector<std::size_t> offsets_;
};

// A regular-expression engine with the properties and calls of an ECMAScript-style automation
// object: IgnoreCase, Multiline, Global and Pattern; Execute and Replace. It matches characters
// (UTF-16), over PCRE2:
// - `.` matches anything but a line feed; \w \d \s \b are ASCII-only; \uXXXX and \xHH escapes work;
//   a back-reference to a group that took no part matches empty;
// - without Multiline `$` matches only at the very end;
// - Global collects every non-overlapping match; after an empty match the scan resumes one
//   character further.
class RegexpEngine {
 public:
  // A new engine; null when the calling thread's apartment is not initialised.
  static std::unique_ptr<RegexpEngine> create();
  ~RegexpEngine();
  RegexpEngine(const RegexpEngine&) = delete;
  RegexpEngine& operator=(const RegexpEngine&) = delete;

  // Writes a boolean property: "IgnoreCase", "Multiline" or "Global". False for any other name
  // (this engine has no "Singleline", for instance).
  bool put_flag(std::string_view property, bool value);
  void put_pattern(std::u16string pattern);
  const std::u16string& pattern() const { return pattern_; }
  bool ignore_case() const { return ignore_case_; }

  // The matches of the pattern in `subject`; nullopt when the pattern does not compile.
  std::optional<MatchCollection> execute(std::u16string_view subject);
  // `subject` with its matches (all of them with Global, else the first) replaced; the
  // replacement understands $1..$99, $&, $`, $' and $$. nullopt when the pattern does not compile.
  std::optional<std::u16string> replace(std::u16string_view subject,
                                        std::u16string_view replacement);

 private:
  RegexpEngine() = default;
  bool compile();

  struct Compiled;
  std::u16string pattern_;
  bool ignore_case_ = false;
  bool multiline_ = false;
  bool global_ = false;
  std::unique_ptr<Compiled> compiled_;  // for the current pattern and flags; null until needed
};

}  // namespace platform
