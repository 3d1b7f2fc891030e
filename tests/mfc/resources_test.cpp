// The resource chain that CString::LoadString searches.
#include <afx.h>

#include <gtest/gtest.h>

namespace {

const AFX_STRING_RESOURCE hostTable[] = {{1, "host one"}, {2, "host two"}};
const AFX_STRING_RESOURCE firstModuleTable[] = {{2, "first two"}, {3, "first three"}};
const AFX_STRING_RESOURCE secondModuleTable[] = {{3, "second three"}, {4, "second four"}};

AFX_EXTENSION_MODULE moduleRecord(const AFX_STRING_RESOURCE* table, int count) {
  AFX_EXTENSION_MODULE state = {FALSE, nullptr, nullptr, table, count};
  return state;
}

class ResourceChainTest : public ::testing::Test {
 protected:
  void TearDown() override { AfxSetAppStringTable(nullptr, 0); }
};

TEST_F(ResourceChainTest, SearchesHostFirstThenModulesInJoinOrder) {
  AfxSetAppStringTable(hostTable, 2);
  AFX_EXTENSION_MODULE first = moduleRecord(firstModuleTable, 2);
  AFX_EXTENSION_MODULE second = moduleRecord(secondModuleTable, 2);
  HMODULE handle = reinterpret_cast<HMODULE>(&first);
  ASSERT_TRUE(AfxInitExtensionModule(first, handle));
  EXPECT_TRUE(first.bInitialized);
  EXPECT_EQ(first.hModule, handle);
  ASSERT_TRUE(AfxInitExtensionModule(second, nullptr));
  CDynLinkLibrary firstLibrary(first);
  CDynLinkLibrary secondLibrary(second);
  EXPECT_EQ(firstLibrary.m_hModule, handle);
  EXPECT_FALSE(firstLibrary.m_bSystem);

  const struct {
    UINT nID;
    const char* expected;
  } cases[] = {{1, "host one"}, {2, "host two"}, {3, "first three"}, {4, "second four"}};
  for (const auto& c : cases) {
    CString s;
    EXPECT_TRUE(s.LoadString(c.nID)) << c.nID;
    EXPECT_STREQ(s, c.expected);
  }
}

TEST_F(ResourceChainTest, UnknownIdYieldsEmptyTextAndFalse) {
  AfxSetAppStringTable(hostTable, 2);
  CString s("previous");
  EXPECT_FALSE(s.LoadString(99));
  EXPECT_TRUE(s.IsEmpty());
}

TEST_F(ResourceChainTest, ReplacingTheHostTableReturnsThePreviousOne) {
  EXPECT_EQ(AfxSetAppStringTable(hostTable, 2), nullptr);
  EXPECT_EQ(AfxSetAppStringTable(firstModuleTable, 2), hostTable);
  CString s;
  EXPECT_FALSE(s.LoadString(1));
  EXPECT_TRUE(s.LoadString(3));
  EXPECT_STREQ(s, "first three");
}

TEST_F(ResourceChainTest, DestroyedLibraryLeavesTheChain) {
  AFX_EXTENSION_MODULE first = moduleRecord(firstModuleTable, 2);
  AFX_EXTENSION_MODULE second = moduleRecord(secondModuleTable, 2);
  CDynLinkLibrary* firstLibrary = new CDynLinkLibrary(first);
  CDynLinkLibrary secondLibrary(second);
  CString s;
  ASSERT_TRUE(s.LoadString(3));
  EXPECT_STREQ(s, "first three");
  delete firstLibrary;
  ASSERT_TRUE(s.LoadString(3));
  EXPECT_STREQ(s, "second three");
  EXPECT_FALSE(s.LoadString(2));
}

}  // namespace
