// GetLocaleInfoA and SetLocaleInfoA for the date and time settings of the
// current user.
//
// Each setting is taken, at every call, from the user's override under
// HKEY_CURRENT_USER "Control Panel\International" (a REG_SZ value, as Windows
// keeps it), else derived from the process's POSIX LC_TIME locale, else from
// the C locale. As on Windows, the overrides are the short date picture
// "sShortDate", the time picture "sTimeFormat" and the designators "s1159"
// and "s2359"; the other settings follow from the pictures. Nothing is
// cached: a changed override or environment is seen by the next call.
#include <windows.h>
#include <regional_settings.h>

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// A setting's text and where it came from.
struct Setting {
  std::string text;
  RegionalSettingSource source;
};

Setting FromLocale(std::string text) { return {std::move(text), REGIONAL_SOURCE_LOCALE}; }
Setting Fallback(std::string text) { return {std::move(text), REGIONAL_SOURCE_FALLBACK}; }

// ---------------------------------------------------------------------------
// Reading a strftime format.

// One piece of a format: a conversion, or the literal text between two.
struct FormatPiece {
  char conversion;   // 0 for literal text
  char flag;         // the glibc padding flag '-', '_' or '0'; 0 for none
  std::string text;  // the literal text
};

typedef std::vector<FormatPiece> Pieces;

// Composite conversions expand to their parts; %r, %x and %X take the
// locale's own formats (%r the C locale's when the locale has none), which
// may refer to each other, hence the depth limit.
const int kMaxExpansionDepth = 4;

void AppendLiteral(Pieces& pieces, char c) {
  if (pieces.empty() || pieces.back().conversion != 0) pieces.push_back({0, 0, std::string()});
  pieces.back().text += c;
}

void SplitFormat(const char* format, const RegionalFormats& formats, int depth, Pieces& pieces) {
  if (format == nullptr || depth > kMaxExpansionDepth) return;
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') {
      AppendLiteral(pieces, *p);
      continue;
    }
    char flag = 0;
    while (strchr("-_0^#", p[1]) != nullptr && p[1] != '\0') {
      if (p[1] != '^' && p[1] != '#') flag = p[1];
      ++p;
    }
    while (p[1] >= '0' && p[1] <= '9') ++p;  // field width
    if (p[1] == 'E' || p[1] == 'O') ++p;     // alternative representations
    const char conversion = *++p;
    const char* expansion = nullptr;
    switch (conversion) {
      case '\0':
        return;
      case '%':
        AppendLiteral(pieces, '%');
        continue;
      case 'n':
        AppendLiteral(pieces, '\n');
        continue;
      case 't':
        AppendLiteral(pieces, '\t');
        continue;
      case 'D':
        expansion = "%m/%d/%y";
        break;
      case 'F':
        expansion = "%Y-%m-%d";
        break;
      case 'T':
        expansion = "%H:%M:%S";
        break;
      case 'R':
        expansion = "%H:%M";
        break;
      case 'r':
        expansion = formats.timeFormatAmPm != nullptr && *formats.timeFormatAmPm != '\0'
                        ? formats.timeFormatAmPm
                        : "%I:%M:%S %p";
        break;
      case 'x':
        expansion = formats.dateFormat;
        break;
      case 'X':
        expansion = formats.timeFormat;
        break;
      default:
        pieces.push_back({conversion, flag, std::string()});
        continue;
    }
    SplitFormat(expansion, formats, depth + 1, pieces);
  }
}

