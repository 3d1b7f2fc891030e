#include "change_watch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <chrono>
#include <string_view>

#include "change_history.h"
#include "hive_file.h"
#include "name_folding.h"
#include "sqlite_statement.h"

namespace vreg {
namespace {

// How often a stopping thread is woken again, for the case that the first
// wake came between its last look at the counter and its sleep.
constexpr std::chrono::microseconds kWakeAgain{200};

// A change as the history records it, its key folded.
struct Change {
  std::string_view kind;  // kKeyCreated, kKeyDeleted, kValueSet, kValueDeleted
  std::string key;
};

std::string_view parentOf(std::string_view path) {
  const size_t sep = path.rfind('\\');
  return sep == std::string_view::npos ? std::string_view() : path.substr(0, sep);
}

// Whether `path` is a key below `key` (at any depth).
bool isBelow(std::string_view path, std::string_view key) {
  if (key.empty()) return !path.empty();
  return path.size() > key.size() && path.compare(0, key.size(), key) == 0 &&
         path[key.size()] == '\\';
}

bool concerns(const Registration& r, const Change& c) {
  if (c.kind == kKeyDeleted && c.key == r.key) return true;
  const bool valueChange = c.kind == kValueSet || c.kind == kValueDeleted;
  if (valueChange) {
    return (r.filter & REG_NOTIFY_CHANGE_LAST_SET) &&
           (c.key == r.key || (r.subtree && isBelow(c.key, r.key)));
  }
  return (r.filter & REG_NOTIFY_CHANGE_NAME) &&
         (parentOf(c.key) == r.key || (r.subtree && isBelow(c.key, r.key)));
}

std::string directoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

ChangeWatch::Runner::Runner() : stopFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

ChangeWatch::Runner::~Runner() { close(stopFd); }

ChangeWatch::ChangeWatch(const HiveLocation& hive)
    : hivePath_(hive.path), counter_(hive.path, hive.kind) {}

ChangeWatch::~ChangeWatch() {
  std::unique_lock<std::mutex> lock(mutex_);
  registrations_.clear();
  stop(lock);
  closeHistory();
}

LONG ChangeWatch::add(Registration registration) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (registrations_.empty()) {
    lastSeen_ = newestRecord();
  } else {
    scan();
  }
  uint64_t ignored;
  if (!counter_.current(&ignored) && access(directoryOf(hivePath_).c_str(), F_OK) != 0)
    return ERROR_PATH_NOT_FOUND;
  registrations_.push_back(std::move(registration));
  if (runner_ && !runner_->done) return ERROR_SUCCESS;
  // A thread that left on its own (it found no registrations) is joined here.
  if (runner_) runner_->thread.join();
  runner_ = std::make_shared<Runner>();
  runner_->thread = std::thread(&ChangeWatch::run, this, runner_);
  return ERROR_SUCCESS;
}

void ChangeWatch::release(const std::function<bool(const Registration&)>& matches) {
  std::unique_lock<std::mutex> lock(mutex_);
  fire(matches);
  if (registrations_.empty()) stop(lock);
}

bool ChangeWatch::counterPresent() {
  std::lock_guard<std::mutex> lock(mutex_);
  uint64_t ignored;
  return counter_.current(&ignored);
}

void ChangeWatch::takeInChanges() {
  std::lock_guard<std::mutex> lock(mutex_);
  scan();
}

// Stops the thread and waits for it to end; with mutex_ held on entry and
// on return.
void ChangeWatch::stop(std::unique_lock<std::mutex>& lock) {
  std::shared_ptr<Runner> runner = std::move(runner_);
  if (!runner) return;
  runner->stop = true;
  const uint64_t one = 1;
  while (!runner->done) {
    counter_.wakeWaiters();
    (void)!write(runner->stopFd, &one, sizeof one);
    lock.unlock();
    std::this_thread::sleep_for(kWakeAgain);
    lock.lock();
  }
  runner->thread.join();
}

void ChangeWatch::run(std::shared_ptr<Runner> runner) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!runner->stop && !registrations_.empty()) {
    uint64_t seen;
    if (!counter_.current(&seen)) {
      lock.unlock();
      waitForCounterFile(*runner);
      lock.lock();
      continue;
    }
    // Everything committed before the counter read `seen` is read now; a
    // commit after it moves the counter, and the wait returns at once.
    scan();
    lock.unlock();
    counter_.waitForChange(seen);
    lock.lock();
  }
  runner->done = true;
}

// No counter file yet: no writer has written the hive since it was made by
// an older version, or it does not exist and this process may not create
// it. The first writer creates the file in the hive's directory.
void ChangeWatch::waitForCounterFile(const Runner& runner) {
  const int fd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  if (fd < 0) return;
  if (inotify_add_watch(fd, directoryOf(hivePath_).c_str(), IN_CREATE | IN_MOVED_TO) >= 0) {
    uint64_t ignored;
    std::unique_lock<std::mutex> lock(mutex_);
    const bool present = counter_.current(&ignored);
    lock.unlock();
    if (!present && !runner.stop) {
      pollfd fds[2] = {{fd, POLLIN, 0}, {runner.stopFd, POLLIN, 0}};
      poll(fds, 2, -1);
    }
  }
  close(fd);
}

bool ChangeWatch::openHistory() {
  if (db_) return true;
  if (recogniseHiveFile(hivePath_) != ERROR_SUCCESS) return false;
  if (sqlite3_open_v2(hivePath_.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                      nullptr) != SQLITE_OK) {
    closeHistory();
    return false;
  }
  sqlite3_busy_timeout(db_, 5000);
  return true;
}

void ChangeWatch::closeHistory() {
  sqlite3_close(db_);
  db_ = nullptr;
}

// The id of the newest record, 0 when there is none (or no hive yet).
int64_t ChangeWatch::newestRecord() {
  if (!openHistory()) return 0;
  Statement q(db_, "SELECT coalesce(max(id), 0) FROM history");
  return q.step() == SQLITE_ROW ? q.integer(0) : 0;
}

void ChangeWatch::scan() {
  if (registrations_.empty() || !openHistory()) return;
  const int64_t newest = newestRecord();
  // The history was emptied and began again: what happened is unknown.
  if (newest < lastSeen_) {
    lastSeen_ = newest;
    fire([](const Registration&) { return true; });
    return;
  }
  Statement q(db_, "SELECT id, change, key FROM history WHERE id > ?1 AND id <= ?2 ORDER BY id");
  q.bind(1, lastSeen_).bind(2, newest);
  int rc;
  while ((rc = q.step()) == SQLITE_ROW) {
    // Records removed by the retention before they were read: every
    // registration may be concerned.
    if (q.integer(0) != lastSeen_ + 1) {
      fire([](const Registration&) { return true; });
      break;
    }
    lastSeen_ = q.integer(0);
    const Change change{q.text(1), foldName(q.text(2))};
    fire([&](const Registration& r) { return concerns(r, change); });
  }
  // A history that cannot be read: better a registration signalled for
  // nothing than a change missed.
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) fire([](const Registration&) { return true; });
  lastSeen_ = newest;
}

void ChangeWatch::fire(const std::function<bool(const Registration&)>& matches) {
  for (auto it = registrations_.begin(); it != registrations_.end();) {
    if (matches(*it)) {
      SetEvent(it->event);
      it = registrations_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace vreg
