// Plant tools: both tools started with " /reg" from the "SSTOOLS" folder.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "program_record.h"
#include "settings_test.h"

namespace {

// Writes "record.<name>" next to itself: its process id, then its arguments
// one per line in brackets.
const char* const kRecorder =
    "#!/bin/sh\n"
    "out=\"$(dirname \"$0\")/record.$(basename \"$0\")\"\n"
    "{ echo $$; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; } > \"$out.tmp\"\n"
    "mv \"$out.tmp\" \"$out\"\n";

TEST_F(SettingsTest, PlantToolsStartWithRegInOrderFromAFolderWithBlanks) {
  const std::string folder = registry_.dir() + "/plant tools/";
  std::filesystem::create_directory(folder);
  for (const char* program : {"ssdraw.exe", "ssshow.exe"}) {
    std::ofstream(folder + program) << kRecorder;
    chmod((folder + program).c_str(), 0755);
  }
  Store(kProgramme, "SSTOOLS", regtest::Text(folder));
  EXPECT_EQ(store_.SetBasicRegStructAnlProjAnlVisu(), 0);
  const auto draw = RecordOf(folder + "ssdraw.exe");
  const auto show = RecordOf(folder + "ssshow.exe");
  ASSERT_EQ(draw.size(), 2u);
  ASSERT_EQ(show.size(), 2u);
  EXPECT_EQ(draw[1] + show[1], "[/reg][/reg]");
  // Started one after the other: the drawing tool got the earlier process id
  // (ids grow with each start and wrap at the kernel's pid_max).
  long pidMax = 0;
  std::ifstream("/proc/sys/kernel/pid_max") >> pidMax;
  ASSERT_GT(pidMax, 0);
  const long ahead = (std::stol(show[0]) - std::stol(draw[0]) + pidMax) % pidMax;
  EXPECT_TRUE(ahead > 0 && ahead < pidMax / 2) << draw[0] << " then " << show[0];
  EXPECT_TRUE(reports_.messages().empty());
}

// A folder that cannot be used here starts nothing, even where a program
// of that name lies in the current folder, and is reported naming the
// setting.
TEST_F(SettingsTest, PlantToolsFolderThatCannotBeUsedHereStartsNothing) {
  const std::string dir = registry_.dir();
  const std::string cwd = std::filesystem::current_path();
  ASSERT_EQ(0, chdir(dir.c_str()));
  const std::string folders[] = {
      "C:\\Tools\\",  "Tools\\",      "D:/tools/",    "tools/",       "",
      dir + "/a\"b/", dir + "/a\tb/", dir + "/a\nb/", dir + "/a\rb/",
  };
  for (const std::string& folder : folders) {
    SCOPED_TRACE(folder);
    for (const char* program : {"ssdraw.exe", "ssshow.exe"}) {
      const std::string planted =
          folder.empty() || folder[0] != '/' ? dir + "/" + folder + program : folder + program;
      std::filesystem::create_directories(std::filesystem::path(planted).parent_path());
      std::ofstream(planted) << kRecorder;
      chmod(planted.c_str(), 0755);
    }
    reports_.clear();
    Store(kProgramme, "SSTOOLS", regtest::Text(folder));
    EXPECT_EQ(store_.SetBasicRegStructAnlProjAnlVisu(), -1);
    EXPECT_EQ(reports_.pairs(), Pairs({{10472, 10471}}));
  }
  ASSERT_EQ(0, chdir(cwd.c_str()));
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
    EXPECT_EQ(std::string::npos, entry.path().filename().string().find("record.")) << "started";
}

}  // namespace
