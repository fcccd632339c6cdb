// The second thread of a sweep, and the choice between one thread and two.
// The two halves of a pass never touch outside the middle passes, so on two
// threads each half runs on its own thread, at its own pace, and they meet
// only there.
#pragma once

#include <atomic>
#include <thread>

namespace ph {

// Waits until a's value reaches v. Hand-overs within a sweep come within
// microseconds; between steps the wait is long, and the thread sleeps.
void waitAtLeast(const std::atomic<int>& a, int v);
// Sets a to v and wakes whoever waits on it.
void publish(std::atomic<int>& a, int v);

// The second thread, and what it shares with the first. It runs one task at
// a time: in a sweep the reflected half of every pass but the middle ones
// (the first thread does the forward half and the middle passes); at the
// start of a step whatever the caller runs alongside the step's set-up.
// Each counter holds the number of the last task that reached its point.
struct SweepTeam {
  std::atomic<int> posted{0};    // tasks handed to the worker (or -1: stop)
  std::atomic<int> before{0};    // the worker is done with the passes before the middle
  std::atomic<int> middle{0};    // the first thread is done with the middle passes
  std::atomic<int> finished{0};  // the worker is done with the task
  // The task handed over, set before `posted` rises; in a sweep err is the
  // caller's err going in and the worker's coming out (read after `finished`
  // rises).
  void (*task)(void*, SweepTeam&) = nullptr;
  void* context = nullptr;
  float err = 0;
  std::thread worker;  // started once everything above is in place

  SweepTeam();
  ~SweepTeam();

  // Hands f, called as f(team), to the worker; returns the task's number.
  template <typename F>
  int start(F& f) {
    context = &f;
    task = [](void* c, SweepTeam& team) { (*static_cast<F*>(c))(team); };
    const int no = posted.load(std::memory_order_relaxed) + 1;
    publish(posted, no);
    return no;
  }
  void join(int no) { waitAtLeast(finished, no); }

 private:
  void run();
};

// With the thread count left to it, the sweeper sweeps on one thread or on
// two, whichever it last found faster (where the processors are busy with
// other work the second thread may be kept waiting for a scheduler's time
// slice, and two threads lose); every so often it tries the other count again
// for two sweeps, the second of which it times.
class ThreadChoice {
 public:
  // Threads for a grid of nx x ny x nz: 1, or 2 where the process may use
  // two processors and a sweep has enough updates to gain from them.
  // `forced` (1 or 2) overrides, 0 leaves it to the grid.
  static int threadsFor(int nx, int ny, int nz, int forced);
  // Whether the next sweep goes on two threads (always, where `forced` is 2).
  bool nextOnTwo(int forced);
  // How long a sweep on that count took.
  void timed(bool two, double seconds);
  // Whether the latest sweep went on two threads.
  bool lastTwo() const { return lastTwo_; }

 private:
  double sweepTime_[2] = {0, 0};  // s, the latest timed sweep on one thread, on two (0: none)
  bool lastTwo_ = true;           // the latest sweep went on two threads
  int streak_ = 0;                // sweeps in a row on that count
  int sinceProbe_ = 0;            // sweeps since the other count was last tried
};

}  // namespace ph
