// Marks one assertion that holds on Windows but not under Wine: under Wine
// the assertion is skipped, with its reason printed, and the rest of the test
// runs; everywhere else it is checked as usual. Like Wine's own todo_wine,
// it names one check, never a whole test:
//
//   WINE_DIFFERENCE("Wine re-terminates the text")
//   EXPECT_EQ(0xcc, buffer[3]);
#ifndef VINTUTIL_TESTS_WINE_DIFFERENCE_H
#define VINTUTIL_TESTS_WINE_DIFFERENCE_H

// Whether the test program runs under Wine. Reports the skipped assertion
// (file, line, reason) when it does. With VINTUTIL_CHECK_WINE_DIFFERENCES
// set, nothing is skipped: a run then shows which differences Wine still has.
bool skipAsWineDifference(const char* reason, const char* file, int line);

#define WINE_DIFFERENCE(reason)                           \
  if (skipAsWineDifference(reason, __FILE__, __LINE__)) { \
  } else

#endif
