// The relaxation sweep of one implicit, time-weighted step of
//   A dT/dt = sig * Laplacian(T) + NewRT * prod
// over the interior cells of computed columns. Each pass of the inner loop
// updates cell (i, j, k) and then its point reflection
// (nx+1-i, ny+1-j, nz+1-k), in place, so the two interleaved sweeps cross in
// the middle of the grid.
//
// What does not change between the sweeps of a step (the old-level terms of
// every cell, the denominator of every material) is formed once per step by
// prepare(); sweep() then only forms the new-level neighbour sum and one
// quotient per update. The arithmetic is the cell formula's, term by term in
// double precision, so the results are bit for bit those of the formula.
#pragma once

#include <vector>

#include "driver/model_state.h"

namespace ph {

struct StepInputs {
  int nx = 0, ny = 0, nz = 0;
  float alpha = 0;
  const IntField* imat = nullptr;
  const MatTable* A = nullptr;
  const MatTable* sig = nullptr;
  const MatTable* prod = nullptr;
  const RealField* hold = nullptr;
  float NewRT = 0;
  const std::vector<int>* secmask = nullptr;
  double dx2 = 0, dy2 = 0, dz2 = 0;
  float dtstep = 0;
};

class Sweeper {
 public:
  Sweeper();
  // Forms the per-step terms. Call once per step, before the first sweep.
  void prepare(const StepInputs& in);
  // One sweep over hnew; raises err to the largest |change| / tscale. For a
  // step under 0.12 s relax is forced to 1.0, and the caller sees it.
  void sweep(RealField& hnew, float tscale, float& err, double& relax) const;

 private:
  StepInputs in_;
  std::vector<double> oldTerm_;   // (A*hold/dt + Q)/sig of each cell
  std::vector<double> oldLapl_;   // (1-alpha) * old-level Laplacian of each cell
  std::vector<double> denom_;     // 2*alpha*S + (A/sig)/dt of each material
};

}  // namespace ph