// Index of the first piece that is one of `conversions`; -1 when none is.
int FindConversion(const Pieces& pieces, const char* conversions) {
  for (size_t i = 0; i < pieces.size(); ++i) {
    if (pieces[i].conversion != 0 && strchr(conversions, pieces[i].conversion) != nullptr) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

// "1" when the field is written with leading zeros, else "0". The
// conversions in `zeroPadded` pad with zeros by default (%d %m %H %I), the
// others with spaces (%e %k %l); the flags - and _ turn the zeros off, the
// flag 0 turns them on.
std::string LeadingZero(const FormatPiece& field, const char* zeroPadded) {
  bool zero = strchr(zeroPadded, field.conversion) != nullptr;
  if (field.flag == '-' || field.flag == '_') zero = false;
  if (field.flag == '0') zero = true;
  return zero ? "1" : "0";
}

// The literal text between pieces `first` and `second`, which must be
// literal throughout; false when a conversion lies between them.
bool TextBetween(const Pieces& pieces, int first, int second, std::string& text) {
  text.clear();
  for (int i = first + 1; i < second; ++i) {
    if (pieces[i].conversion != 0) return false;
    text += pieces[i].text;
  }
  return true;
}

// A separator a Windows user could have: printable ASCII, neither letters nor
// digits, not only blanks. Rules out the words and unit characters some
// locales put between the fields (年, 時, "h").
bool UsableSeparator(const std::string& text) {
  bool visible = false;
  for (unsigned char c : text) {
    if (c < 0x20 || c > 0x7e) return false;
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return false;
    if (c != ' ') visible = true;
  }
  return visible;
}

Setting Separator(const Pieces& pieces, int first, int second, const char* fallback) {
  std::string text;
  if (first < 0 || second < 0 || !TextBetween(pieces, first, second, text) ||
      !UsableSeparator(text)) {
    return Fallback(fallback);
  }
  return FromLocale(text);
}

// ---------------------------------------------------------------------------
// The derivation.
//
// How each setting follows from the LC_TIME locale. D_FMT and T_FMT are read
// as fields and the literal text between them, after expanding the composite
// conversions %D %F %T %R %x %X, and %r to T_FMT_AMPM.
//
// Setting     Derived from                               Fall-back, when the locale
//                                                        leaves no usable answer
// ----------  -----------------------------------------  --------------------------------
// iDate       order of the day (%d %e), month (%m %b %B  "0" (the C locale's) when a
//             %h) and year (%Y %y %G %g) in D_FMT:       field is missing or the order
//             m-d-y "0", d-m-y "1", y-m-d "2"            is none of the three
// sDate       the text between the first two date        "/" when that text is empty,
//             fields                                     blank, a word or holds a unit
//                                                        character (ja_JP's 年), or when
//                                                        a conversion lies between
// iCentury    %Y %G "1", %y %g "0"                       "1" without a year field
// iMonLZero   %m "1"; with the flag - or _ "0"           "1" for a month name: Windows
//                                                        short dates write the month as a
//                                                        two-digit number; also without
//                                                        a month field
// iDayLZero   %d "1", %e "0"; the flags - and _ give     "1" without a day field
//             "0", the flag 0 gives "1"
// iTime       the hour of T_FMT: %H %k "1", %I %l "0"    "1" without an hour field
// sTime       the text between the hour and the minute   ":" under the rule of sDate
//             (%M)                                       (ja_JP's 時)
// iTLZero     %H %I "1", %k %l "0"; flags as iDayLZero   "1" without an hour field
// s1159       AM_STR, in the process's character set     "AM" when empty (de_DE) or not
//                                                        representable in that set
// s2359       PM_STR, likewise                           "PM", likewise
// sShortDate  picture of the derived date settings:      its source is the fall-back
//             dd/d, MM/M, yyyy/yy in the iDate order,    when any of its parts fell back
//             joined by sDate ("dd.MM.yyyy")
// sTimeFormat HH/H (24-hour) or hh/h, mm, ss joined by   likewise
//             sTime; " tt" appended on the 12-hour
//             clock, or "tt " put first when %p or %P
//             comes before the hour in T_FMT

// All settings derived from one locale.
struct DerivedSettings {
  Setting order, dateSeparator, century, monthZero, dayZero;
  Setting clock, timeSeparator, hourZero, amDesignator, pmDesignator;
  bool designatorFirst;
};

Setting Designator(const char* text, const char* fallback) {
  if (text == nullptr || *text == '\0') return Fallback(fallback);
  return FromLocale(text);
}

void DeriveDate(const RegionalFormats& formats, DerivedSettings& s) {
  Pieces pieces;
  SplitFormat(formats.dateFormat, formats, 0, pieces);
  const int day = FindConversion(pieces, "de");
  const int month = FindConversion(pieces, "mbBh");
  const int year = FindConversion(pieces, "YyGg");

  const bool allFields = day >= 0 && month >= 0 && year >= 0;
  if (allFields && month < day && day < year) {
    s.order = FromLocale("0");
  } else if (allFields && day < month && month < year) {
    s.order = FromLocale("1");
  } else if (allFields && year < month && month < day) {
    s.order = FromLocale("2");
  } else {
    s.order = Fallback("0");
  }

  // The first two of the date fields, in the format's order.
  std::vector<int> fields;
  for (int index : {day, month, year}) {
    if (index >= 0) fields.push_back(index);
  }
  std::sort(fields.begin(), fields.end());
  s.dateSeparator =
      fields.size() >= 2 ? Separator(pieces, fields[0], fields[1], "/") : Fallback("/");

  s.century = year < 0 ? Fallback("1")
                       : FromLocale(strchr("YG", pieces[year].conversion) != nullptr ? "1" : "0");
  s.monthZero = month < 0 || pieces[month].conversion != 'm'
                    ? Fallback("1")
                    : FromLocale(LeadingZero(pieces[month], "m"));
  s.dayZero = day < 0 ? Fallback("1") : FromLocale(LeadingZero(pieces[day], "d"));
}

void DeriveTime(const RegionalFormats& formats, DerivedSettings& s) {
  Pieces pieces;
  SplitFormat(formats.timeFormat, formats, 0, pieces);
  const int hour = FindConversion(pieces, "HkIl");
  const int minute = FindConversion(pieces, "M");
  const int designator = FindConversion(pieces, "pP");

  if (hour < 0) {
    s.clock = Fallback("1");
    s.hourZero = Fallback("1");
  } else {
    s.clock = FromLocale(strchr("Hk", pieces[hour].conversion) != nullptr ? "1" : "0");
    s.hourZero = FromLocale(LeadingZero(pieces[hour], "HI"));
  }
  s.timeSeparator = hour < minute ? Separator(pieces, hour, minute, ":") : Fallback(":");
  s.amDesignator = Designator(formats.amDesignator, "AM");
  s.pmDesignator = Designator(formats.pmDesignator, "PM");
  s.designatorFirst = designator >= 0 && designator < hour;
}

DerivedSettings Derive(const RegionalFormats& formats) {
  DerivedSettings s;
  DeriveDate(formats, s);
  DeriveTime(formats, s);
  return s;
}

// A picture built from parts: its source is the fall-back when any part's is.
Setting Picture(std::string text, std::initializer_list<const Setting*> parts) {
  for (const Setting* part : parts) {
    if (part->source != REGIONAL_SOURCE_LOCALE) return Fallback(std::move(text));
  }
  return FromLocale(std::move(text));
}

Setting ShortDatePicture(const DerivedSettings& s) {
  const std::string day = s.dayZero.text == "1" ? "dd" : "d";
  const std::string month = s.monthZero.text == "1" ? "MM" : "M";
  const std::string year = s.century.text == "1" ? "yyyy" : "yy";
  const std::string& sep = s.dateSeparator.text;
  std::string text;
  if (s.order.text == "1") {
    text = day + sep + month + sep + year;
  } else if (s.order.text == "2") {
    text = year + sep + month + sep + day;
  } else {
    text = month + sep + day + sep + year;
  }
  return Picture(text, {&s.order, &s.dateSeparator, &s.century, &s.monthZero, &s.dayZero});
}

Setting TimeFormatPicture(const DerivedSettings& s) {
  const bool twelveHour = s.clock.text == "0";
  std::string hour = twelveHour ? "h" : "H";
  if (s.hourZero.text == "1") hour += hour;
  const std::string& sep = s.timeSeparator.text;
  std::string text = hour + sep + "mm" + sep + "ss";
  if (twelveHour) text = s.designatorFirst ? "tt " + text : text + " tt";
  return Picture(text, {&s.clock, &s.hourZero, &s.timeSeparator});
}

// ---------------------------------------------------------------------------
// The settings Windows derives from the user's pictures.
//
// A picture's fields are runs of one letter: d M y in the short date, H h m s
// in the time format. Text in single quotes is no field (an unclosed quote
// hides the rest), nor are the day names ddd and dddd. A setting the picture
// cannot give fails, as on Windows (iCentury of a picture without a year).
//
// Setting    From the picture
// ---------  ---------------------------------------------------------------
// sDate      the text between the first date field and the next, quotes kept
// iDate      of the day and year fields before the first month field, the
//            last: a day "1", a year "2"; "0" when there is none
// iCentury   "1" when the first year field starts with yyyy, else "0"
// iDayLZero  "1" when the first day field is doubled (dd), else "0"
// iMonLZero  "1" when the first month field is doubled (MM, MMM, ...), else "0"
// sTime      the text between the first time field and the next
// iTime      the first hour field: H "1" (24-hour clock), h "0"
// iTLZero    "1" when the first hour field is doubled (HH, hh), else "0"

const size_t kNoField = std::string::npos;

// Position of the first field of one of `letters` at or after `from`.
size_t FindField(const std::string& picture, size_t from, const char* letters) {
  for (size_t i = from; i < picture.size(); ++i) {
    if (picture[i] == '\'') {
      i = picture.find('\'', i + 1);
      if (i == std::string::npos) return kNoField;
    } else if (picture[i] != '\0' && strchr(letters, picture[i]) != nullptr) {
      if (picture.compare(i, 3, "ddd") != 0) return i;
      while (i + 1 < picture.size() && picture[i + 1] == 'd') ++i;
    }
  }
  return kNoField;
}

// The text between the first field of one of `letters` and the next.
bool SeparatorOf(const std::string& picture, const char* letters, std::string& text) {
  const size_t first = FindField(picture, 0, letters);
  if (first == kNoField) return false;
  size_t end = first + 1;
  while (end < picture.size() && picture[end] == picture[first]) ++end;
  const size_t next = FindField(picture, end, letters);
  if (next == kNoField) return false;
  text = picture.substr(end, next - end);
  return true;
}

bool DateSeparator(const std::string& picture, std::string& text) {
  return SeparatorOf(picture, "dMy", text);
}

bool TimeSeparator(const std::string& picture, std::string& text) {
  return SeparatorOf(picture, "Hhms", text);
}

bool DateOrder(const std::string& picture, std::string& text) {
  text = "0";
  for (size_t i = FindField(picture, 0, "dMy"); i != kNoField && picture[i] != 'M';
       i = FindField(picture, i + 1, "dMy")) {
    text = picture[i] == 'y' ? "2" : "1";
  }
  return true;
}

bool Century(const std::string& picture, std::string& text) {
  const size_t year = FindField(picture, 0, "y");
  if (year == kNoField) return false;
  text = picture.compare(year, 4, "yyyy") == 0 ? "1" : "0";
  return true;
}

// "1" when the first field of one of `letters` is doubled, else "0".
bool LeadingZeroOf(const std::string& picture, const char* letters, std::string& text) {
  const size_t field = FindField(picture, 0, letters);
  if (field == kNoField) return false;
  text = field + 1 < picture.size() && picture[field + 1] == picture[field] ? "1" : "0";
  return true;
}

bool DayLeadingZero(const std::string& picture, std::string& text) {
  return LeadingZeroOf(picture, "d", text);
}

bool MonthLeadingZero(const std::string& picture, std::string& text) {
  return LeadingZeroOf(picture, "M", text);
}

bool HourLeadingZero(const std::string& picture, std::string& text) {
  return LeadingZeroOf(picture, "Hh", text);
}

bool Clock(const std::string& picture, std::string& text) {
  const size_t hour = FindField(picture, 0, "Hh");
  if (hour == kNoField) return false;
  text = picture[hour] == 'H' ? "1" : "0";
  return true;
}

// A setting the user overrides by its own name.
bool Verbatim(const std::string& override, std::string& text) {
  text = override;
  return true;
}

// ---------------------------------------------------------------------------
// How SetLocaleInfoA changes a picture, as Windows does.

// A setting stored as its own override.
bool Replace(const std::string& text, std::string& override) {
  override = text;
  return true;
}

// Every text between two fields of the picture becomes `separator`; text
// before the first field and after the last stays. Windows rewrites both
// pictures this way for a new date or time separator.
bool ReplaceSeparators(const std::string& separator, std::string& picture) {
  const char kFields[] = "dMyHhms";
  size_t field = FindField(picture, 0, kFields);
  if (field == kNoField) return true;
  std::string result = picture.substr(0, field);
  for (;;) {
    size_t end = field + 1;
    while (end < picture.size() && picture[end] == picture[field]) ++end;
    result += picture.substr(field, end - field);
    const size_t next = FindField(picture, end, kFields);
    if (next == kNoField) {
      result += picture.substr(end);
      break;
    }
    result += separator;
    field = next;
  }
  picture = result;
  return true;
}

// The first hour field becomes h (12-hour clock) for "0", H (24-hour clock)
// otherwise; false when the picture has no hour field.
bool SetClock(const std::string& clock, std::string& picture) {
  size_t hour = FindField(picture, 0, "Hh");
  if (hour == kNoField) return false;
  const char letter = !clock.empty() && clock[0] == '0' ? 'h' : 'H';
  for (; hour < picture.size() && (picture[hour] == 'H' || picture[hour] == 'h'); ++hour) {
    picture[hour] = letter;
  }
  return true;
}

// ---------------------------------------------------------------------------
// The settings GetLocaleInfoA answers.

struct SettingRow {
  LCTYPE type;
  const char* valueName;     // the setting's name under "Control Panel\International"
  const char* overrideName;  // the override that decides it: its own name or a picture's
  bool (*fromOverride)(const std::string& override, std::string& text);
  Setting (*derive)(const DerivedSettings&);  // without an override
  // SetLocaleInfoA: the longest text it takes, in UTF-16 characters with the
  // terminating zero (0: the setting cannot be set), and how that text
  // changes the override.
  int setLimit;
  bool (*intoOverride)(const std::string& text, std::string& override);
};

const char kShortDate[] = "sShortDate";
const char kTimeFormat[] = "sTimeFormat";

const SettingRow kSettingRows[] = {
    {LOCALE_ICENTURY, "iCentury", kShortDate, Century,
     [](const DerivedSettings& s) { return s.century; }, 0, nullptr},
    {LOCALE_IMONLZERO, "iMonLZero", kShortDate, MonthLeadingZero,
     [](const DerivedSettings& s) { return s.monthZero; }, 0, nullptr},
    {LOCALE_IDAYLZERO, "iDayLZero", kShortDate, DayLeadingZero,
     [](const DerivedSettings& s) { return s.dayZero; }, 0, nullptr},
    {LOCALE_SDATE, "sDate", kShortDate, DateSeparator,
     [](const DerivedSettings& s) { return s.dateSeparator; }, 4, ReplaceSeparators},
    {LOCALE_IDATE, "iDate", kShortDate, DateOrder, [](const DerivedSettings& s) { return s.order; },
     0, nullptr},
    {LOCALE_STIME, "sTime", kTimeFormat, TimeSeparator,
     [](const DerivedSettings& s) { return s.timeSeparator; }, 4, ReplaceSeparators},
    {LOCALE_ITIME, "iTime", kTimeFormat, Clock, [](const DerivedSettings& s) { return s.clock; }, 2,
     SetClock},
    {LOCALE_ITLZERO, "iTLZero", kTimeFormat, HourLeadingZero,
     [](const DerivedSettings& s) { return s.hourZero; }, 0, nullptr},
    {LOCALE_S1159, "s1159", "s1159", Verbatim,
     [](const DerivedSettings& s) { return s.amDesignator; }, 15, Replace},
    {LOCALE_S2359, "s2359", "s2359", Verbatim,
     [](const DerivedSettings& s) { return s.pmDesignator; }, 15, Replace},
    {LOCALE_SSHORTDATE, kShortDate, kShortDate, Verbatim, ShortDatePicture, 80, Replace},
    {LOCALE_STIMEFORMAT, kTimeFormat, kTimeFormat, Verbatim, TimeFormatPicture, 80, Replace},
};

const SettingRow* FindRow(LCTYPE type) {
  for (const SettingRow& row : kSettingRows) {
    if (row.type == type) return &row;
  }
  return nullptr;
}

// The row of the setting an override is named after.
const SettingRow& OverrideRow(const SettingRow& row) {
  for (const SettingRow& candidate : kSettingRows) {
    if (strcmp(candidate.valueName, row.overrideName) == 0) return candidate;
  }
  return row;
}

// ---------------------------------------------------------------------------
// The process's locale, named by the environment as setlocale(…, "") would
// take it, but loaded with newlocale so the process's global locale is left
// alone.

// The name of the locale the environment gives `category`.
const char* EnvironmentLocaleName(const char* category) {
  for (const char* variable : {"LC_ALL", category, "LANG"}) {
    const char* name = getenv(variable);
    if (name != nullptr && *name != '\0') return name;
  }
  return "C";
}

// Owns a locale_t.
class LocaleHandle {
 public:
  LocaleHandle(int mask, const char* name) : locale_(newlocale(mask, name, (locale_t)0)) {}
  ~LocaleHandle() {
    if (locale_ != (locale_t)0) freelocale(locale_);
  }
  LocaleHandle(const LocaleHandle&) = delete;
  LocaleHandle& operator=(const LocaleHandle&) = delete;

  bool valid() const { return locale_ != (locale_t)0; }
  locale_t get() const { return locale_; }

 private:
  locale_t locale_;
};

// The process's 8-bit character set: that of its LC_CTYPE locale (US-ASCII
// when the environment names none or one that is not installed).
std::string ProcessCodeset() {
  LocaleHandle ctype(LC_CTYPE_MASK, EnvironmentLocaleName("LC_CTYPE"));
  return ctype.valid() ? nl_langinfo_l(CODESET, ctype.get()) : "ANSI_X3.4-1968";
}

// `text` converted from one character set to another into `converted`,
// which is left alone when a character cannot be represented.
void ConvertCodeset(const std::string& text, const std::string& from, const std::string& to,
                    std::string& converted) {
  if (from == to) {
    converted = text;
    return;
  }
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == (iconv_t)-1) return;
  std::string in = text;
  std::vector<char> out(in.size() * 4 + 16);
  char* inPtr = in.data();
  size_t inLeft = in.size();
  char* outPtr = out.data();
  size_t outLeft = out.size();
  if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != (size_t)-1 &&
      iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != (size_t)-1) {
    converted.assign(out.data(), outPtr);
  }
  iconv_close(cd);
}

