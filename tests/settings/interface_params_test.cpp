// Interface parameters: decimal texts under "SCHNITTSTELLEN", by name and
// through the typed accessors.
#include "settings_test.h"

namespace {

using regtest::Text;

// Each 16-bit accessor pair and its value name.
struct U16Accessor {
  const char* valueName;
  long (S::*get)(unsigned short&);
  long (S::*set)(unsigned short);
};

#define ACCESSOR(text, Name) \
  { text, &S::GetSchnitt##Name, &S::SetSchnitt##Name }
const U16Accessor kU16Accessors[] = {ACCESSOR("DEVLINKADR", DevLinkAdr),
                                     ACCESSOR("DEVVDADR", DevVDAdr),
                                     ACCESSOR("APIVDADR", ApiVDAdr),
                                     ACCESSOR("TAKEPARFROM", TakeParFrom),
                                     ACCESSOR("COMPORT", ComPort),
                                     ACCESSOR("UARTFRAME", UartFrame),
                                     ACCESSOR("SERIALTIMEOUT", SerialTimeout),
                                     ACCESSOR("IECTIMEOUT", IECTimeout),
                                     ACCESSOR("IECRETRY", IECRetry),
                                     ACCESSOR("CLASS2PERIOD", Class2Period),
                                     ACCESSOR("CLASS1PERIOD", Class1Period),
                                     ACCESSOR("FMSPORTPARAM", PortParam),
                                     ACCESSOR("FMSUPF1WINDEX", UPF1WIndex),
                                     ACCESSOR("FMSUPF1RINDEX", UPF1RIndex),
                                     ACCESSOR("FMSUPF2WINDEX", UPF2WIndex),
                                     ACCESSOR("FMSUPF2RINDEX", UPF2RIndex),
                                     ACCESSOR("FMSUPF1LEN", UPF1Len),
                                     ACCESSOR("FMSUPF2LEN", UPF2Len),
                                     ACCESSOR("FMSMREADYINDEX", MReadyIndex)};
#undef ACCESSOR

TEST_F(SettingsTest, AccessorsStorePlainDecimalTextUnderTheirValueNames) {
  regtest::CreateKey(HKEY_LOCAL_MACHINE, kSchnittstellen);
  unsigned short wNumber = 65535 - 19;
  for (const U16Accessor& accessor : kU16Accessors) {
    SCOPED_TRACE(accessor.valueName);
    ASSERT_EQ((store_.*accessor.set)(++wNumber), 0);
    EXPECT_EQ(Stored(kSchnittstellen, accessor.valueName), Text(std::to_string(wNumber)));
    Store(kSchnittstellen, accessor.valueName, Text("4711"));
    unsigned short wRead = 0;
    ASSERT_EQ((store_.*accessor.get)(wRead), 0);
    EXPECT_EQ(wRead, 4711);
  }
  ASSERT_EQ(store_.SetSchnittBaudrate(4294967295ul), 0);
  EXPECT_EQ(Stored(kSchnittstellen, "BAUDRATE"), Text("4294967295"));
  unsigned long dwBaud = 0;
  ASSERT_EQ(store_.GetSchnittBaudrate(dwBaud), 0);
  EXPECT_EQ(dwBaud, 4294967295u);
  CString strDevice = "ABC", strVfd = "VFD1", strRead;
  ASSERT_EQ(store_.SetSchnittDeviceName(strDevice), 0);
  ASSERT_EQ(store_.SetSchnittVFDName(strVfd), 0);
  EXPECT_EQ(Stored(kSchnittstellen, "FMSAPPENTRYPOINT"), Text("ABC"));
  ASSERT_EQ(store_.GetSchnittVFDName(strRead), 0);
  EXPECT_STREQ(strRead, "VFD1");
  ASSERT_EQ(store_.GetSchnittDeviceName(strRead), 0);
  EXPECT_STREQ(strRead, "ABC");
  EXPECT_EQ(regtest::ValueCount(HKEY_LOCAL_MACHINE, kSchnittstellen), 22u);
  // A 32-bit number by name keeps its low 32 bits.
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

TEST_F(SettingsTest, InterfaceNumbersAreParsedAsWindowsSscanfDoes) {
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

// Texts pass through the 1256-byte buffer; what does not fit fails silently.
TEST_F(SettingsTest, InterfaceTextsUpTo1255Bytes) {
  CString str = "kept", strLong = std::string(1256, 'y').c_str();
  Store(kSchnittstellen, "LONG", Text(std::string(1256, 'x')));
  EXPECT_EQ(store_.GetSchnittPar("LONG", str), -1);
  EXPECT_STREQ(str, "kept");
  EXPECT_EQ(store_.SetSchnittPar("LONG", strLong), -1);
  EXPECT_EQ(Stored(kSchnittstellen, "LONG"), Text(std::string(1256, 'x')));
  Store(kSchnittstellen, "LONGEST", Text(std::string(1255, 'x')));
  ASSERT_EQ(store_.GetSchnittPar("LONGEST", str), 0);
  EXPECT_EQ(str.GetLength(), 1255);
  EXPECT_TRUE(reports_.messages().empty());
}

}  // namespace
