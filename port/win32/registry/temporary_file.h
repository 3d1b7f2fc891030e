// Files built under a temporary name beside their final one and moved into
// place whole, so that no process ever sees one half made.
#ifndef VINTUTIL_REGISTRY_TEMPORARY_FILE_H
#define VINTUTIL_REGISTRY_TEMPORARY_FILE_H

#include <string>

namespace vreg {

// A name beside `target` that no other process or call uses:
// "<target>.new-<pid>-<random>".
std::string temporaryNameFor(const std::string& target);

// Removes what processes killed while building `target` left behind: the
// temporaries of processes that no longer run, with any files SQLite made
// beside them.
void removeAbandonedTemporaries(const std::string& target);

}  // namespace vreg

#endif