// The settings derived from the process's LC_TIME locale.
DerivedSettings DeriveFromProcessLocale() {
  LocaleHandle named(LC_TIME_MASK | LC_CTYPE_MASK, EnvironmentLocaleName("LC_TIME"));
  LocaleHandle c(LC_TIME_MASK | LC_CTYPE_MASK, "C");
  const locale_t locale = named.valid() ? named.get() : c.get();

  // The designators in the process's character set; left empty, and so to
  // the fall-back, when they cannot be written in it.
  const std::string timeCodeset = nl_langinfo_l(CODESET, locale);
  const std::string processCodeset = ProcessCodeset();
  std::string am, pm;
  ConvertCodeset(nl_langinfo_l(AM_STR, locale), timeCodeset, processCodeset, am);
  ConvertCodeset(nl_langinfo_l(PM_STR, locale), timeCodeset, processCodeset, pm);
  const RegionalFormats formats = {nl_langinfo_l(D_FMT, locale), nl_langinfo_l(T_FMT, locale),
                                   nl_langinfo_l(T_FMT_AMPM, locale), am.c_str(), pm.c_str()};
  DerivedSettings settings = Derive(formats);
  if (!named.valid()) {
    for (Setting* s :
         {&settings.order, &settings.dateSeparator, &settings.century, &settings.monthZero,
          &settings.dayZero, &settings.clock, &settings.timeSeparator, &settings.hourZero,
          &settings.amDesignator, &settings.pmDesignator}) {
      s->source = REGIONAL_SOURCE_FALLBACK;
    }
  }
  return settings;
}

