// CGeraeteBezeichnung: fields, hierarchical name and run-time class.
#include <GeraeteBezeichnung.h>

#include <gtest/gtest.h>

namespace {

typedef CGeraeteBezeichnung Record;

// Each setter with its getter: every field starts empty and keeps its own text.
TEST(DeviceDesignationTest, EveryFieldKeepsItsOwnText) {
  const struct {
    void (Record::*set)(CString);
    CString (Record::*get)();
  } fields[] = {
      {&Record::SetAnlagenname, &Record::GetAnlagenname},
      {&Record::SetRegionname, &Record::GetRegionname},
      {&Record::SetGeraetename, &Record::GetGeraetename},
      {&Record::SetGeraetetyp, &Record::GetGeraetetyp},
      {&Record::SetFWVersion, &Record::GetFWVersion},
      {&Record::SetBetriebsart, &Record::GetBetriebsart},
      {&Record::SetMLFB, &Record::GetMLFB},
      {&Record::SetBearbeitername, &Record::GetBearbeitername},
      {&Record::SetAutor, &Record::GetAutor},
      {&Record::SetErstellt, &Record::GetErstellt},
      {&Record::SetKommentar, &Record::GetKommentar},
      {&Record::SetZuletzt, &Record::GetZuletzt},
      {&Record::SetParSatzVersion, &Record::GetParSatzVersion},
  };
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
