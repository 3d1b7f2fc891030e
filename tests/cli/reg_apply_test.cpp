// Import as a transaction: a registry write that fails part-way through a
// hive's changes leaves that hive exactly as it was before the import.
#include <registry_diagnostics.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "key_path.h"
#include "reg_apply.h"
#include "reg_file.h"
#include "registry_tree.h"
#include "registry_values.h"
#include "temp_registry.h"

namespace {

using ::testing::HasSubstr;

using RegApply = RegistryTest;

std::vector<RegFileKey> Tree(const std::string& path) {
  std::vector<RegFileKey> keys;
  ReadTree(*ParseKeyPath(path), keys);
  return keys;
}

// `text` with its keys under HKEY_CURRENT_USER moved under `root`.
std::string UnderRoot(std::string text, const std::string& root) {
  const std::string user = "HKEY_CURRENT_USER";
  for (size_t at = 0; (at = text.find(user, at)) != std::string::npos; at += root.size()) {
    text.replace(at, user.size(), root);
  }
  return text;
}

// The first failure of the import of `text`, a well-formed file, when the
// given registry call fails.
ApplyResult ApplyFailing(const std::string& text, RegDiagCall call, unsigned n) {
  const RegFileParseResult parsed = ParseRegFile(text);
  EXPECT_TRUE(parsed.ok) << parsed.error;
  RegDiagFailNth(call, n, ERROR_ACCESS_DENIED);
  const ApplyResult result = ApplyRegFile(parsed.file);
  RegDiagClearFaults();
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.failures.size(), 1u);
  return result;
}

// Each write and the deletion of the file in turn fails: each time the hive
// is left as it was, however far the import had come. Without a fault every
// kind of change applies: a value replaced, one added, one deleted, a subtree
// deleted, keys created below an existing one and beside it.
TEST_F(RegApply, EveryKindOfChangeAppliesWhollyOrNotAtAll) {
  const std::string root = registry_.rootName();
  const std::string changes = UnderRoot(
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
      "\"last\"=\"value\"\n",
      root);
  regtest::Put(registry_.root(), "Software\\App", "keep", regtest::Text("old"));
  regtest::Put(registry_.root(), "Software\\App", "drop", regtest::Text("old"));
  regtest::Put(registry_.root(), "Software\\App\\Tree\\Below", "v", regtest::Text("1"));
  const auto before = Tree(root + "\\Software");
  const std::pair<RegDiagCall, unsigned> failing[] = {{REGDIAG_SET, 1}, {REGDIAG_SET, 2},
                                                      {REGDIAG_SET, 3}, {REGDIAG_SET, 4},
                                                      {REGDIAG_SET, 5}, {REGDIAG_DELETE, 1}};
  for (const auto& [call, n] : failing) {
    EXPECT_THAT(ApplyFailing(changes, call, n).failures.at(0),
                HasSubstr("access is denied; nothing of " + root + " was changed"));
    EXPECT_EQ(Tree(root + "\\Software"), before) << "call " << call << " number " << n << " failed";
  }
  EXPECT_EQ(RegDiagOpenHandleCount(), 0);

  // Progress counts every change once: 4 key blocks, 6 value lines.
  const RegFile file = ParseRegFile(changes).file;
  std::vector<size_t> counted;
  EXPECT_TRUE(ApplyRegFile(file, [&](size_t n) { counted.push_back(n); }).ok);
  EXPECT_EQ(ChangeCount(file), 10u);
  EXPECT_EQ(counted, std::vector<size_t>({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  const auto app = Tree(root + "\\Software\\App");
  ASSERT_EQ(app.size(), 3u);
  EXPECT_EQ(app[0].values.size(), 2u);
  EXPECT_EQ(regtest::Get(registry_.root(), "Software\\App", "keep"), regtest::Text("replaced"));
  EXPECT_EQ(app[2].path, root + "\\Software\\App\\Created\\Deep");
  EXPECT_EQ(Tree(root + "\\Software\\Other\\Created").size(), 1u);
}

TEST_F(RegApply, EachHiveStandsOrFallsAlone) {
  // The machine hive goes first; its second write fails.
  const ApplyResult result = ApplyFailing(
      "REGEDIT4\n"
      "[HKEY_CURRENT_USER\\Software\\Mine]\n\"a\"=\"1\"\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Shared]\n\"b\"=\"2\"\n\"c\"=\"3\"\n",
      REGDIAG_SET, 2);
  EXPECT_THAT(result.failures.at(0),
              HasSubstr("line 6, HKEY_LOCAL_MACHINE\\Software\\Shared, value \"c\""));
  EXPECT_TRUE(Tree("HKLM\\Software\\Shared").empty());
  EXPECT_EQ(Tree("HKCU\\Software\\Mine").size(), 1u);
}

TEST_F(RegApply, DeletingARootIsRefusedBeforeAnyChange) {
  const ApplyResult result = ApplyRegFile(
      ParseRegFile(
          "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Mine]\n\"a\"=\"1\"\n[-HKEY_CURRENT_USER]\n")
          .file);
  EXPECT_FALSE(result.ok);
  EXPECT_THAT(result.failures.at(0), HasSubstr("line 4: 'HKEY_CURRENT_USER' is a root key"));
  EXPECT_TRUE(Tree("HKCU\\Software\\Mine").empty());
}

}  // namespace
