// The relaxation sweep of one implicit, time-weighted step of
//   A dT/dt = sig * Laplacian(T) + Q
// over the interior cells of computed columns. Each pass of the inner loop
// updates cell (i, j, k) and then its point reflection
// (nx+1-i, ny+1-j, nz+1-k), in place, so the two interleaved sweeps cross in
// the middle of the grid.
//
// The arithmetic of every update is the cell formula's (cell_formula.h),
// term by term in double precision, and every update reads exactly the
// neighbour values that the visiting order above gives it, so the results
// are bit for bit those of the plain sweep. How it gets there faster:
//
// - What does not change between the sweeps of a step (the old-level terms
//   of every cell, the denominator of every material) is formed once per
//   step by prepare(); where the step gives each cell its own heat, it
//   enters the old-level term there.
// - Within one layer, a cell depends on the cells before it along i and along
//   j only, so the cells of one anti-diagonal (i + j constant) are
//   independent and are updated together in SIMD lanes, one diagonal after
//   the other. For the sweeps the field is held in a sheared copy in which
//   each anti-diagonal of a layer is a contiguous row. It is loaded once per
//   step, the mirror faces are refreshed in it before each sweep, and it is
//   stored back once the step's sweeps are done.
// - Two consecutive passes of a half run together, the second one diagonal
//   behind the first, so that the divider has independent work where one
//   pass's diagonals are short; the runs of eight cells they take come from
//   a schedule made once for the extents.
// - Away from the middle of the grid the two halves of a pass work on layers
//   that do not touch, so each half is one such layer sweep. Where they
//   meet (one shared middle layer, or two neighbouring ones) the layer splits
//   at its middle column(s): the columns before it belong first to the
//   forward half and the columns after it first to the reflected half, and
//   only the middle column(s) are visited one cell at a time in the plain
//   order.
// - Dividing by the square of a cell size that is a power of two is the same
//   as multiplying by its reciprocal, bit for bit; that is what is done then.
// - The largest change is divided by tscale once, at the end: for a positive
//   tscale the quotient rises with the change.
// - On two threads each half of the passes runs on its own thread, at its
//   own pace: outside the middle passes the halves never touch, so they meet
//   only there, where one thread does the middle passes as above. Every
//   update reads the same values as on one thread, and the largest change is
//   the larger of the two threads', so the results are the same bits.
// The kernels are built for AVX-512, for AVX2 and for any x86-64, each in its
// vector width; the best that the processor offers is used.
//
// Where each part lives: the kernels in sweep_kernels, the sheared layout and
// its copies in sheared_layout, the schedule of runs in sweep_schedule, the
// second thread and the choice of the thread count in sweep_team.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "model/model_state.h"
#include "solver/cell_formula.h"
#include "solver/mirror.h"
#include "solver/sheared_layout.h"
#include "solver/sweep_isa.h"
#include "solver/sweep_schedule.h"
#include "solver/sweep_team.h"

namespace ph {

struct SweepOptions {
  // Threads of a sweep: 1 or 2, or 0 to take two where the grid is large
  // enough to gain from them and the process may use two processors, as
  // long as two are found faster than one.
  int threads = 0;
  // For tests of the rule by which the two threads meet: with threads = 2,
  // both halves run on this thread in turns, all passes of one half up to
  // the middle before the other's, and the same after the middle, the half
  // that goes first changing from sweep to sweep. A meeting rule that let a
  // half run too far would show as different results.
  bool halvesInTurns = false;
};

class Sweeper {
 public:
  // Instruction sets the sweep is built for; the best one the processor
  // offers is chosen when the Sweeper is made.
  using Isa = SweepIsa;
  static std::vector<Isa> supportedIsas();
  static const char* isaName(Isa isa);

  explicit Sweeper(SweepOptions options = {});
  ~Sweeper();
  Sweeper(Sweeper&&) noexcept;
  Sweeper& operator=(Sweeper&&) noexcept;

  // Forms the per-step terms. Call once per step, before the first sweep;
  // the sweeps use the inputs (plan mask included) as they are here.
  void prepare(const StepInputs& in);

  // prepare(in) and load(hnew), with alongside() run meanwhile on the
  // second thread when the sweeps of the step use two (before them
  // otherwise). alongside() may read what prepare and load read, and write
  // nothing they read.
  void begin(const StepInputs& in, const RealField& hnew, const std::function<void()>& alongside);

  // The sweeps of a step work on a copy of the field in the sheared layout:
  // load() takes it from hnew, store() writes it back (every cell of the
  // layers 1..nz, columns and rows in use). Both come after prepare().
  void load(const RealField& hnew);
  void store(RealField& hnew) const;
  // boundary() on the loaded field: each mirror face takes the plane two
  // cells inside, its rim excepted, faces in the order 1 to 6.
  void mirrorFaces(const FaceCodes& bound);
  // One sweep over the loaded field; raises err to the largest
  // |change| / tscale. For a step under 0.12 s relax is forced to 1.0, and
  // the caller sees it.
  void sweep(float tscale, float& err, double& relax);
  // load(hnew), one sweep, store(hnew).
  void sweep(RealField& hnew, float tscale, float& err, double& relax);

  // Selects the instruction set (one of supportedIsas()); for tests and
  // benchmarks.
  void useIsa(Isa isa) { isa_ = isa; }
  Isa isa() const { return isa_; }
  // Threads the sweeps of the prepared step use (with the count chosen
  // here: the count of the latest sweep).
  int threads() const;
  // Double divisions per cell update of the prepared step: the four of the
  // formula, less those that become multiplications, plus the division of
  // each change by tscale where it cannot wait (tscale not positive finite).
  int divisionsPerUpdate(float tscale) const;

 private:
  int threadsFor(const StepInputs& in) const;

  StepInputs in_;
  SweepOptions options_;
  Isa isa_ = Isa::generic;
  std::unique_ptr<SweepTeam> team_;
  ThreadChoice choice_;
  bool forwardLeads_ = false;        // halves in turns: which half leads this sweep
  ShearedLayout layout_;
  SweepSchedule schedule_;
  std::vector<int> active_;          // -1 where a position of a layer is a computed cell
  std::vector<double> denom_;        // 2*alpha*S + (A/sig)/dt of each material
  std::vector<double> denomRows_;    // the same, each eight times over
  std::vector<float> holdRing_;      // three layers of hold, sheared, for prepare()
  std::vector<int> matIn_;           // one layer of imat, sheared, for prepare()
  std::vector<float> heatIn_;        // one layer of the cells' own heat, sheared, for prepare()
  std::vector<std::uint8_t> mat_;    // material of each computed cell, sheared
  std::vector<double> oldTerm_;      // (A*hold/dt + Q)/sig of each cell, sheared
  std::vector<double> oldLapl_;      // (1-alpha) * old-level Laplacian of each cell, sheared
  std::vector<float> work_;          // the field during the sweeps, sheared
  // Balanced conduction: the weights, sheared, as of the forming stamped
  // weightsStamp_ and the layout then; 1 / the denominator of each cell.
  std::vector<double> wI_, wJ_, wK_;
  std::uint64_t weightsStamp_ = 0;
  int weightsShape_[3] = {0, 0, 0};
  std::vector<double> recip_;
  // The weights' codes (sheared) and table, and the computed cells they
  // were made for.
  std::vector<std::uint8_t> wcode_;
  std::vector<double> wrows_;
  std::vector<int> codedActive_;
};

}  // namespace ph
