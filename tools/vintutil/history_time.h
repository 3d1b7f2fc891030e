// Times of the change history on the command line: ISO 8601 in, UTC out,
// to the microsecond.
#ifndef VINTUTIL_CLI_HISTORY_TIME_H
#define VINTUTIL_CLI_HISTORY_TIME_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Microseconds since 1970-01-01 UTC for "YYYY-MM-DD" (midnight) or
// "YYYY-MM-DDTHH:MM[:SS[.ffffff]]" ('T' or a space), followed by 'Z' (UTC),
// by an offset "+HH:MM" / "-HH:MM" / "+HHMM" / "+HH", or by nothing (local
// time). Nothing when the text is not such a time.
std::optional<int64_t> ParseHistoryTime(std::string_view text);

// "YYYY-MM-DDTHH:MM:SS.ffffffZ".
std::string FormatHistoryTime(int64_t microseconds);

#endif