// ---------------------------------------------------------------------------
// The user's overrides.

const char kOverrideKey[] = REGIONAL_OVERRIDE_KEY;

// The REG_SZ value `name` of the override key, up to its first zero; false
// when there is none (no key, no value, another type, a read error).
bool ReadOverride(const char* name, std::string& text) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kOverrideKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return false;
  }
  DWORD type = REG_NONE;
  DWORD size = 0;
  bool found = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
               type == REG_SZ;
  if (found) {
    std::vector<BYTE> data(size + 1, 0);
    found = RegQueryValueExA(key, name, nullptr, &type, data.data(), &size) == ERROR_SUCCESS &&
            type == REG_SZ;
    if (found)
      text.assign(reinterpret_cast<const char*>(data.data()),
                  strnlen(reinterpret_cast<const char*>(data.data()), size));
  }
  RegCloseKey(key);
  return found;
}

// Stores `text` with its zero as the REG_SZ value `name` of the override key,
// creating the key; the registry's error code, ERROR_SUCCESS when stored.
LONG WriteOverride(const char* name, const char* text) {
  HKEY key;
  LONG status = RegCreateKeyA(HKEY_CURRENT_USER, kOverrideKey, &key);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(strlen(text) + 1));
  RegCloseKey(key);
  return status;
}

