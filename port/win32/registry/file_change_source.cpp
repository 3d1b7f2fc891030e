// The changes of a hive file: its change counter wakes watchers in every
// process (change_counter.h), its history (change_history.h) says what
// changed. A record's place is its id; ids follow one another without gaps
// until the retention removes the oldest.
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <mutex>

#include "change_counter.h"
#include "change_source.h"
#include "hive_file.h"
#include "name_folding.h"
#include "sqlite_statement.h"

namespace vreg {
namespace {

std::string directoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

class FileChangeSource final : public ChangeSource {
 public:
  explicit FileChangeSource(const HiveLocation& hive)
      : hivePath_(hive.path),
        counter_(hive.path, hive.kind),
        wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

  ~FileChangeSource() override {
    sqlite3_close(db_);
    close(wakeFd_);
  }

  bool current(uint64_t* position) override {
    std::lock_guard<std::mutex> lock(mapping_);
    return counter_.current(position);
  }
  void waitForChange(uint64_t seen) override { counter_.waitForChange(seen); }

  // No counter file yet: no writer has written the hive since it was made
  // by an older version, or it does not exist and this process may not
  // create it. The first writer creates the file in the hive's directory.
  void waitUntilFollowable() override {
    const int fd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (fd < 0) return;
    uint64_t ignored;
    if (inotify_add_watch(fd, directoryOf(hivePath_).c_str(), IN_CREATE | IN_MOVED_TO) >= 0 &&
        !current(&ignored)) {
      pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
      poll(fds, 2, -1);
    }
    close(fd);
    uint64_t wakes;
    (void)!read(wakeFd_, &wakes, sizeof wakes);
  }

  void wake() override {
    counter_.wakeWaiters();
    const uint64_t one = 1;
    (void)!write(wakeFd_, &one, sizeof one);
  }

  // ERROR_PATH_NOT_FOUND when neither the counter nor the hive's directory
  // exists: nothing could ever change there.
  LONG newestRecord(int64_t* newest) override {
    *newest = 0;
    uint64_t ignored;
    if (!current(&ignored) && access(directoryOf(hivePath_).c_str(), F_OK) != 0)
      return ERROR_PATH_NOT_FOUND;
    if (!openHistory()) return ERROR_SUCCESS;
    Statement q(db_, "SELECT coalesce(max(id), 0) FROM history");
    if (q.step() == SQLITE_ROW) *newest = q.integer(0);
    return ERROR_SUCCESS;
  }

  bool readChanges(int64_t after, int64_t upTo, const ChangeVisitor& visit) override {
    if (!openHistory()) return false;
    Statement q(db_, "SELECT id, change, key FROM history WHERE id > ?1 AND id <= ?2 ORDER BY id");
    q.bind(1, after).bind(2, upTo);
    int rc;
    int64_t expected = after + 1;
    while ((rc = q.step()) == SQLITE_ROW) {
      if (q.integer(0) != expected++) return false;
      visit(q.text(1), foldName(q.text(2)));
    }
    return rc == SQLITE_DONE;
  }

 private:
  // A read-only connection to the hive, kept once made. Closing it while
  // this process's other connection to the hive holds its lock would not
  // free its descriptors: SQLite keeps them until the process's last lock
  // on the file goes, so as not to drop that lock.
  bool openHistory() {
    if (db_) return true;
    if (recogniseHiveFile(hivePath_) != ERROR_SUCCESS) return false;
    if (sqlite3_open_v2(hivePath_.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
      sqlite3_close(db_);
      db_ = nullptr;
      return false;
    }
    sqlite3_busy_timeout(db_, 5000);
    return true;
  }

  const std::string hivePath_;
  std::mutex mapping_;
  ChangeCounter counter_;  // its mapping guarded by mapping_
  const int wakeFd_;       // an eventfd, for a thread waiting for the counter file
  sqlite3* db_ = nullptr;
};

}  // namespace

std::unique_ptr<ChangeSource> fileChangeSource(const HiveLocation& hive) {
  return std::make_unique<FileChangeSource>(hive);
}

}  // namespace vreg
