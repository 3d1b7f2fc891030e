// The resource chain that CString::LoadString searches.
#include <afx.h>

#include <string>

#include <gtest/gtest.h>

namespace {

const AFX_STRING_RESOURCE hostTable[] = {{1, "host one"}, {2, "host two"}};
const AFX_STRING_RESOURCE firstModuleTable[] = {{2, "first two"}, {3, "first three"}};
const AFX_STRING_RESOURCE secondModuleTable[] = {{3, "second three"}, {4, "second four"}};

// The text LoadString finds for `id`, or "(none)" when it fails; a failure
// leaves the text empty.
std::string Load(UINT id) {
  CString s("previous");
  if (s.LoadString(id)) return static_cast<LPCSTR>(s);
  return s.IsEmpty() ? "(none)" : "(not emptied)";
}

TEST(ResourceChainTest, SearchesHostFirstThenModulesInJoinOrder) {
  EXPECT_EQ(AfxSetAppStringTable(hostTable, 2), nullptr);
  AFX_EXTENSION_MODULE first = {FALSE, nullptr, nullptr, firstModuleTable, 2};
  AFX_EXTENSION_MODULE second = {FALSE, nullptr, nullptr, secondModuleTable, 2};
  HMODULE handle = reinterpret_cast<HMODULE>(&first);
  ASSERT_TRUE(AfxInitExtensionModule(first, handle));
  EXPECT_TRUE(first.bInitialized);
  ASSERT_TRUE(AfxInitExtensionModule(second, nullptr));
  CDynLinkLibrary* firstLibrary = new CDynLinkLibrary(first);
  CDynLinkLibrary secondLibrary(second);
  EXPECT_EQ(firstLibrary->m_hModule, handle);
  const std::pair<UINT, const char*> cases[] = {
      {1, "host one"}, {2, "host two"}, {3, "first three"}, {4, "second four"}, {99, "(none)"}};
  for (const auto& [id, expected] : cases) EXPECT_EQ(Load(id), expected) << id;
  // Replacing the host table gives back the previous one; a destroyed
  // library leaves the chain.
  EXPECT_EQ(AfxSetAppStringTable(nullptr, 0), hostTable);
  EXPECT_EQ(Load(2), "first two");
  delete firstLibrary;
  EXPECT_EQ(Load(2) + "|" + Load(3), "(none)|second three");
}

}  // namespace
