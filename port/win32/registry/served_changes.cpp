#include "served_changes.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdlib>

#include "server_connection.h"
#include "served_schema.h"

namespace vreg {
namespace {

// How long the thread waits before connecting again after a failure.
constexpr int kReconnectMs = 1000;

void raise(std::atomic<uint64_t>* generation, uint64_t to) {
  uint64_t seen = generation->load();
  while (seen < to && !generation->compare_exchange_weak(seen, to)) {
  }
}

}  // namespace

ServedChanges::ServedChanges(std::string conninfo, std::function<void(uint64_t)> changed)
    : conninfo_(std::move(conninfo)), changed_(std::move(changed)) {
  wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  thread_ = std::thread([this] { run(); });
}

ServedChanges::~ServedChanges() {
  stopping_.store(true);
  const uint64_t one = 1;
  if (write(wakeFd_, &one, sizeof one) < 0) {
    // The thread sees stopping_ at its next wake-up at the latest.
  }
  thread_.join();
  close(wakeFd_);
}

void ServedChanges::committed(uint64_t generation) { raise(&generation_, generation); }

void ServedChanges::run() {
  pthread_setname_np(pthread_self(), "registry-listen");
  while (!stopping_.load()) {
    listen();
    listening_.store(false, std::memory_order_release);
    if (stopping_.load()) break;
    pollfd wake = {wakeFd_, POLLIN, 0};
    poll(&wake, 1, kReconnectMs);
  }
}

void ServedChanges::listen() {
  ServerConnection server;
  if (server.open(conninfo_) != ERROR_SUCCESS) return;
  // Listening first, then reading the generation: no commit falls between.
  if (server.exec("LISTEN vintutil_changes").error() != ERROR_SUCCESS) return;
  ServerResult now = server.exec("SELECT generation FROM vintutil.hive");
  if (now.error() != ERROR_SUCCESS || now.rows() != 1) return;
  raise(&generation_, std::strtoull(std::string(now.bytes(0, 0)).c_str(), nullptr, 10));
  listening_.store(true, std::memory_order_release);
  changed_(generation_.load());
  PGconn* conn = server.native();
  while (!stopping_.load()) {
    pollfd fds[2] = {{PQsocket(conn), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents) break;
    // The generation goes up before the connection's failure is noticed:
    // a reader then still sees the changes notified so far.
    if (!PQconsumeInput(conn)) return;
    const uint64_t before = generation_.load();
    while (PGnotify* note = PQnotifies(conn)) {
      raise(&generation_, std::strtoull(note->extra, nullptr, 10));
      PQfreemem(note);
    }
    if (generation_.load() != before) changed_(generation_.load());
    if (PQstatus(conn) != CONNECTION_OK) return;
  }
}

}  // namespace vreg
