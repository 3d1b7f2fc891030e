// CGeraeteBezeichnung: fields, hierarchical name and run-time class.
#include <GeraeteBezeichnung.h>

#include <gtest/gtest.h>

namespace {

typedef CGeraeteBezeichnung Record;

// Each setter with its getter: every field starts empty and keeps its own text.
TEST(DeviceDesignationTest, EveryFieldKeepsItsOwnText) {
#define FIELD(Name) \
  { &Record::Set##Name, &Record::Get##Name }
  const struct {
    void (Record::*set)(CString);
    CString (Record::*get)();
  } fields[] = {FIELD(Anlagenname),   FIELD(Regionname),  FIELD(Geraetename), FIELD(Geraetetyp),
                FIELD(FWVersion),     FIELD(Betriebsart), FIELD(MLFB),        FIELD(Bearbeitername),
                FIELD(Autor),         FIELD(Erstellt),    FIELD(Kommentar),   FIELD(Zuletzt),
                FIELD(ParSatzVersion)};
#undef FIELD
  Record record;
  for (const auto& field : fields) EXPECT_STREQ((record.*field.get)(), "");
  CString text;
  for (const auto& field : fields) (record.*field.set)(text += " /\xE4");
  text.Empty();
  for (const auto& field : fields) EXPECT_EQ((record.*field.get)(), text += " /\xE4");
}

TEST(DeviceDesignationTest, HierarchicalNameJoinsRegionPlantDevice) {
  const struct {
    const char *region, *plant, *device, *expected;
  } cases[] = {
      {"R", "A", "G", "R/A/G"}, {"", "", "", "//"},   {"", "", "G", "//G"},
      {"R", "", "", "R//"},     {"", "A", "", "/A/"}, {"North/East", "A", "G", "North/East/A/G"},
  };
  for (const auto& c : cases) {
    Record record;
    record.SetRegionname(c.region);
    record.SetAnlagenname(c.plant);
    record.SetGeraetename(c.device);
    record.SetGeraetetyp("type");
    EXPECT_STREQ(record.GetHierarchicalName(), c.expected);
  }
}

TEST(DeviceDesignationTest, RuntimeClassIdentifiesTheRecord) {
  Record record;
  const CObject& object = record;
  EXPECT_TRUE(object.IsKindOf(RUNTIME_CLASS(CGeraeteBezeichnung)));
  EXPECT_TRUE(object.IsKindOf(RUNTIME_CLASS(CObject)));
  CRuntimeClass* runtimeClass = object.GetRuntimeClass();
  EXPECT_STREQ(runtimeClass->m_lpszClassName, "CGeraeteBezeichnung");
  EXPECT_EQ(runtimeClass->m_wSchema, 0xFFFFu);
  EXPECT_EQ(runtimeClass->CreateObject(), nullptr);
}

}  // namespace
