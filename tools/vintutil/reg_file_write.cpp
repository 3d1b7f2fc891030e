#include "reg_file_write.h"

#include <sys/stat.h>

#include <fstream>
#include <iostream>

#include "cli_common.h"

int WriteRegFileTo(const RegFile& file, const std::string& fileName, bool force) {
  const std::string unwritable = UnwritableName(file);
  if (!unwritable.empty()) {
    return Fail("cannot write " + fileName + ": " + unwritable + ", which a .reg file cannot hold");
  }
  struct stat st;
  if (stat(fileName.c_str(), &st) == 0) {
    const std::string refusal = Confirm("File " + fileName + " exists, overwrite?", force);
    if (!refusal.empty()) return Fail(fileName + " exists and is kept: " + refusal);
  }
  const std::string bytes = SerializeRegFile(file);
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) return Fail("cannot write " + fileName);
  std::cout << kDone << "\n";
  return kExitSuccess;
}
