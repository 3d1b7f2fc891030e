// vintutil df: the free space available to the user on a disk, in MiB.
#include <KWSystemInfo.h>

#include <iostream>
#include <memory>

#include "cli_common.h"
#include "commands.h"

void AddDfCommand(CLI::App& app, int& status) {
  auto path = std::make_shared<std::string>();
  auto* df =
      app.add_subcommand("df", "Print the free space available to you on the disk of PATH, in MiB");
  df->add_option("PATH", *path, "a directory")->required();
  df->callback([path, &status] {
    CKWSystemInfo info;
    const long mebibytes = info.GetDiskFreeSpaceA(CString(path->c_str()));
    if (mebibytes == -1) {
      status = Fail("cannot get the free space of " + *path + ": missing or unreadable directory");
      return;
    }
    std::cout << mebibytes << " MiB\n";
    status = kExitSuccess;
  });
}
