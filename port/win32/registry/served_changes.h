// What a process knows of a served hive's changes: a thread of its own keeps
// a connection that LISTENs on the hive's change channel and holds the
// newest generation committed, so a read can tell in a few nanoseconds
// whether what it cached is still current. The replica follows the same
// generations.
#ifndef VINTUTIL_REGISTRY_SERVED_CHANGES_H
#define VINTUTIL_REGISTRY_SERVED_CHANGES_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace vreg {

class ServedChanges {
 public:
  // `changed` is called, in the thread, with each new generation learnt
  // from the server.
  ServedChanges(std::string conninfo, std::function<void(uint64_t)> changed);
  // Stops the thread and closes its connection.
  ~ServedChanges();
  ServedChanges(const ServedChanges&) = delete;
  ServedChanges& operator=(const ServedChanges&) = delete;

  // The newest generation committed, while the listening connection is up;
  // false while it is not (then nothing read may be kept).
  bool generation(uint64_t* generation) const {
    if (!listening_.load(std::memory_order_acquire)) return false;
    *generation = generation_.load(std::memory_order_acquire);
    return true;
  }

  // Counts a generation this process's own write committed, in case it is
  // seen here before its notification arrives.
  void committed(uint64_t generation);

 private:
  void run();
  // Listens on a new connection until it fails or the thread is stopped.
  void listen();

  const std::string conninfo_;
  const std::function<void(uint64_t)> changed_;
  std::atomic<uint64_t> generation_{0};
  std::atomic<bool> listening_{false};
  int wakeFd_ = -1;  // an eventfd that interrupts the thread's wait
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace vreg

#endif
