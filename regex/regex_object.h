#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/text.h"

namespace platform {
class RegexpEngine;
class MatchCollection;
}  // namespace platform

namespace regex {

using core::Text;

// One regular expression run once over one subject, with 1-based access to its matches and their
// groups. Constructing one initialises the calling thread's apartment and destroying it undoes
// that once, so other automation objects on the thread may be made while it lives. It belongs to
// the thread that made it. No operation fails loudly: a failure reads as no match ("" or 0).
class RegexObject {
 public:
  RegexObject();
  ~RegexObject();
  RegexObject(const RegexObject&) = delete;
  RegexObject& operator=(const RegexObject&) = delete;

  // Runs `pattern` over `subject` with a fresh engine. With `quote_marker` every "#引号" in the
  // pattern stands for a double quote. True when the engine produced a match collection (also an
  // empty one); false when the pattern does not compile or no engine could be made.
  bool execute(const Text& pattern, const Text& subject, bool case_sensitive = false,
               bool multiline = true, bool global = true, bool quote_marker = false);
  // The pattern the engine holds (after the quote-marker substitution); "" before execute.
  Text pattern() const;
  // The last subject with its matches replaced ($1, $&, ... understood); "" without an engine.
  Text replace(const Text& replacement);
  // Matches of the last execute; 0 when there are none or it failed.
  std::int32_t match_count() const;
  // Match n (1-based); "" when there is no such match. `position` receives the 0-based byte
  // offset of the returned text in the subject.
  Text match_text(int n, int* position = nullptr) const;
  // Group g (1-based) of match n; "" when there is no such match or group or the group took no
  // part.
  Text submatch_text(int n, int g, int* position = nullptr) const;
  // Groups in the first match; 0 when there is no match.
  std::int32_t submatch_count() const;

 private:
  int byte_offset(int utf16_index) const;

  std::unique_ptr<platform::RegexpEngine> engine;
  std::unique_ptr<platform::MatchCollection> matches;
  std::u16string subject;
};

}  // namespace regex
