// A progress line on standard error for work that may take seconds (a large
// import or export): drawn only on a terminal, only once the work has run
// for half a second, redrawn at most ten times a second, and erased when
// the work ends, so short commands, scripts and pipes see nothing of it.
#ifndef VINTUTIL_CLI_PROGRESS_H
#define VINTUTIL_CLI_PROGRESS_H

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <ostream>
#include <string>

class Progress {
 public:
  using Clock = std::chrono::steady_clock;

  // Draws "<label>: <done> of <total> <unit> (<percent>%)", or
  // "<label>: <done> <unit>" when `total` is 0 (not known).
  Progress(std::string label, size_t total, std::string unit);
  // For tests: where to draw, whether to, and after how long.
  Progress(std::string label, size_t total, std::string unit, std::ostream& out, bool draw,
           Clock::duration delay);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // `done` units of the work are done.
  void Update(size_t done);

 private:
  std::string label_;
  size_t total_;
  std::string unit_;
  std::ostream& out_;
  bool draw_;
  Clock::time_point nextDraw_;
  size_t drawnWidth_ = 0;
};

#endif
