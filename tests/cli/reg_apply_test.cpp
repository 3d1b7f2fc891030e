// Import as a transaction: a registry write that fails part-way through a
// hive's changes leaves that hive exactly as it was before the import.
#include <registry_diagnostics.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "key_path.h"
#include "reg_apply.h"
#include "reg_file.h"
#include "registry_tree.h"
#include "temp_registry.h"

namespace {

using ::testing::HasSubstr;

class RegApply : public RegistryTest {
 protected:
  static void Write(const char* path, const char* name, const char* text) {
    KeyHandle key;
    ASSERT_EQ(key.Create(*ParseKeyPath(path)), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                             static_cast<DWORD>(strlen(text) + 1)),
              ERROR_SUCCESS);
  }

  static std::vector<RegFileKey> Tree(const char* path) {
    std::vector<RegFileKey> keys;
    ReadTree(*ParseKeyPath(path), keys);
    return keys;
  }

  static RegFile Parse(const std::string& text) {
    const RegFileParseResult parsed = ParseRegFile(text);
    EXPECT_TRUE(parsed.ok) << parsed.error;
    return parsed.file;
  }
};

// Changes of every kind: a value replaced, one added, one deleted, a
// subtree deleted, keys created below an existing one and beside it.
const char* const kChanges =
    "REGEDIT4\n"
    "[HKEY_CURRENT_USER\\Software\\App]\n"
    "\"keep\"=\"replaced\"\n"
    "\"added\"=\"new\"\n"
    "\"drop\"=-\n"
    "[-HKEY_CURRENT_USER\\Software\\App\\Tree]\n"
    "[HKEY_CURRENT_USER\\Software\\App\\Created\\Deep]\n"
    "\"x\"=dword:00000001\n"
    "[HKEY_CURRENT_USER\\Software\\Other\\Created]\n"
    "\"y\"=\"z\"\n"
    "\"last\"=\"value\"\n";

TEST_F(RegApply, AppliesEveryKindOfChange) {
  Write("HKCU\\Software\\App", "keep", "old");
  Write("HKCU\\Software\\App", "drop", "old");
  Write("HKCU\\Software\\App\\Tree\\Below", "v", "1");
  const ApplyResult result = ApplyRegFile(Parse(kChanges));
  EXPECT_TRUE(result.ok);
  const auto app = Tree("HKCU\\Software\\App");
  ASSERT_EQ(app.size(), 3u);
  EXPECT_EQ(app[0].values.size(), 2u);
  EXPECT_EQ(app[2].path, "HKEY_CURRENT_USER\\Software\\App\\Created\\Deep");
  EXPECT_EQ(Tree("HKCU\\Software\\Other\\Created").size(), 1u);
}

// Each write and the deletion of the file in turn fails: each time the hive
// is left as it was, however far the import had come.
TEST_F(RegApply, AFailedChangeAnywhereLeavesTheHiveAsItWas) {
  Write("HKCU\\Software\\App", "keep", "old");
  Write("HKCU\\Software\\App", "drop", "old");
  Write("HKCU\\Software\\App\\Tree\\Below", "v", "1");
  const auto before = Tree("HKCU\\Software");
  const RegFile file = Parse(kChanges);
  const std::pair<RegDiagCall, unsigned> failing[] = {{REGDIAG_SET, 1}, {REGDIAG_SET, 2},
                                                      {REGDIAG_SET, 3}, {REGDIAG_SET, 4},
                                                      {REGDIAG_SET, 5}, {REGDIAG_DELETE, 1}};
  for (const auto& [call, n] : failing) {
    RegDiagFailNth(call, n, ERROR_ACCESS_DENIED);
    const ApplyResult result = ApplyRegFile(file);
    RegDiagClearFaults();
    EXPECT_FALSE(result.ok) << n;
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_THAT(result.failures[0],
                HasSubstr("access is denied; nothing of HKEY_CURRENT_USER was changed"));
    EXPECT_EQ(Tree("HKCU\\Software"), before) << "call " << call << " number " << n << " failed";
  }
  EXPECT_EQ(RegDiagOpenHandleCount(), 0);
}

TEST_F(RegApply, EachHiveStandsOrFallsAlone) {
  const RegFile file = Parse(
      "REGEDIT4\n"
      "[HKEY_CURRENT_USER\\Software\\Mine]\n\"a\"=\"1\"\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Shared]\n\"b\"=\"2\"\n\"c\"=\"3\"\n");
  // The machine hive goes first; its second write fails.
  RegDiagFailNth(REGDIAG_SET, 2, ERROR_ACCESS_DENIED);
  const ApplyResult result = ApplyRegFile(file);
  RegDiagClearFaults();
  EXPECT_FALSE(result.ok);
  ASSERT_EQ(result.failures.size(), 1u);
  EXPECT_THAT(result.failures[0],
              HasSubstr("line 6, HKEY_LOCAL_MACHINE\\Software\\Shared, value \"c\""));
  EXPECT_TRUE(Tree("HKLM\\Software\\Shared").empty());
  EXPECT_EQ(Tree("HKCU\\Software\\Mine").size(), 1u);
}

TEST_F(RegApply, DeletingARootIsRefusedBeforeAnyChange) {
  const ApplyResult result = ApplyRegFile(
      Parse("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Mine]\n\"a\"=\"1\"\n[-HKEY_CURRENT_USER]\n"));
  EXPECT_FALSE(result.ok);
  EXPECT_THAT(result.failures[0], HasSubstr("line 4: 'HKEY_CURRENT_USER' is a root key"));
  EXPECT_TRUE(Tree("HKCU\\Software\\Mine").empty());
}

}  // namespace
