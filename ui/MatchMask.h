#pragma once

#include <string_view>

// The filter's wildcard matcher. "*" matches any run of characters and jumps to the
// first occurrence of the literal segment after it; "?" matches one character, or
// nothing at the end of the text. Comparisons are exact: callers fold letter case.

// Matches `text` against `pattern`.
bool MatchPattern(std::string_view pattern, std::string_view text);

// Splits `pattern` at its first "." into a name pattern and an extension pattern and
// divides `name` at the same position; both halves must match. A pattern without "."
// is matched against the whole name.
bool MatchMask(std::string_view pattern, std::string_view name);
