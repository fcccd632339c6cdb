#include "solver/sweep_schedule.h"

#include <algorithm>

namespace ph {

namespace {

// The runs of eight cells of `passes` consecutive whole passes of the forward
// half, the reflected half or both, in the order the kernels' passes take
// them: diagonal after diagonal, each job in turn, a job `lag` diagonals
// behind. The jobs are numbered in that order: for each pass, forward then
// reflected.
std::vector<SweepRun> makeSchedule(int passes, bool forward, bool reflected, int nx, int ny,
                                   const std::vector<int>& diagRow) {
  bool jobReflected[maxJobs];
  int lag[maxJobs], jobs = 0;
  for (int q = 0; q < passes; ++q) {
    if (forward) jobReflected[jobs] = false, lag[jobs++] = q;
    if (reflected) jobReflected[jobs] = true, lag[jobs++] = q;
  }
  const int first = 2, last = nx + ny - 4, count = last - first + 1;
  std::vector<SweepRun> runs;
  for (int step = 0; step < count + passes - 1; ++step)
    for (int n = 0; n < jobs; ++n) {
      const int t = step - lag[n];
      if (t < 0 || t >= count) continue;
      const int d = jobReflected[n] ? last - t : first + t;
      const int lo = std::max(2, d - ny + 3), hi = std::min(nx - 1, d);
      const int ahead = jobReflected[n] ? std::max(d - prefetchAhead, 0) : std::min(d + prefetchAhead, nx + ny - 1);
      for (int i = lo; i <= hi; i += runLength)
        runs.push_back({diagRow[d] + i, std::int16_t(diagRow[d - 1] - diagRow[d]),
                        std::int16_t(diagRow[d + 1] - diagRow[d]), diagRow[ahead] + i,
                        std::int8_t(std::min(runLength, hi - i + 1)), std::int8_t(n), 0});
    }
  return runs;
}

}  // namespace

void SweepSchedule::shape(int nx, int ny, const std::vector<int>& diagRow) {
  if (nx == nx_ && ny == ny_) return;
  static_assert(group == 2);
  for (int g = 1; g <= group; ++g) {
    runs_[g - 1][0] = makeSchedule(g, true, true, nx, ny, diagRow);
    runs_[g - 1][1] = makeSchedule(g, true, false, nx, ny, diagRow);
    runs_[g - 1][2] = makeSchedule(g, false, true, nx, ny, diagRow);
  }
  nx_ = nx, ny_ = ny;
}

void SweepSchedule::mark(const int* active) {
  for (auto& byPasses : runs_)
    for (std::vector<SweepRun>& runs : byPasses)
      for (SweepRun& r : runs) r.on = std::uint8_t(laneBits(active + r.at, r.count));
}

}  // namespace ph
