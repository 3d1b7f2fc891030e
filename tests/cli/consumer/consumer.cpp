// Uses the installed library as a module of the suite does: a setting
// written and read back through the settings store, and a date text.
#include <DatumUhrzeit.h>
#include <VarnoRegInit.h>

#include <cstdio>

int main() {
  HKEY created;  // the store only opens keys: the key comes first
  if (RegCreateKeyA(HKEY_CURRENT_USER, "SOFTWARE\\TORVALE\\VARNO4\\USERINFO", &created) != 0)
    return 4;
  RegCloseKey(created);
  CVarnoRegInit store;
  CString key("SOFTWARE\\TORVALE\\VARNO4\\USERINFO"), name("NAME"), value("consumer"), read;
  if (store.SetStringKeyCurrentUser(key, name, value) != 0) return 1;
  if (store.GetStringKeyCurrentUser(key, name, read) != 0 || read != "consumer") return 2;
  CDatumUhrzeit date(2024, 5, 17);
  CString text;
  date.GetDatum(text);
  std::printf("%s %s\n", static_cast<LPCSTR>(read), static_cast<LPCSTR>(text));
  return text.IsEmpty() ? 3 : 0;
}
