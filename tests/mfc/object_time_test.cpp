// Run-time class information of CObject and its descendants, and CTime.
#include <afx.h>

#include <stdlib.h>
#include <string.h>

#include <vector>

#include <gtest/gtest.h>

namespace {

class CBase : public CObject {
  DECLARE_DYNAMIC(CBase)
};
IMPLEMENT_DYNAMIC(CBase, CObject)

class CDerived : public CBase {
  DECLARE_DYNAMIC(CDerived)
};
IMPLEMENT_DYNAMIC(CDerived, CBase)

TEST(RuntimeClassTest, WalksTheBaseChain) {
  CDerived derived;
  EXPECT_TRUE(derived.IsKindOf(RUNTIME_CLASS(CBase)));
  EXPECT_TRUE(derived.IsKindOf(RUNTIME_CLASS(CObject)));
  EXPECT_FALSE(CBase().IsKindOf(RUNTIME_CLASS(CDerived)));
  EXPECT_FALSE(RUNTIME_CLASS(CObject)->IsDerivedFrom(RUNTIME_CLASS(CBase)));
  CRuntimeClass* runtimeClass = static_cast<const CObject&>(derived).GetRuntimeClass();
  EXPECT_EQ(runtimeClass, &CDerived::classCDerived);
  EXPECT_STREQ(runtimeClass->m_lpszClassName, "CDerived");
  EXPECT_EQ(runtimeClass->m_nObjectSize, static_cast<int>(sizeof(CDerived)));
  EXPECT_EQ(RUNTIME_CLASS(CObject)->m_pfnGetBaseClass, nullptr);
}

TEST(CTimeTest, ConvertsBetweenLocalPartsAndTime) {
  setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
  tzset();
  // 2021-07-01 10:20:30 UTC is 12:20:30 summer time in Central Europe.
  CTime summer(static_cast<time_t>(1625134830));
  struct tm parts;
  memset(&parts, 0xCC, sizeof parts);
  ASSERT_EQ(summer.GetLocalTm(&parts), &parts);
  EXPECT_EQ(std::vector<int>({parts.tm_year, parts.tm_mon, parts.tm_mday, parts.tm_hour,
                              parts.tm_min, parts.tm_sec}),
            std::vector<int>({121, 6, 1, 12, 20, 30}));
  EXPECT_EQ(summer.GetLocalTm()->tm_hour, 12);
  EXPECT_EQ(summer.GetGmtTm(nullptr)->tm_hour, 10);
  CTime winter(2020, 1, 15, 8, 5, 9);
  EXPECT_EQ(winter.GetTime(), 1579071909);  // 07:05:09 UTC
  EXPECT_EQ(winter.GetHour(), 8);
  EXPECT_EQ(winter.GetDayOfWeek(), 4);  // Wednesday; Sunday is 1
}

}  // namespace
