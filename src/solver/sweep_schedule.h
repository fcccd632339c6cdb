// The schedule of a sweep: the runs of eight cells of whole passes, made once
// for the extents of the grid, in the order the kernels take them.
#pragma once

#include <cstdint>
#include <vector>

#include "solver/cell_formula.h"

namespace ph {

// Cells of a run: one vector of the widest kernel.
inline constexpr int runLength = 8;

// Consecutive passes of a half run together, each one diagonal behind the one
// before it: an update reads the layer below (above, in the reflected half)
// at its own column, which the pass before has finished by then, and the
// layer above it, which the pass after has not reached yet. The passes give
// independent chains of updates, which keep the divider busy where one
// pass's diagonals are short.
inline constexpr int group = 2;
inline constexpr int maxJobs = 2 * group;

// How many diagonals ahead the rows a pass will need are fetched.
inline constexpr int prefetchAhead = 3;

// One run of eight (or fewer) cells of a schedule: where its first cell lies
// in a layer, where the rows of the diagonals before and after it lie from
// there, where the cells fetched ahead lie in a layer, the number of lanes in
// use, which job of the call it belongs to, and which of its lanes are
// computed cells (bit l for lane l; set by mark(), since the plan mask may
// change from step to step).
struct SweepRun {
  std::int32_t at;
  std::int16_t prv, nxt;
  std::int32_t ahead;
  std::int8_t count, job;
  std::uint8_t on;
};

// The lanes of a run to update, as bits: those of the first `count` that
// act marks as computed cells.
PH_INLINE unsigned laneBits(const int* act, int count) {
  unsigned bits = 0;
  for (int l = 0; l < count; ++l) bits |= unsigned(act[l] != 0) << l;
  return bits;
}

class SweepSchedule {
 public:
  // Makes the runs for the extents (diagRow of the sheared layout), where
  // they changed.
  void shape(int nx, int ny, const std::vector<int>& diagRow);
  // Marks the lanes of every run that are computed cells (active: not 0
  // where a position of a layer is one).
  void mark(const int* active);
  // The runs of `passes` (1 or 2) consecutive passes of the forward half,
  // the reflected half or both.
  const std::vector<SweepRun>& runs(int passes, bool forward, bool reflected) const {
    return runs_[passes - 1][forward && reflected ? 0 : forward ? 1 : 2];
  }

 private:
  std::vector<SweepRun> runs_[group][3];
  int nx_ = 0, ny_ = 0;
};

}  // namespace ph
