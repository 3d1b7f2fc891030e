// CGeraeteBezeichnung: fields, hierarchical name and run-time class.
#include <GeraeteBezeichnung.h>

#include <gtest/gtest.h>

namespace {

// Each setter paired with its getter.
struct Field {
  const char* name;
  void (CGeraeteBezeichnung::*set)(CString);
  CString (CGeraeteBezeichnung::*get)();
};

const Field fields[] = {
    {"Anlagenname", &CGeraeteBezeichnung::SetAnlagenname, &CGeraeteBezeichnung::GetAnlagenname},
    {"Regionname", &CGeraeteBezeichnung::SetRegionname, &CGeraeteBezeichnung::GetRegionname},
    {"Geraetename", &CGeraeteBezeichnung::SetGeraetename, &CGeraeteBezeichnung::GetGeraetename},
    {"Geraetetyp", &CGeraeteBezeichnung::SetGeraetetyp, &CGeraeteBezeichnung::GetGeraetetyp},
    {"FWVersion", &CGeraeteBezeichnung::SetFWVersion, &CGeraeteBezeichnung::GetFWVersion},
    {"Betriebsart", &CGeraeteBezeichnung::SetBetriebsart, &CGeraeteBezeichnung::GetBetriebsart},
    {"MLFB", &CGeraeteBezeichnung::SetMLFB, &CGeraeteBezeichnung::GetMLFB},
    {"Bearbeitername", &CGeraeteBezeichnung::SetBearbeitername,
     &CGeraeteBezeichnung::GetBearbeitername},
    {"Autor", &CGeraeteBezeichnung::SetAutor, &CGeraeteBezeichnung::GetAutor},
    {"Erstellt", &CGeraeteBezeichnung::SetErstellt, &CGeraeteBezeichnung::GetErstellt},
    {"Kommentar", &CGeraeteBezeichnung::SetKommentar, &CGeraeteBezeichnung::GetKommentar},
    {"Zuletzt", &CGeraeteBezeichnung::SetZuletzt, &CGeraeteBezeichnung::GetZuletzt},
    {"ParSatzVersion", &CGeraeteBezeichnung::SetParSatzVersion,
     &CGeraeteBezeichnung::GetParSatzVersion},
};

TEST(DeviceDesignationTest, NewRecordIsEmpty) {
  CGeraeteBezeichnung record;
  for (const Field& field : fields) EXPECT_STREQ((record.*field.get)(), "") << field.name;
  EXPECT_STREQ(record.GetHierarchicalName(), "//");
}

TEST(DeviceDesignationTest, EveryFieldKeepsItsOwnTextUnchanged) {
  CGeraeteBezeichnung record;
  for (const Field& field : fields) {
    (record.*field.set)(CString(" ") + field.name + "/\xE4\xFC ");
  }
  for (const Field& field : fields) {
    EXPECT_EQ((record.*field.get)(), CString(" ") + field.name + "/\xE4\xFC ") << field.name;
  }
  record.SetMLFB("second");
  EXPECT_STREQ(record.GetMLFB(), "second");
}

TEST(DeviceDesignationTest, HierarchicalNameJoinsRegionPlantDevice) {
  const struct {
    const char *region, *plant, *device, *expected;
  } cases[] = {
      {"R", "A", "G", "R/A/G"},
      {"", "", "G", "//G"},
      {"R", "", "", "R//"},
      {"", "A", "", "/A/"},
      {"North/East", "A", "G", "North/East/A/G"},
  };
  for (const auto& c : cases) {
    CGeraeteBezeichnung record;
    record.SetRegionname(c.region);
    record.SetAnlagenname(c.plant);
    record.SetGeraetename(c.device);
    record.SetGeraetetyp("type");
    record.SetKommentar("comment");
    EXPECT_STREQ(record.GetHierarchicalName(), c.expected);
  }
}

TEST(DeviceDesignationTest, RuntimeClassIdentifiesTheRecord) {
  CGeraeteBezeichnung record;
  const CObject& object = record;
  EXPECT_TRUE(object.IsKindOf(RUNTIME_CLASS(CGeraeteBezeichnung)));
  EXPECT_TRUE(object.IsKindOf(RUNTIME_CLASS(CObject)));
  EXPECT_FALSE(object.IsSerializable());

  CRuntimeClass* runtimeClass = object.GetRuntimeClass();
  EXPECT_EQ(runtimeClass, &CGeraeteBezeichnung::classCGeraeteBezeichnung);
  EXPECT_STREQ(runtimeClass->m_lpszClassName, "CGeraeteBezeichnung");
  EXPECT_EQ(runtimeClass->m_wSchema, 0xFFFFu);
  EXPECT_EQ(runtimeClass->m_pfnCreateObject, nullptr);
  EXPECT_EQ(runtimeClass->CreateObject(), nullptr);
  EXPECT_EQ(runtimeClass->m_pfnGetBaseClass(), RUNTIME_CLASS(CObject));

  CObject* heapRecord = new CGeraeteBezeichnung;
  delete heapRecord;  // through the virtual destructor
}

}  // namespace
