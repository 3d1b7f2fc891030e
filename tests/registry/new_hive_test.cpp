// A hive whose file does not exist yet: read as the new hive that the first
// write makes, without making the file, and handles opened on it before the
// file exists work on the file afterwards.
#include <windows.h>
#include <registry_diagnostics.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "registry_values.h"
#include "temp_registry.h"

namespace {

using NewHive = RegistryTest;

// Files in the hive's folder left from making a hive under a temporary name.
std::vector<std::string> temporaries(const std::string& hive) {
  std::vector<std::string> found;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::path(hive).parent_path())) {
    const std::string name = entry.path().filename();
    if (name.find(".new-") != std::string::npos) found.push_back(name);
  }
  return found;
}

TEST_F(NewHive, IsReadBeforeItsFileIsMadeAndMadeAsRead) {
  const std::vector<std::string> user = {"Control Panel", "Software"};
  const std::vector<std::string> machine = {"SOFTWARE"};
  EXPECT_EQ(user, regtest::SubKeys(HKEY_CURRENT_USER));
  EXPECT_EQ(machine, regtest::SubKeys(HKEY_LOCAL_MACHINE));
  HKEY international =
      regtest::Open(HKEY_CURRENT_USER, "control panel\\INTERNATIONAL", KEY_ALL_ACCESS);
  ASSERT_NE(nullptr, international);
  EXPECT_EQ(std::vector<std::string>(), regtest::SubKeys(international));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(international, "sDate"));
  EXPECT_EQ(ERROR_SUCCESS, RegFlushKey(international));
  RegCloseKey(international);
  EXPECT_NE(0, access(registry_.userHive().c_str(), F_OK)) << "reading made no file";
  EXPECT_NE(0, access(registry_.machineHive().c_str(), F_OK));

  // A handle opened now writes into the file its write makes.
  HKEY software = regtest::Open(HKEY_LOCAL_MACHINE, "SOFTWARE", KEY_ALL_ACCESS);
  ASSERT_NE(nullptr, software);
  const regtest::Value value = regtest::Text("x");
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(software, "v", 0, value.type,
                                          reinterpret_cast<const BYTE*>(value.bytes.data()),
                                          DWORD(value.bytes.size())));
  RegCloseKey(software);
  EXPECT_EQ(0, access(registry_.machineHive().c_str(), F_OK));
  RegDiagReset();  // read the file anew
  EXPECT_EQ(machine, regtest::SubKeys(HKEY_LOCAL_MACHINE));
  EXPECT_EQ(value, regtest::Get(HKEY_LOCAL_MACHINE, "SOFTWARE", "v"));
  regtest::CreateKey(HKEY_CURRENT_USER, "Software\\Vendor");
  EXPECT_EQ(user, regtest::SubKeys(HKEY_CURRENT_USER));
  EXPECT_TRUE(regtest::KeyExists(HKEY_CURRENT_USER, "Control Panel\\International"));
  EXPECT_EQ(std::vector<std::string>(), temporaries(registry_.machineHive()));
}

}  // namespace
