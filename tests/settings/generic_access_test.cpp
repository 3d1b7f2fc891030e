// Generic key access: any text or number under a key path the caller names,
// the three named values and the plant tools' interface file read and
// written through it.
#include "settings_test.h"

namespace {

using regtest::Bytes;
using regtest::Text;
using regtest::Value;

const std::string kKey = "SOFTWARE\\Test\\Generic";
const std::string kProjKey = "SOFTWARE\\TORVALE\\Vevidoraridoziziduru\\Settings";
const std::string kVisuKey = "SOFTWARE\\TORVALE\\Rerodidodedoviruvizid\\Settings";

const auto Message = ReportCapture::LibraryMessage;

// A text as the generic access stores it: the whole 256-byte buffer.
Value Padded(const std::string& text) {
  return {REG_SZ, text + std::string(256 - text.size(), '\0')};
}

class GenericAccessTest : public SettingsTest {
 protected:
  CString key_ = kKey.c_str(), name_ = "VALUE";
};

TEST_F(GenericAccessTest, FailuresAreReportedWithThePathAndLeaveTheOutArgument) {
  CString strValue = "before";
  unsigned long dwValue = 42;
  // Every operation once, the number operations with and without reports.
  const auto runAll = [&](bool refuseWrites) {
    for (int bReport : {1, 0}) {
      EXPECT_EQ(store_.GetDWordKey(key_, name_, dwValue, bReport), -1);
      if (refuseWrites) RegDiagFailNth(REGDIAG_SET, 1, ERROR_ACCESS_DENIED);
      EXPECT_EQ(store_.SetDWordKey(key_, name_, 1, bReport), -1);
    }
    EXPECT_EQ(store_.GetStringKey(key_, name_, strValue), -1);
    EXPECT_EQ(store_.GetStringKeyCurrentUser(key_, name_, strValue), -1);
    for (auto set : {&S::SetStringKey, &S::SetStringKeyCurrentUser}) {
      if (refuseWrites) RegDiagFailNth(REGDIAG_SET, 1, ERROR_ACCESS_DENIED);
      EXPECT_EQ((store_.*set)(key_, name_, strValue), -1);
    }
  };
  runAll(false);
  EXPECT_EQ(reports_.messages(), std::vector<std::string>(6, Message(100, kKey)));
  EXPECT_FALSE(regtest::KeyExists(HKEY_LOCAL_MACHINE, kKey));
  EXPECT_FALSE(regtest::KeyExists(HKEY_CURRENT_USER, kKey));

  reports_.clear();
  regtest::CreateKey(HKEY_LOCAL_MACHINE, kKey);
  regtest::CreateKey(HKEY_CURRENT_USER, kKey);
  runAll(true);
  const std::string read = Message(101, kKey + "\\VALUE"), write = Message(102, kKey + "\\VALUE");
  EXPECT_EQ(reports_.messages(), std::vector<std::string>({read, write, read, read, write, write}));
  EXPECT_STREQ(strValue, "before");
  EXPECT_EQ(dwValue, 42u);
}

TEST_F(GenericAccessTest, TextsUpTo255CharactersAreWrittenAsThe256ByteBuffer) {
  regtest::CreateKey(HKEY_LOCAL_MACHINE, kKey);
  for (const std::string& text : {std::string(), std::string("abc"), std::string(255, 'x')}) {
    CString strValue = text.c_str(), strBack;
    ASSERT_EQ(store_.SetStringKey(key_, name_, strValue), 0);
    EXPECT_EQ(Stored(kKey, "VALUE"), Padded(text));
    ASSERT_EQ(store_.GetStringKey(key_, name_, strBack), 0);
    EXPECT_EQ(std::string(strBack), text);
  }
  // 256 characters are refused on write and cannot be read.
  CString strValue = std::string(256, 'y').c_str();
  EXPECT_EQ(store_.SetStringKey(key_, name_, strValue), -1);
  EXPECT_EQ(Stored(kKey, "VALUE"), Padded(std::string(255, 'x')));
  Store(kKey, "VALUE", Text(std::string(256, 'z')));
  EXPECT_EQ(store_.GetStringKey(key_, name_, strValue), -1);
  EXPECT_EQ(strValue.GetLength(), 256);
  EXPECT_EQ(reports_.messages(), std::vector<std::string>({Message(102, kKey + "\\VALUE"),
                                                           Message(101, kKey + "\\VALUE")}));
}

TEST_F(GenericAccessTest, NumbersAreFourByteDwordsOfTheLow32Bits) {
  regtest::CreateKey(HKEY_LOCAL_MACHINE, kKey);
  ASSERT_EQ(store_.SetDWordKey(key_, name_, static_cast<unsigned long>(0x1'2345'6789ull), 1), 0);
  EXPECT_EQ(Stored(kKey, "VALUE"), (Value{REG_DWORD, Bytes({0x89, 0x67, 0x45, 0x23})}));
  unsigned long dwValue = 0;
  ASSERT_EQ(store_.GetDWordKey(key_, name_, dwValue, 1), 0);
  EXPECT_EQ(dwValue, 0x23456789u);
  // A shorter value fills the low bytes; a longer one cannot be read.
  Store(kKey, "VALUE", {REG_BINARY, Bytes({0x2c, 0x01})});
  ASSERT_EQ(store_.GetDWordKey(key_, name_, dwValue, 1), 0);
  EXPECT_EQ(dwValue, 300u);
  Store(kKey, "VALUE", {REG_BINARY, Bytes({1, 2, 3, 4, 5})});
  EXPECT_EQ(store_.GetDWordKey(key_, name_, dwValue, 1), -1);
  EXPECT_EQ(dwValue, 300u);
}

TEST_F(GenericAccessTest, NamedValuesAreReadFromTheirKeys) {
  Store(kUserInfo, "COMPANY", Text("Torvale"));
  Store(kProgramme, "VARNO", Text("C:\\VARNO4\\"));
  CString strValue;
  ASSERT_EQ(store_.GetUserInfoCompany(strValue), 0);
  EXPECT_STREQ(strValue, "Torvale");
  ASSERT_EQ(store_.GetVarnoBasePath(strValue), 0);
  EXPECT_STREQ(strValue, "C:\\VARNO4\\");
  EXPECT_EQ(store_.GetUserInfoName(strValue), -1);
  Store(kUserInfo, "NAME", Text("Anna"));
  ASSERT_EQ(store_.GetUserInfoName(strValue), 0);
  EXPECT_STREQ(strValue, "Anna");
  EXPECT_EQ(reports_.messages(), std::vector<std::string>({Message(101, kUserInfo + "\\NAME")}));
}

// Written to both tools' keys for the user, the first key first; read from
// the first.
TEST_F(GenericAccessTest, InterfaceFileIsStoredPerUserForBothPlantTools) {
  CString strPfad = "P:\\plant\\para.ssf", strRead = "kept";
  regtest::CreateKey(HKEY_CURRENT_USER, kVisuKey);
  EXPECT_EQ(store_.SetSchnittstellendateiPfadUndName(strPfad), -1);
  EXPECT_FALSE(regtest::Get(HKEY_CURRENT_USER, kVisuKey, "ParaFile"));
  EXPECT_EQ(store_.GetSchnittstellendateiPfadUndName(strRead), -1);
  EXPECT_STREQ(strRead, "kept");
  regtest::DeleteTree(HKEY_CURRENT_USER, kVisuKey);
  regtest::CreateKey(HKEY_CURRENT_USER, kProjKey);
  EXPECT_EQ(store_.SetSchnittstellendateiPfadUndName(strPfad), -1);
  EXPECT_EQ(store_.GetSchnittstellendateiPfadUndName(strRead), 0);
  EXPECT_STREQ(strRead, strPfad);
  EXPECT_EQ(reports_.messages(),
            std::vector<std::string>(
                {Message(100, kProjKey), Message(100, kProjKey), Message(100, kVisuKey)}));
  reports_.clear();
  regtest::CreateKey(HKEY_CURRENT_USER, kVisuKey);
  ASSERT_EQ(store_.SetSchnittstellendateiPfadUndName(strPfad), 0);
  for (const std::string* key : {&kProjKey, &kVisuKey}) {
    EXPECT_EQ(regtest::Get(HKEY_CURRENT_USER, *key, "ParaFile"), Padded("P:\\plant\\para.ssf"));
  }
  regtest::Put(HKEY_CURRENT_USER, kVisuKey, "ParaFile", Text("other"));
  ASSERT_EQ(store_.GetSchnittstellendateiPfadUndName(strRead), 0);
  EXPECT_STREQ(strRead, strPfad);
  EXPECT_TRUE(reports_.messages().empty());
}

}  // namespace
