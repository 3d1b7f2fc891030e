// The changes of a served hive: the server's change notifications wake
// watchers (served_changes.h), its history says what changed. A record's
// place is the generation its transaction committed: writers commit one
// after the other, each advancing the generation by one, and every change
// is recorded, so the records of the generations after a given one are all
// there unless the retention removed the oldest of them.
#include <condition_variable>
#include <mutex>

#include "change_source.h"
#include "served_changes.h"
#include "served_replica.h"
#include "server_connection.h"

namespace vreg {
namespace {

// The records of the generations after $1 up to $2 in the order made, and in
// every row (one with nulls when there is none) the oldest generation the
// history holds, read in the same snapshot.
constexpr char kChangesAfter[] = R"sql(
SELECT h.change, h.folded_key, o.oldest
FROM (SELECT coalesce(min(generation), 0) AS oldest FROM vintutil.history) o
LEFT JOIN LATERAL (SELECT id, change, folded_key FROM vintutil.history
                   WHERE generation > $1 AND generation <= $2) h ON true
ORDER BY h.id)sql";

class ServedChangeSource final : public ChangeSource {
 public:
  ServedChangeSource(const std::string& conninfo, const std::string& replica)
      : conninfo_(conninfo),
        replica_(replica),
        changes_(conninfo, [this](uint64_t) { notifyWaiters(); }) {}

  bool current(uint64_t* position) override { return changes_.generation(position); }

  // A lost connection ends the wait too: the watch then waits until the
  // server can be followed again.
  void waitForChange(uint64_t seen) override {
    sleepUntil([&](bool listening, uint64_t now) { return !listening || now != seen; });
  }

  void waitUntilFollowable() override {
    sleepUntil([](bool listening, uint64_t) { return listening; });
  }

  void wake() override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++wakes_;
    cv_.notify_all();
  }

  LONG newestRecord(int64_t* newest) override {
    *newest = 0;
    ServerResult q = ask("SELECT generation FROM vintutil.hive", ServerParams());
    if (q.error() != ERROR_SUCCESS) return q.error();
    if (q.rows() == 1) *newest = q.integer(0, 0);
    return ERROR_SUCCESS;
  }

  // While the server cannot be reached: the generation the replica holds,
  // which this workstation's programs have read.
  LONG startingPlace(int64_t* place) override {
    const LONG result = newestRecord(place);
    int64_t copiedAt;
    uint64_t generation;
    if (result != ERROR_BAD_NETPATH || !ServedReplica::copiedAt(replica_, &copiedAt, &generation))
      return result;
    *place = int64_t(generation);
    return ERROR_SUCCESS;
  }

  bool readChanges(int64_t after, int64_t upTo, const ChangeVisitor& visit) override {
    ServerResult q = ask(kChangesAfter, ServerParams().integer(after).integer(upTo));
    if (q.error() != ERROR_SUCCESS || q.rows() == 0) return false;
    const int64_t oldest = q.integer(0, 2);
    if (after < upTo && (oldest == 0 || oldest > after + 1)) return false;
    for (int row = 0; row < q.rows(); ++row) {
      if (!q.isNull(row, 0)) visit(q.bytes(row, 0), q.bytes(row, 1));
    }
    return true;
  }

 private:
  // Sleeps until wake() or until `ready(listening, generation)` holds.
  template <typename Ready>
  void sleepUntil(Ready ready) {
    std::unique_lock<std::mutex> lock(mutex_);
    const uint64_t wakes = wakes_;
    cv_.wait(lock, [&] {
      uint64_t now = 0;
      const bool listening = changes_.generation(&now);
      return wakes_ != wakes || ready(listening, now);
    });
  }

  void notifyWaiters() {
    std::lock_guard<std::mutex> lock(mutex_);
    cv_.notify_all();
  }

  // Asks on the connection kept, or on a new one when it was lost (a
  // server restarted since the last question is noticed only now).
  ServerResult ask(const char* sql, const ServerParams& params) {
    if (server_.isOpen()) {
      ServerResult answer = server_.query(sql, params);
      if (answer.error() == ERROR_SUCCESS || server_.isOpen()) return answer;
    }
    const LONG opened = server_.open(conninfo_);
    if (opened != ERROR_SUCCESS) return ServerResult(nullptr, opened);
    return server_.query(sql, params);
  }

  const std::string conninfo_;
  const std::string replica_;
  ServerConnection server_;  // for the history; used with the watch's lock held
  std::mutex mutex_;
  std::condition_variable cv_;
  uint64_t wakes_ = 0;     // guarded by mutex_
  ServedChanges changes_;  // last: its thread calls notifyWaiters()
};

}  // namespace

std::unique_ptr<ChangeSource> servedChangeSource(const std::string& conninfo,
                                                 const std::string& replica) {
  return std::make_unique<ServedChangeSource>(conninfo, replica);
}

}  // namespace vreg
