// Interface parameters: decimal texts under "SCHNITTSTELLEN", by name and
// through the typed accessors.
#include <functional>

#include "settings_test.h"

namespace {

using regtest::Text;

class InterfaceParamsTest : public SettingsTest {
 protected:
  void SetUp() override { regtest::CreateKey(HKEY_LOCAL_MACHINE, kSchnittstellen); }
};

// Each 16-bit accessor pair and its value name: the setter stores the
// number as text under that name, the getter reads it back.
struct U16Accessor {
  const char* valueName;
  long (CVarnoRegInit::*get)(unsigned short&);
  long (CVarnoRegInit::*set)(unsigned short);
};

const U16Accessor kU16Accessors[] = {
    {"DEVLINKADR", &CVarnoRegInit::GetSchnittDevLinkAdr, &CVarnoRegInit::SetSchnittDevLinkAdr},
    {"DEVVDADR", &CVarnoRegInit::GetSchnittDevVDAdr, &CVarnoRegInit::SetSchnittDevVDAdr},
    {"APIVDADR", &CVarnoRegInit::GetSchnittApiVDAdr, &CVarnoRegInit::SetSchnittApiVDAdr},
    {"TAKEPARFROM", &CVarnoRegInit::GetSchnittTakeParFrom, &CVarnoRegInit::SetSchnittTakeParFrom},
    {"COMPORT", &CVarnoRegInit::GetSchnittComPort, &CVarnoRegInit::SetSchnittComPort},
    {"UARTFRAME", &CVarnoRegInit::GetSchnittUartFrame, &CVarnoRegInit::SetSchnittUartFrame},
    {"SERIALTIMEOUT", &CVarnoRegInit::GetSchnittSerialTimeout,
     &CVarnoRegInit::SetSchnittSerialTimeout},
    {"IECTIMEOUT", &CVarnoRegInit::GetSchnittIECTimeout, &CVarnoRegInit::SetSchnittIECTimeout},
    {"IECRETRY", &CVarnoRegInit::GetSchnittIECRetry, &CVarnoRegInit::SetSchnittIECRetry},
    {"CLASS2PERIOD", &CVarnoRegInit::GetSchnittClass2Period,
     &CVarnoRegInit::SetSchnittClass2Period},
    {"CLASS1PERIOD", &CVarnoRegInit::GetSchnittClass1Period,
     &CVarnoRegInit::SetSchnittClass1Period},
    {"FMSPORTPARAM", &CVarnoRegInit::GetSchnittPortParam, &CVarnoRegInit::SetSchnittPortParam},
    {"FMSUPF1WINDEX", &CVarnoRegInit::GetSchnittUPF1WIndex, &CVarnoRegInit::SetSchnittUPF1WIndex},
    {"FMSUPF1RINDEX", &CVarnoRegInit::GetSchnittUPF1RIndex, &CVarnoRegInit::SetSchnittUPF1RIndex},
    {"FMSUPF2WINDEX", &CVarnoRegInit::GetSchnittUPF2WIndex, &CVarnoRegInit::SetSchnittUPF2WIndex},
    {"FMSUPF2RINDEX", &CVarnoRegInit::GetSchnittUPF2RIndex, &CVarnoRegInit::SetSchnittUPF2RIndex},
    {"FMSUPF1LEN", &CVarnoRegInit::GetSchnittUPF1Len, &CVarnoRegInit::SetSchnittUPF1Len},
    {"FMSUPF2LEN", &CVarnoRegInit::GetSchnittUPF2Len, &CVarnoRegInit::SetSchnittUPF2Len},
    {"FMSMREADYINDEX", &CVarnoRegInit::GetSchnittMReadyIndex,
     &CVarnoRegInit::SetSchnittMReadyIndex},
};

TEST_F(InterfaceParamsTest, SixteenBitAccessorsUseTheirValueNames) {
  unsigned short wNumber = 100;
  for (const U16Accessor& accessor : kU16Accessors) {
    SCOPED_TRACE(accessor.valueName);
    ++wNumber;
    ASSERT_EQ((store_.*accessor.set)(wNumber), 0);
    EXPECT_EQ(Stored(kSchnittstellen, accessor.valueName), Text(std::to_string(wNumber)));
    Store(kSchnittstellen, accessor.valueName, Text("4711"));
    unsigned short wRead = 0;
    ASSERT_EQ((store_.*accessor.get)(wRead), 0);
    EXPECT_EQ(wRead, 4711);
  }
  EXPECT_EQ(regtest::ValueCount(HKEY_LOCAL_MACHINE, kSchnittstellen), 19u);
}

TEST_F(InterfaceParamsTest, BaudrateAndTextAccessors) {
  ASSERT_EQ(store_.SetSchnittBaudrate(115200ul), 0);
  EXPECT_EQ(Stored(kSchnittstellen, "BAUDRATE"), Text("115200"));
  unsigned long dwBaud = 0;
  ASSERT_EQ(store_.GetSchnittBaudrate(dwBaud), 0);
  EXPECT_EQ(dwBaud, 115200u);
  ASSERT_EQ(store_.SetSchnittBaudrate(4294967295ul), 0);
  ASSERT_EQ(store_.GetSchnittBaudrate(dwBaud), 0);
  EXPECT_EQ(dwBaud, 4294967295u);

  CString strDevice = "ABC", strVfd = "VFD1";
  ASSERT_EQ(store_.SetSchnittDeviceName(strDevice), 0);
  ASSERT_EQ(store_.SetSchnittVFDName(strVfd), 0);
  EXPECT_STREQ(strDevice, "ABC");
  EXPECT_EQ(Stored(kSchnittstellen, "FMSAPPENTRYPOINT"), Text("ABC"));
  EXPECT_EQ(Stored(kSchnittstellen, "FMSVFDNAME"), Text("VFD1"));
  CString strRead;
  ASSERT_EQ(store_.GetSchnittPar("FMSAPPENTRYPOINT", strRead), 0);
  EXPECT_STREQ(strRead, "ABC");
  ASSERT_EQ(store_.GetSchnittVFDName(strRead), 0);
  EXPECT_STREQ(strRead, "VFD1");
  EXPECT_EQ(regtest::ValueCount(HKEY_LOCAL_MACHINE, kSchnittstellen), 3u);
}

TEST_F(InterfaceParamsTest, NumbersAreStoredAsPlainDecimalText) {
  ASSERT_EQ(store_.SetSchnittComPort(2), 0);
  EXPECT_EQ(Stored(kSchnittstellen, "COMPORT"), Text("2"));
  ASSERT_EQ(store_.SetSchnittIECRetry(0), 0);
  EXPECT_EQ(Stored(kSchnittstellen, "IECRETRY"), Text("0"));
  ASSERT_EQ(store_.SetSchnittClass1Period(65535), 0);
  EXPECT_EQ(Stored(kSchnittstellen, "CLASS1PERIOD"), Text("65535"));
  ASSERT_EQ(store_.SetSchnittPar("T103VDADR", static_cast<unsigned short>(12)), 0);
  EXPECT_EQ(Stored(kSchnittstellen, "T103VDADR"), Text("12"));
  ASSERT_EQ(store_.SetSchnittPar("", static_cast<unsigned long>(0x1'0000'0007ull)), 0);
  EXPECT_EQ(Stored(kSchnittstellen, ""), Text("7"));
}

// Stored text -> what the 16-bit and the 32-bit getters read.
struct Parse {
  const char* text;
  unsigned short w;
  unsigned long dw;
};

const Parse kParses[] = {
    {" 19", 19, 19},        {"12abc", 12, 12},           {"abc", 0, 0}, {"", 0, 0},
    {"70000", 4464, 70000}, {"-1", 65535, 4294967295ul}, {"+5", 5, 5},  {"\t\n 8", 8, 8},
    {"4294967296", 0, 0},   {"4294967297", 1, 1},        {"-", 0, 0},
};

TEST_F(InterfaceParamsTest, NumbersAreParsedAsWindowsSscanfDoes) {
  for (const Parse& parse : kParses) {
    SCOPED_TRACE(parse.text);
    Store(kSchnittstellen, "P", Text(parse.text));
    unsigned short w = 999;
    unsigned long dw = 999;
    EXPECT_EQ(store_.GetSchnittPar("P", w), 0);
    EXPECT_EQ(store_.GetSchnittPar("P", dw), 0);
    EXPECT_EQ(w, parse.w);
    EXPECT_EQ(dw, parse.dw);
  }
}

TEST_F(InterfaceParamsTest, MissingOrOverlongValuesFailSilently) {
  unsigned short w = 999;
  CString str = "kept";
  EXPECT_EQ(store_.GetSchnittPar("NOPE", w), -1);
  EXPECT_EQ(w, 999);
  Store(kSchnittstellen, "LONG", Text(std::string(1256, 'x')));
  EXPECT_EQ(store_.GetSchnittPar("LONG", str), -1);
  EXPECT_STREQ(str, "kept");
  Store(kSchnittstellen, "LONGEST", Text(std::string(1255, 'x')));
  ASSERT_EQ(store_.GetSchnittPar("LONGEST", str), 0);
  EXPECT_EQ(str.GetLength(), 1255);
  // A text setter refuses what does not fit the buffer.
  CString strLong = std::string(1256, 'y').c_str();
  EXPECT_EQ(store_.SetSchnittPar("LONG", strLong), -1);
  EXPECT_EQ(Stored(kSchnittstellen, "LONG"), Text(std::string(1256, 'x')));
  EXPECT_TRUE(reports_.reports().empty());
}

TEST_F(InterfaceParamsTest, UsesTheStoreBuffersAndClosesTheMemberKey) {
  ASSERT_EQ(store_.SetSchnittPar("X", static_cast<unsigned short>(42)), 0);
  EXPECT_STREQ(store_.m_szWert, "42");
  EXPECT_EQ(store_.m_dwGroesse, 3u);
  unsigned short w = 0;
  ASSERT_EQ(store_.GetSchnittPar("X", w), 0);
  EXPECT_EQ(store_.m_dwTyp, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(store_.m_dwGroesse, 3u);
  EXPECT_EQ(store_.m_hKeySchnittstellen, nullptr);
}

}  // namespace
