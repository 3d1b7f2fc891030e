// Tool program paths and the two presence tests.
#include "settings_test.h"

namespace {

using regtest::Text;

class ToolPathsTest : public SettingsTest {
 protected:
  void SetUp() override { regtest::CreateKey(HKEY_LOCAL_MACHINE, kProgramme); }
};

TEST_F(ToolPathsTest, PathsRoundTripAsStoredTextsOfAtMost1255Bytes) {
  const std::string longest(1255, 'l');
  ASSERT_EQ(store_.SetCFCPathAndName(longest.c_str()), 0);
  EXPECT_EQ(Stored(kProgramme, "CFC"), Text(longest));
  EXPECT_EQ(std::string(store_.GetCFCPathAndName()), longest);
  ASSERT_EQ(store_.SetGraphicToolPath(""), 0);
  EXPECT_EQ(Stored(kProgramme, "GRAFIKTOOLS"), Text(""));
  EXPECT_TRUE(store_.GetGraphicToolPath().IsEmpty());
  ASSERT_EQ(store_.SetDisplayEditorPathAndName("D:\\edit.exe"), 0);
  EXPECT_EQ(Stored(kProgramme, "DISPLAYEDITOR"), Text("D:\\edit.exe"));
  EXPECT_STREQ(store_.GetDisplayEditorPathAndName(), "D:\\edit.exe");
  EXPECT_TRUE(reports_.messages().empty());
  EXPECT_EQ(store_.m_hKeyProgramme, nullptr);
  EXPECT_EQ(store_.SetCFCPathAndName(std::string(1256, 'm').c_str()), -1);
  EXPECT_EQ(Stored(kProgramme, "CFC"), Text(longest));
  Store(kProgramme, "CFC", Text(std::string(1256, 'n')));
  EXPECT_TRUE(store_.GetCFCPathAndName().IsEmpty());
  EXPECT_EQ(reports_.pairs(), std::vector<ReportPair>({{10190, 10283}, {10191, 10283}}));
}

TEST_F(ToolPathsTest, PresenceTests) {
  const std::pair<std::string, int> kCases[] = {
      {"", 0}, {"e", 1}, {std::string(255, 'e'), 1}, {std::string(300, 'e'), 0}};
  EXPECT_EQ(store_.GetBildEditorProg(), 0);
  for (const auto& [text, present] : kCases) {
    SCOPED_TRACE(text.size());
    Store(kProgramme, "DISPLAYEDITOR", Text(text));
    EXPECT_EQ(store_.GetBildEditorProg(), present);
    EXPECT_EQ(std::string(store_.GetDisplayEditorPathAndName()), text);
  }
  EXPECT_EQ(store_.GetCfcProg(), 0);
  regtest::CreateKey(HKEY_LOCAL_MACHINE,
                     "SOFTWARE\\TORVALE\\MORLIN\\2.0\\APPLICATIONS\\QZCHART\\RORAZE\\VARNO");
  EXPECT_EQ(store_.GetCfcProg(), 1);
  regtest::DeleteTree(HKEY_LOCAL_MACHINE, kProgramme);
  EXPECT_EQ(store_.GetBildEditorProg(), 0);
  EXPECT_TRUE(reports_.messages().empty());
}

}  // namespace
