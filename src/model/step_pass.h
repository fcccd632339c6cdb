// What the time loop takes from the field after each step, in one pass over
// it: the copy into hold, the field statistics and the sums of the mean
// concrete temperature that the next step starts from.
#pragma once

#include "model/model_state.h"
#include "model/stats.h"

namespace ph {

struct StepFigures {
  Stats st;               // deviat of hnew
  ConcreteSums concrete;  // getctemp's sums of hnew (when asked for)
};

// hold <- hnew over the cells in use (hupdate), the statistics of hnew and,
// with `concrete`, getctemp's sums. Each sum is added in its own order, as
// deviat and getctemp add it, so every figure has the same bits; the sums
// advance side by side, so that their chains of additions overlap.
StepFigures afterStep(int nx, int ny, int nz, const IntField& imat, const MatTable& prod,
                      const RealField& hnew, RealField& hold, bool concrete);

}  // namespace ph