// ---------------------------------------------------------------------------
// Handing a text to the caller.

// Calls visit(bytes, character) for each character of `text` in the
// process's character set, in order, until it returns false. A byte that
// starts no valid character is one character of its own (U+FFFD); without a
// locale every byte is one character.
template <typename Visit>
void ForEachCharacter(const std::string& text, Visit visit) {
  LocaleHandle ctype(LC_CTYPE_MASK, EnvironmentLocaleName("LC_CTYPE"));
  const locale_t previous = ctype.valid() ? uselocale(ctype.get()) : (locale_t)0;
  mbstate_t state;
  memset(&state, 0, sizeof state);
  for (size_t offset = 0; offset < text.size();) {
    wchar_t character = static_cast<unsigned char>(text[offset]);
    size_t length = 1;
    if (ctype.valid()) {
      length = mbrtowc(&character, text.data() + offset, text.size() - offset, &state);
      if (length == 0 || length == (size_t)-1 || length == (size_t)-2) {
        length = 1;
        character = 0xFFFD;
        memset(&state, 0, sizeof state);
      }
    }
    if (!visit(length, character)) break;
    offset += length;
  }
  if (ctype.valid()) uselocale(previous);
}

// The length of the longest prefix of `text` of at most `limit` bytes that
// ends on a character boundary of the process's character set.
size_t CharacterBoundary(const std::string& text, size_t limit) {
  size_t end = 0;
  ForEachCharacter(text, [&](size_t length, wchar_t) {
    if (end + length > limit) return false;
    end += length;
    return true;
  });
  return end;
}

