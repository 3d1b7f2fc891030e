#include "reg_file_write.h"

#include <sys/stat.h>

#include <iostream>

#include "cli_common.h"
#include "output_file.h"

int WriteRegFileTo(const RegFile& file, const std::string& fileName, bool force, bool privateFile) {
  const std::string unwritable = UnwritableName(file);
  if (!unwritable.empty()) {
    return Fail("cannot write " + fileName + ": " + unwritable);
  }
  struct stat st;
  if (stat(fileName.c_str(), &st) == 0) {
    const std::string refusal = Confirm("File " + fileName + " exists, overwrite?", force);
    if (!refusal.empty()) return Fail(fileName + " exists and is kept: " + refusal);
  }
  const std::string failure = WriteOutputFile(fileName, SerializeRegFile(file), privateFile);
  if (!failure.empty()) return Fail("cannot write " + fileName + ": " + failure);
  std::cout << kDone << "\n";
  return kExitSuccess;
}
