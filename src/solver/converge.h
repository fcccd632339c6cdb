// One implicit time step, solved by relaxation sweeps to a tolerance that
// adapts to the shape of the temperature distribution.
#pragma once

#include "solver/mirror.h"
#include "solver/sweep.h"

namespace ph {

// Relaxation factor of sweep n (from 1) within a step.
double relaxFactor(int n);

struct StepControl {
  int maxits = 0;
  float maxerr = 0;
};

// Advances hnew over the step described by `in` (whose hold is the field at
// the start of the step); refreshes the mirror faces before every sweep.
// Returns the largest normalised change of the last sweep. `sweeps`, when
// given, receives the number of sweeps made, `tolerance` the effective
// tolerance of the step.
float converge(Sweeper& sweeper, const StepInputs& in, const FaceCodes& bound,
               const StepControl& control, RealField& hnew, int* sweeps = nullptr,
               float* tolerance = nullptr);

}  // namespace ph
