// Timing something one process does until another process notices it, over
// many rounds, for the benchmarks that measure the registry across
// processes.
#ifndef VINTUTIL_BENCH_CROSS_PROCESS_ROUNDS_H
#define VINTUTIL_BENCH_CROSS_PROCESS_ROUNDS_H

#include <errno.h>
#include <registry_diagnostics.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

inline int64_t nowNs() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Ends the benchmark, naming what failed, unless `ok`.
inline void check(bool ok, const char* what) {
  if (ok) return;
  fprintf(stderr, "%s: %s failed\n", program_invocation_short_name, what);
  exit(1);
}

struct Percentiles {
  double median, p99;  // microseconds
};

inline Percentiles percentiles(std::vector<int64_t> ns) {
  std::sort(ns.begin(), ns.end());
  return {ns[ns.size() / 2] / 1000.0, ns[std::min(ns.size() - 1, ns.size() * 99 / 100)] / 1000.0};
}

// Rounds of: the parent arms (`arm`), tells the child to go, and blocks in
// `wait`; the child acts (`act`), timed. A round gives the parent's wake-up
// time less the time the child's action began (`fromStart`) and less the
// time it returned (`fromEnd`, negative when the waiter woke first).
struct Rounds {
  std::vector<int64_t> fromStart, fromEnd, action;
};

template <typename Arm, typename Act, typename Wait>
Rounds timeRounds(int rounds, Arm arm, Act act, Wait wait) {
  int go[2], ack[2];
  check(pipe(go) == 0 && pipe(ack) == 0, "pipe");
  auto* times = static_cast<volatile int64_t*>(mmap(
      nullptr, 2 * sizeof(int64_t), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  RegDiagReset();  // the child makes connections of its own
  const pid_t child = fork();
  if (child == 0) {
    close(go[1]);
    char c;
    for (int i = 0; read(go[0], &c, 1) == 1; ++i) {
      times[0] = nowNs();
      act(i);
      times[1] = nowNs();
      check(write(ack[1], "x", 1) == 1, "acknowledging");
    }
    _exit(0);
  }
  close(go[0]);
  close(ack[1]);
  Rounds r;
  for (int i = 0; i < rounds; ++i) {
    arm();
    check(write(go[1], "x", 1) == 1, "telling the child");
    wait(i);
    const int64_t woke = nowNs();
    char c;
    check(read(ack[0], &c, 1) == 1, "hearing the child");
    r.fromStart.push_back(woke - times[0]);
    r.fromEnd.push_back(woke - times[1]);
    r.action.push_back(times[1] - times[0]);
  }
  close(go[1]);
  close(ack[0]);
  waitpid(child, nullptr, 0);
  munmap(const_cast<int64_t*>(times), 2 * sizeof(int64_t));
  return r;
}

#endif
