// The regional settings behind the date and time texts, for `vintutil date`:
// choosing the locale they derive from and listing them with their origin.
// One implementation per platform.
#ifndef VINTUTIL_CLI_REGIONAL_SETTINGS_VIEW_H
#define VINTUTIL_CLI_REGIONAL_SETTINGS_VIEW_H

#include <ostream>
#include <string>

// Makes `name` the locale the date and time settings derive from; false when
// no such locale is installed or the platform has no such choice.
bool UseTimeLocale(const std::string& name);

// One line per setting, in the order the texts read them: value name, text
// in quotes, and where it came from (override, locale, fall-back); then the
// user's overrides honoured and the values ignored, with the reason.
void PrintRegionalSettings(std::ostream& out);

// Why a setting the date and time texts need cannot be read (a picture
// without the field it follows from), as one line; "" when all can be.
std::string UnreadableRegionalSetting();

#endif
