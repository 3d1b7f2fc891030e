#include "progress.h"

#include <iostream>

#include "cli_common.h"

namespace {

constexpr std::chrono::milliseconds kFirstDrawAfter{500};
constexpr std::chrono::milliseconds kRedrawEvery{100};

}  // namespace

Progress::Progress(std::string label, size_t total, std::string unit)
    : Progress(std::move(label), total, std::move(unit), std::cerr,
               IsTerminal(StandardStream::kError), kFirstDrawAfter) {}

Progress::Progress(std::string label, size_t total, std::string unit, std::ostream& out, bool draw,
                   Clock::duration delay)
    : label_(std::move(label)),
      total_(total),
      unit_(std::move(unit)),
      out_(out),
      draw_(draw),
      nextDraw_(Clock::now() + delay) {}

Progress::~Progress() {
  if (drawnWidth_ > 0) out_ << '\r' << std::string(drawnWidth_, ' ') << '\r' << std::flush;
}

void Progress::Update(size_t done) {
  if (!draw_) return;
  const Clock::time_point now = Clock::now();
  if (now < nextDraw_) return;
  nextDraw_ = now + kRedrawEvery;
  std::string line = label_ + ": " + std::to_string(done);
  if (total_ > 0) line += " of " + std::to_string(total_);
  line += " " + unit_;
  if (total_ > 0) line += " (" + std::to_string(done * 100 / total_) + "%)";
  // Pads over a longer line drawn before.
  const size_t width = line.size();
  if (width < drawnWidth_) line.append(drawnWidth_ - width, ' ');
  out_ << '\r' << line << std::flush;
  drawnWidth_ = std::max(drawnWidth_, width);
}
