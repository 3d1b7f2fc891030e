#include "history_time.h"

#include <time.h>

#include <cstdio>

namespace {

// Reads exactly `digits` decimal digits at `pos`.
std::optional<int> Digits(std::string_view text, size_t& pos, size_t digits) {
  if (pos + digits > text.size()) return std::nullopt;
  int n = 0;
  for (size_t i = 0; i < digits; ++i) {
    const char c = text[pos + i];
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  pos += digits;
  return n;
}

bool Expect(std::string_view text, size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

// The zone suffix at `pos`: seconds east of UTC, or nothing for local time.
// False when the suffix is malformed.
bool ParseZone(std::string_view text, size_t pos, std::optional<int>* offset) {
  if (pos == text.size()) return true;
  if (text.substr(pos) == "Z" || text.substr(pos) == "z") {
    *offset = 0;
    return true;
  }
  const char sign = text[pos++];
  if (sign != '+' && sign != '-') return false;
  const auto hours = Digits(text, pos, 2);
  if (!hours || *hours > 23) return false;
  int minutes = 0;
  if (pos < text.size()) {
    Expect(text, pos, ':');
    const auto m = Digits(text, pos, 2);
    if (!m || *m > 59 || pos != text.size()) return false;
    minutes = *m;
  }
  *offset = (sign == '-' ? -1 : 1) * (*hours * 3600 + minutes * 60);
  return true;
}

}  // namespace

std::optional<int64_t> ParseHistoryTime(std::string_view text) {
  size_t pos = 0;
  struct tm fields = {};
  const auto year = Digits(text, pos, 4);
  if (!year || !Expect(text, pos, '-')) return std::nullopt;
  const auto month = Digits(text, pos, 2);
  if (!month || !Expect(text, pos, '-')) return std::nullopt;
  const auto day = Digits(text, pos, 2);
  if (!day || *month < 1 || *month > 12 || *day < 1 || *day > 31) return std::nullopt;
  fields.tm_year = *year - 1900;
  fields.tm_mon = *month - 1;
  fields.tm_mday = *day;
  int64_t fraction = 0;
  if (pos < text.size() && (text[pos] == 'T' || text[pos] == 't' || text[pos] == ' ')) {
    ++pos;
    const auto hour = Digits(text, pos, 2);
    if (!hour || *hour > 23 || !Expect(text, pos, ':')) return std::nullopt;
    const auto minute = Digits(text, pos, 2);
    if (!minute || *minute > 59) return std::nullopt;
    fields.tm_hour = *hour;
    fields.tm_min = *minute;
    if (Expect(text, pos, ':')) {
      const auto second = Digits(text, pos, 2);
      if (!second || *second > 60) return std::nullopt;
      fields.tm_sec = *second;
      if (Expect(text, pos, '.') || Expect(text, pos, ',')) {
        int64_t scale = 100000;
        size_t digits = 0;
        for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos, ++digits) {
          fraction += (text[pos] - '0') * scale;
          scale /= 10;
        }
        if (digits == 0 || digits > 6) return std::nullopt;
      }
    }
  }
  std::optional<int> offset;
  if (!ParseZone(text, pos, &offset)) return std::nullopt;
  time_t seconds;
  if (offset) {
    seconds = timegm(&fields) - *offset;
  } else {
    fields.tm_isdst = -1;
    seconds = mktime(&fields);
  }
  return int64_t(seconds) * 1000000 + fraction;
}

std::string FormatHistoryTime(int64_t microseconds) {
  int64_t seconds = microseconds / 1000000;
  int64_t fraction = microseconds % 1000000;
  if (fraction < 0) {
    fraction += 1000000;
    --seconds;
  }
  const time_t t = time_t(seconds);
  struct tm fields;
  gmtime_r(&t, &fields);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%06lldZ", fields.tm_year + 1900,
                fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec,
                static_cast<long long>(fraction));
  return text;
}
