// The second thread's hand-overs (a short spin, then a sleep) and the
// timed choice between one thread and two.
#include "solver/sweep_team.h"

#include <sched.h>
#include <signal.h>

namespace ph {

namespace {

// Every so often the other thread count is tried again: two sweeps in this
// many.
constexpr int probeEvery = 50;

// Below this many updates per sweep (about 0.1 ms of work for one thread) a
// second thread gains little, and loses where the processors are busy with
// other work: every sweep hands over to it and waits for it twice.
constexpr long long twoThreadUpdates = 2LL * 40 * 40 * 40;

// Processors this process may run on (taskset and the like narrow it).
int processorsAtHand() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
  return int(std::thread::hardware_concurrency());
}

// Waits until ready(a's value), spinning for about 30 us before it sleeps.
template <typename Ready>
int waitFor(const std::atomic<int>& a, Ready ready) {
  int v = a.load(std::memory_order_acquire);
  for (int spin = 0; spin < 400 && !ready(v); ++spin) {
    __builtin_ia32_pause();
    v = a.load(std::memory_order_acquire);
  }
  while (!ready(v)) {
    a.wait(v, std::memory_order_acquire);
    v = a.load(std::memory_order_acquire);
  }
  return v;
}

}  // namespace

void waitAtLeast(const std::atomic<int>& a, int v) {
  waitFor(a, [v](int now) { return now >= v; });
}

void publish(std::atomic<int>& a, int v) {
  a.store(v, std::memory_order_release);
  a.notify_all();
}

// The worker takes no signals: it starts with them all held back, so a
// signal that ends the run is handled on the thread that writes the results.
SweepTeam::SweepTeam() {
  sigset_t all, was;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &was);
  worker = std::thread([this] { run(); });
  pthread_sigmask(SIG_SETMASK, &was, nullptr);
}

SweepTeam::~SweepTeam() {
  publish(posted, -1);
  worker.join();
}

void SweepTeam::run() {
  for (int seen = 0;;) {
    seen = waitFor(posted, [seen](int now) { return now != seen; });
    if (seen < 0) return;
    task(context, *this);
    publish(finished, seen);
  }
}

int ThreadChoice::threadsFor(int nx, int ny, int nz, int forced) {
  if (nx < 3 || ny < 3 || nz < 3) return 1;
  if (forced == 1 || forced == 2) return forced;
  static const int cpus = processorsAtHand();
  const long long updates = 2LL * (nx - 2) * (ny - 2) * (nz - 2);
  return cpus >= 2 && updates >= twoThreadUpdates && nz >= 8 ? 2 : 1;
}

bool ThreadChoice::nextOnTwo(int forced) {
  bool two = true;
  if (forced == 0) {
    if (sweepTime_[1] == 0.0)
      two = true;
    else if (sweepTime_[0] == 0.0)
      two = false;
    else {
      two = sweepTime_[1] < sweepTime_[0];
      if (++sinceProbe_ > probeEvery) {
        two = !two;
        if (sinceProbe_ == probeEvery + 2) sinceProbe_ = 0;
      }
    }
  }
  streak_ = two == lastTwo_ ? streak_ + 1 : 1;
  lastTwo_ = two;
  return two;
}

void ThreadChoice::timed(bool two, double seconds) {
  // The first sweep after a change of count starts cold.
  if (streak_ >= 2) sweepTime_[two ? 1 : 0] = seconds;
}

}  // namespace ph