// The length of `text` in UTF-16 characters, as Windows counts it after
// converting an ANSI text: two for a character beyond U+FFFF.
size_t Utf16Length(const std::string& text) {
  size_t units = 0;
  ForEachCharacter(text, [&](size_t, wchar_t character) {
    units += static_cast<uint32_t>(character) > 0xFFFF ? 2 : 1;
    return true;
  });
  return units;
}

// Windows' convention: cchData 0 asks for the size; otherwise the text and
// its zero are copied and their count returned. A buffer that is too small
// gets the text cut at a character boundary, zero-terminated, and the call
// fails with ERROR_INSUFFICIENT_BUFFER.
int CopyOut(const std::string& text, LPSTR data, int cchData) {
  const int needed = static_cast<int>(text.size()) + 1;
  if (cchData == 0) return needed;
  if (cchData >= needed) {
    memcpy(data, text.c_str(), needed);
    return needed;
  }
  const size_t kept = CharacterBoundary(text, static_cast<size_t>(cchData) - 1);
  memcpy(data, text.data(), kept);
  data[kept] = '\0';
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return 0;
}

// The checks every entry point makes; the row of `type`, or NULL after
// setting the error.
const SettingRow* CheckCall(LCTYPE type, LPSTR data, int cchData) {
  if (cchData < 0 || (cchData > 0 && data == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const SettingRow* row = FindRow(type);
  if (row == nullptr) SetLastError(ERROR_INVALID_FLAGS);
  return row;
}

int Answer(const Setting& setting, LPSTR data, int cchData, RegionalSettingSource* source) {
  if (source != nullptr) *source = setting.source;
  return CopyOut(setting.text, data, cchData);
}

// The setting's text now: from the user's override, else derived from the
// locale. False, with the source set, when the override cannot give it.
bool CurrentSetting(const SettingRow& row, Setting& setting) {
  std::string override;
  if (!ReadOverride(row.overrideName, override)) {
    setting = row.derive(DeriveFromProcessLocale());
    return true;
  }
  setting.source = REGIONAL_SOURCE_OVERRIDE;
  return row.fromOverride(override, setting.text);
}

// Fails the call with `error`.
BOOL Refuse(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace

extern "C" {

WINBASEAPI int WINAPI GetRegionalSetting(LCTYPE type, LPSTR data, int cchData,
                                         RegionalSettingSource* source) {
  const SettingRow* row = CheckCall(type, data, cchData);
  if (row == nullptr) return 0;
  Setting setting = {std::string(), REGIONAL_SOURCE_OVERRIDE};
  if (!CurrentSetting(*row, setting)) {
    if (source != nullptr) *source = setting.source;
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  return Answer(setting, data, cchData, source);
}

WINBASEAPI int WINAPI DeriveRegionalSetting(const RegionalFormats* formats, LCTYPE type, LPSTR data,
                                            int cchData, RegionalSettingSource* source) {
  const SettingRow* row = CheckCall(type, data, cchData);
  if (row == nullptr) return 0;
  if (formats == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return Answer(row->derive(Derive(*formats)), data, cchData, source);
}

WINBASEAPI LPCSTR WINAPI RegionalSettingValueName(LCTYPE type) {
  const SettingRow* row = FindRow(type);
  return row != nullptr ? row->valueName : nullptr;
}

WINBASEAPI LPCSTR WINAPI RegionalSettingOverrideName(LCTYPE type) {
  const SettingRow* row = FindRow(type);
  return row != nullptr ? row->overrideName : nullptr;
}

// Only the current user's settings are known here; any other locale is
// invalid.
WINBASEAPI int WINAPI GetLocaleInfoA(LCID Locale, LCTYPE LCType, LPSTR lpLCData, int cchData) {
  if (Locale != LOCALE_USER_DEFAULT) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return GetRegionalSetting(LCType, lpLCData, cchData, nullptr);
}

// As on Windows: the pictures and the designators are stored as the user's
// overrides; a date or time separator rewrites every separator of its
// picture, and the clock the picture's hour field. Each text has Windows'
// length limit, and so has the picture that results. As for GetLocaleInfoA,
// only the current user's locale is known.
WINBASEAPI BOOL WINAPI SetLocaleInfoA(LCID Locale, LCTYPE LCType, LPCSTR lpLCData) {
  if (Locale != LOCALE_USER_DEFAULT || lpLCData == nullptr) {
    return Refuse(ERROR_INVALID_PARAMETER);
  }
  const SettingRow* row = FindRow(LCType);
  if (row == nullptr || row->setLimit == 0) return Refuse(ERROR_INVALID_FLAGS);
  if (Utf16Length(lpLCData) + 1 > static_cast<size_t>(row->setLimit)) {
    return Refuse(ERROR_INVALID_PARAMETER);
  }
  const SettingRow& overrideRow = OverrideRow(*row);
  Setting override = {std::string(), REGIONAL_SOURCE_OVERRIDE};
  if (&overrideRow != row && !CurrentSetting(overrideRow, override)) {
    return Refuse(ERROR_INVALID_FLAGS);
  }
  if (!row->intoOverride(lpLCData, override.text)) return Refuse(ERROR_INVALID_FLAGS);
  if (Utf16Length(override.text) + 1 > static_cast<size_t>(overrideRow.setLimit)) {
    return Refuse(ERROR_INVALID_PARAMETER);
  }
  const LONG status = WriteOverride(overrideRow.valueName, override.text.c_str());
  return status == ERROR_SUCCESS ? TRUE : Refuse(static_cast<DWORD>(status));
}

}  // extern "C"
