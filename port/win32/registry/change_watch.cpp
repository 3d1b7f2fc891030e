#include "change_watch.h"

#include <pthread.h>

#include <chrono>
#include <string_view>

#include "change_history.h"

namespace vreg {
namespace {

// How often a stopping thread is woken again, for the case that the first
// wake came between its last look at the source and its sleep.
constexpr std::chrono::microseconds kWakeAgain{200};

// How long the thread waits before it reads again the changes it could not.
constexpr std::chrono::seconds kRetryScan{1};

// A change as the history records it, its key folded.
struct Change {
  std::string_view kind;  // kKeyCreated, kKeyDeleted, kValueSet, kValueDeleted
  std::string_view key;
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

}  // namespace

ChangeWatch::ChangeWatch(std::unique_ptr<ChangeSource> source) : source_(std::move(source)) {}

ChangeWatch::~ChangeWatch() {
  std::unique_lock<std::mutex> lock(mutex_);
  registrations_.clear();
  stop(lock);
}

LONG ChangeWatch::add(Registration registration) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (registrations_.empty()) {
    const LONG result = source_->startingPlace(&lastSeen_);
    if (result != ERROR_SUCCESS) return result;
  } else {
    // What cannot be read now the thread reads later: then changes made
    // before this registration may signal it too.
    scan();
  }
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

bool ChangeWatch::followable() {
  uint64_t ignored;
  return source_->current(&ignored);
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
  while (!runner->done) {
    source_->wake();
    retry_.notify_all();
    lock.unlock();
    std::this_thread::sleep_for(kWakeAgain);
    lock.lock();
  }
  runner->thread.join();
}

void ChangeWatch::run(std::shared_ptr<Runner> runner) {
  pthread_setname_np(pthread_self(), "registry-watch");
  std::unique_lock<std::mutex> lock(mutex_);
  while (!runner->stop && !registrations_.empty()) {
    uint64_t seen;
    if (!source_->current(&seen)) {
      lock.unlock();
      source_->waitUntilFollowable();
      lock.lock();
      continue;
    }
    // Everything committed before the position read `seen` is read now; a
    // commit after it moves the position, and the wait returns at once.
    // What could not be read (a server gone again) is read at a later try.
    if (scan() != ERROR_SUCCESS) {
      retry_.wait_for(lock, kRetryScan, [&] { return runner->stop.load(); });
      continue;
    }
    lock.unlock();
    source_->waitForChange(seen);
    lock.lock();
  }
  runner->done = true;
}

LONG ChangeWatch::scan() {
  if (registrations_.empty()) return ERROR_SUCCESS;
  int64_t newest;
  const LONG result = source_->newestRecord(&newest);
  if (result != ERROR_SUCCESS || newest == lastSeen_) return result;
  // Emptied and begun again, or records removed by the retention before
  // they were read, or a history that cannot be read: what happened is
  // unknown, and better a registration signalled for nothing than a change
  // missed.
  const bool complete =
      newest > lastSeen_ &&
      source_->readChanges(lastSeen_, newest, [&](std::string_view kind, std::string_view key) {
        const Change change{kind, key};
        fire([&](const Registration& r) { return concerns(r, change); });
      });
  if (!complete) fire([](const Registration&) { return true; });
  lastSeen_ = newest;
  return ERROR_SUCCESS;
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
