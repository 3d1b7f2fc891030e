// The progress line: its text, when it is drawn, and that it leaves nothing.
#include <gtest/gtest.h>

#include <sstream>

#include "progress.h"

namespace {

using std::chrono::hours;

TEST(Progress, DrawsDoneOfTotalOnceDueThenErasesItself) {
  const std::string line = "Importing a.reg: 50 of 200 changes (25%)";
  std::ostringstream out;
  {
    Progress progress("Importing a.reg", 200, "changes", out, true, Progress::Clock::duration(0));
    progress.Update(50);
    progress.Update(60);  // within a tenth of a second of the first: not drawn
    EXPECT_EQ("\r" + line, out.str());
  }
  EXPECT_EQ("\r" + line + "\r" + std::string(line.size(), ' ') + "\r", out.str());

  std::ostringstream unknown;
  Progress(" Reading", 0, "keys", unknown, true, Progress::Clock::duration(0)).Update(7);
  EXPECT_EQ("\r Reading: 7 keys\r" + std::string(16, ' ') + "\r", unknown.str());
}

TEST(Progress, ShortWorkAndNoTerminalSeeNothing) {
  std::ostringstream soon, elsewhere;
  Progress("Importing", 10, "changes", soon, true, hours(1)).Update(5);
  Progress("Importing", 10, "changes", elsewhere, false, Progress::Clock::duration(0)).Update(5);
  EXPECT_EQ("", soon.str());
  EXPECT_EQ("", elsewhere.str());
}

}  // namespace
