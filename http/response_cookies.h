#pragma once

#include <vector>

#include "core/text.h"

// Response cookies as plain text: name=value items joined by "; ", attributes dropped. Blanks are
// the ASCII blank and the GBK full-width blank (A1 A1); tabs are not blanks.
namespace http {

using core::Text;

// Appends the cookie item of a "Set-Cookie: " header line, and "; ", to `returned_cookies`.
void collect_response_cookies(const Text& line, Text& returned_cookies);
// Removes the "; " that collecting leaves at the end.
void finish_response_cookies(Text& returned_cookies);
// Folds `returned_cookies` over `cookies` by name: new items first, then surviving old ones, none
// whose value is "deleted", no blanks, exact duplicates removed. Both variables are rewritten
// blank-free and `cookies` receives the result, which is returned.
Text merge_cookie_text(Text& cookies, Text& returned_cookies);
// The text before the item's first "=" (all of it without one), blanks trimmed.
Text cookie_name(const Text& item);
bool has_cookie_named(const std::vector<Text>& items, const Text& name);
// `text` split at `separator`, exact duplicate pieces dropped (first kept), joined again.
Text join_unique(const Text& text, const Text& separator);
// 1-based position of the first member equal to `text`; -1 when none.
int find_member(const std::vector<Text>& list, const Text& text);
// The text before the first `marker`; "" when it does not occur.
Text text_before(const Text& text, const Text& marker);
// The text between the first `start` and the first `end` after it; "" when either is missing.
// "#引号" in a marker stands for a double quote.
Text text_between(const Text& text, const Text& start, const Text& end);

}  // namespace http
