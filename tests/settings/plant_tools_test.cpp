// Plant tools: starting both tools with " /reg" from the "SSTOOLS" folder,
// and the interface file stored per user for both tools.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "program_record.h"
#include "settings_test.h"

namespace {

using regtest::Text;

// Writes "record.<name>" next to itself: its process id, then its arguments
// one per line in brackets.
const char* const kRecorder =
    "#!/bin/sh\n"
    "out=\"$(dirname \"$0\")/record.$(basename \"$0\")\"\n"
    "{ echo $$; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; } > \"$out.tmp\"\n"
    "mv \"$out.tmp\" \"$out\"\n";

class PlantToolsTest : public SettingsTest {
 protected:
  // An "SSTOOLS" folder holding both tools as recorders; returns its text.
  std::string MakeToolsFolder(const std::string& name) {
    const std::string folder = registry_.dir() + "/" + name + "/";
    std::filesystem::create_directory(folder);
    for (const char* program : {"ssdraw.exe", "ssshow.exe"}) {
      std::ofstream(folder + program) << kRecorder;
      chmod((folder + program).c_str(), 0755);
    }
    Store(kProgramme, "SSTOOLS", Text(folder));
    return folder;
  }
};

TEST_F(PlantToolsTest, StartsBothToolsWithRegInOrderFromAFolderWithBlanks) {
  const std::string folder = MakeToolsFolder("plant tools");
  EXPECT_EQ(store_.SetBasicRegStructAnlProjAnlVisu(), 0);
  const auto draw = RecordOf(folder + "ssdraw.exe");
  const auto show = RecordOf(folder + "ssshow.exe");
  ASSERT_EQ(draw.size(), 2u);
  ASSERT_EQ(show.size(), 2u);
  EXPECT_EQ(draw[1], "[/reg]");
  EXPECT_EQ(show[1], "[/reg]");
  // Started one after the other: the drawing tool got the lower process id.
  EXPECT_LT(std::stol(draw[0]), std::stol(show[0]));
  EXPECT_TRUE(reports_.messages().empty());
}

TEST_F(PlantToolsTest, ToolsThatCannotStartStillGiveZero) {
  Store(kProgramme, "SSTOOLS", Text(registry_.dir() + "/missing/"));
  EXPECT_EQ(store_.SetBasicRegStructAnlProjAnlVisu(), 0);
  EXPECT_TRUE(reports_.messages().empty());
}

const std::string kProjKey = "SOFTWARE\\TORVALE\\Vevidoraridoziziduru\\Settings";
const std::string kVisuKey = "SOFTWARE\\TORVALE\\Rerodidodedoviruvizid\\Settings";

class InterfaceFileTest : public SettingsTest {
 protected:
  CString strPfad_ = "P:\\plant\\para.ssf";
  CString strRead_ = "kept";
};

TEST_F(InterfaceFileTest, WrittenToBothToolsPerUserAndReadFromTheFirst) {
  regtest::CreateKey(HKEY_CURRENT_USER, kProjKey);
  regtest::CreateKey(HKEY_CURRENT_USER, kVisuKey);
  ASSERT_EQ(store_.SetSchnittstellendateiPfadUndName(strPfad_), 0);
  for (const std::string* key : {&kProjKey, &kVisuKey}) {
    const auto stored = regtest::Get(HKEY_CURRENT_USER, *key, "ParaFile");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(stored->bytes.size(), 256u);
    EXPECT_FALSE(regtest::KeyExists(HKEY_LOCAL_MACHINE, *key));
  }
  regtest::Put(HKEY_CURRENT_USER, kVisuKey, "ParaFile", Text("other"));
  ASSERT_EQ(store_.GetSchnittstellendateiPfadUndName(strRead_), 0);
  EXPECT_STREQ(strRead_, "P:\\plant\\para.ssf");
  // Paths over 255 characters are refused.
  CString strLong = std::string(256, 'p').c_str();
  EXPECT_EQ(store_.SetSchnittstellendateiPfadUndName(strLong), -1);
  EXPECT_EQ(
      reports_.messages(),
      std::vector<std::string>({ReportCapture::LibraryMessage(102, kProjKey + "\\ParaFile")}));
}

TEST_F(InterfaceFileTest, MissingFirstKeyWritesNothingMissingSecondKeepsTheFirst) {
  regtest::CreateKey(HKEY_CURRENT_USER, kVisuKey);
  EXPECT_EQ(store_.SetSchnittstellendateiPfadUndName(strPfad_), -1);
  EXPECT_FALSE(regtest::Get(HKEY_CURRENT_USER, kVisuKey, "ParaFile"));
  EXPECT_EQ(store_.GetSchnittstellendateiPfadUndName(strRead_), -1);
  EXPECT_STREQ(strRead_, "kept");
  regtest::DeleteTree(HKEY_CURRENT_USER, kVisuKey);
  regtest::CreateKey(HKEY_CURRENT_USER, kProjKey);
  EXPECT_EQ(store_.SetSchnittstellendateiPfadUndName(strPfad_), -1);
  EXPECT_EQ(store_.GetSchnittstellendateiPfadUndName(strRead_), 0);
  EXPECT_STREQ(strRead_, strPfad_);
  const std::string proj = ReportCapture::LibraryMessage(100, kProjKey);
  EXPECT_EQ(reports_.messages(),
            std::vector<std::string>({proj, proj, ReportCapture::LibraryMessage(100, kVisuKey)}));
}

}  // namespace
