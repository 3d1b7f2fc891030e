// vintutil date: the current date and time as the library formats them
// after the user's regional settings, and where each setting came from.
#include <DatumUhrzeit.h>

#include <iostream>
#include <memory>

#include "cli_common.h"
#include "commands.h"
#include "regional_settings_view.h"

namespace {

struct DateOptions {
  std::string locale;
  bool settings = false;
};

int RunDate(const DateOptions& o) {
  if (!o.locale.empty() && !UseTimeLocale(o.locale)) {
    return Fail("locale '" + o.locale + "' is not installed (see locale -a)");
  }
  // A picture that cannot give a setting would give a date text with parts
  // missing: it is reported instead.
  const std::string unreadable = UnreadableRegionalSetting();
  if (!unreadable.empty()) {
    if (o.settings) PrintRegionalSettings(std::cout);
    return Fail(unreadable);
  }
  CTime now = CTime::GetCurrentTime();
  CDatumUhrzeit datumUhrzeit(now);
  CString text;
  datumUhrzeit.GetDatumUhrzeit(text);
  std::cout << static_cast<LPCSTR>(text) << "\n";
  if (o.settings) PrintRegionalSettings(std::cout);
  return kExitSuccess;
}

}  // namespace

void AddDateCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<DateOptions>();
  auto* date =
      app.add_subcommand("date", "Print the current date and time after the regional settings");
  date->add_option("--locale", options->locale,
                   "use this POSIX locale for LC_TIME (e.g. de_DE.UTF-8)")
      ->type_name("NAME");
  date->add_flag("--settings", options->settings,
                 "also list the ten regional settings used and where each came from "
                 "(override, locale, fall-back), the user's overrides honoured and the values "
                 "ignored, with the reason");
  date->callback([options, &status] { status = RunDate(*options); });
}
