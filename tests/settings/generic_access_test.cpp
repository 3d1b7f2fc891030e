// Generic key access: any text or number under a key path the caller names,
// and the three named values read through it.
#include "settings_test.h"

namespace {

using regtest::Bytes;
using regtest::Text;

const std::string kKey = "SOFTWARE\\Test\\Generic";

class GenericAccessTest : public SettingsTest {
 protected:
  static std::string Message(unsigned int uNumber, const std::string& text) {
    return ReportCapture::LibraryMessage(uNumber, text);
  }
  CString key_ = kKey.c_str();
  CString name_ = "VALUE";
};

TEST_F(GenericAccessTest, FailuresAreReportedWithThePathAndLeaveTheOutArgument) {
  CString strValue = "before";
  unsigned long dwValue = 42;
  const auto getAll = [&] {
    EXPECT_EQ(store_.GetStringKey(key_, name_, strValue), -1);
    EXPECT_EQ(store_.GetStringKeyCurrentUser(key_, name_, strValue), -1);
    EXPECT_EQ(store_.GetDWordKey(key_, name_, dwValue, 1), -1);
  };
  getAll();
  EXPECT_EQ(store_.SetStringKey(key_, name_, strValue), -1);
  EXPECT_EQ(store_.SetStringKeyCurrentUser(key_, name_, strValue), -1);
  EXPECT_EQ(store_.SetDWordKey(key_, name_, 1, 1), -1);
  EXPECT_EQ(reports_.messages(), std::vector<std::string>(6, Message(100, kKey)));
  EXPECT_FALSE(regtest::KeyExists(HKEY_LOCAL_MACHINE, kKey));
  EXPECT_FALSE(regtest::KeyExists(HKEY_CURRENT_USER, kKey));

  reports_.clear();
  regtest::CreateKey(HKEY_LOCAL_MACHINE, kKey);
  regtest::CreateKey(HKEY_CURRENT_USER, kKey);
  getAll();
  RegDiagFailNth(REGDIAG_SET, 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(store_.SetStringKey(key_, name_, strValue), -1);
  RegDiagFailNth(REGDIAG_SET, 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(store_.SetDWordKey(key_, name_, 5, 1), -1);
  const std::string read = Message(101, kKey + "\\VALUE"), write = Message(102, kKey + "\\VALUE");
  EXPECT_EQ(reports_.messages(), (std::vector<std::string>{read, read, read, write, write}));
  EXPECT_STREQ(strValue, "before");
  EXPECT_EQ(dwValue, 42u);
}

TEST_F(GenericAccessTest, NumberAccessReportsOnlyWhenAsked) {
  unsigned long dwValue = 42;
  EXPECT_EQ(store_.GetDWordKey(key_, name_, dwValue, 0), -1);
  EXPECT_EQ(store_.SetDWordKey(key_, name_, 1, 0), -1);
  regtest::CreateKey(HKEY_LOCAL_MACHINE, kKey);
  EXPECT_EQ(store_.GetDWordKey(key_, name_, dwValue, 0), -1);
  RegDiagFailNth(REGDIAG_SET, 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(store_.SetDWordKey(key_, name_, 1, 0), -1);
  EXPECT_TRUE(reports_.messages().empty());
  EXPECT_EQ(dwValue, 42u);
}

TEST_F(GenericAccessTest, TextsUpTo255CharactersAreWrittenAsThe256ByteBuffer) {
  regtest::CreateKey(HKEY_LOCAL_MACHINE, kKey);
  for (const std::string& text : {std::string(), std::string("abc"), std::string(255, 'x')}) {
    CString strValue = text.c_str();
    ASSERT_EQ(store_.SetStringKey(key_, name_, strValue), 0);
    const auto stored = Stored(kKey, "VALUE");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_SZ));
    ASSERT_EQ(stored->bytes.size(), 256u);
    EXPECT_EQ(stored->bytes.substr(0, text.size() + 1), text + '\0');
    CString strBack;
    ASSERT_EQ(store_.GetStringKey(key_, name_, strBack), 0);
    EXPECT_EQ(std::string(strBack), text);
  }
  // 256 characters are refused on write and cannot be read.
  CString strValue = std::string(256, 'y').c_str();
  EXPECT_EQ(store_.SetStringKey(key_, name_, strValue), -1);
  EXPECT_EQ(Stored(kKey, "VALUE")->bytes[0], 'x');
  Store(kKey, "VALUE", Text(std::string(256, 'z')));
  EXPECT_EQ(store_.GetStringKey(key_, name_, strValue), -1);
  EXPECT_EQ(strValue.GetLength(), 256);
  EXPECT_EQ(reports_.messages(), (std::vector<std::string>{Message(102, kKey + "\\VALUE"),
                                                           Message(101, kKey + "\\VALUE")}));
}

TEST_F(GenericAccessTest, CurrentUserAndMachineAreSeparate) {
  regtest::CreateKey(HKEY_LOCAL_MACHINE, kKey);
  regtest::CreateKey(HKEY_CURRENT_USER, kKey);
  CString strUser = "user", strMachine = "machine";
  ASSERT_EQ(store_.SetStringKeyCurrentUser(key_, name_, strUser), 0);
  EXPECT_FALSE(Stored(kKey, "VALUE"));
  ASSERT_EQ(store_.SetStringKey(key_, name_, strMachine), 0);
  CString strValue;
  ASSERT_EQ(store_.GetStringKeyCurrentUser(key_, name_, strValue), 0);
  EXPECT_STREQ(strValue, "user");
  ASSERT_EQ(store_.GetStringKey(key_, name_, strValue), 0);
  EXPECT_STREQ(strValue, "machine");
}

TEST_F(GenericAccessTest, NumbersAreFourByteDwordsOfTheLow32Bits) {
  regtest::CreateKey(HKEY_LOCAL_MACHINE, kKey);
  ASSERT_EQ(store_.SetDWordKey(key_, name_, static_cast<unsigned long>(0x1'2345'6789ull), 1), 0);
  EXPECT_EQ(Stored(kKey, "VALUE"), (regtest::Value{REG_DWORD, Bytes({0x89, 0x67, 0x45, 0x23})}));
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
  // A missing name is reported as a generic read.
  EXPECT_EQ(store_.GetUserInfoName(strValue), -1);
  Store(kUserInfo, "NAME", Text("Anna"));
  ASSERT_EQ(store_.GetUserInfoName(strValue), 0);
  EXPECT_STREQ(strValue, "Anna");
  EXPECT_EQ(reports_.messages(), (std::vector<std::string>{Message(101, kUserInfo + "\\NAME")}));
}

}  // namespace
