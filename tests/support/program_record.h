// Programs that tests start record their arguments in a file beside them,
// "record.<program file name>"; this reads it back.
#ifndef VINTUTIL_TESTS_PROGRAM_RECORD_H
#define VINTUTIL_TESTS_PROGRAM_RECORD_H

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

// The lines the program at `path` recorded; empty when it did not run within
// 10 s (it is started detached, so the test waits for its record).
inline std::vector<std::string> RecordOf(const std::string& path) {
  const std::filesystem::path program(path);
  const std::filesystem::path record =
      program.parent_path() / ("record." + program.filename().string());
  for (int i = 0; i < 1000 && !std::filesystem::exists(record); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::vector<std::string> lines;
  std::ifstream in(record);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

#endif
