// The transient simulation: set-up of the step limits, then step after step
// from the start time to the end time, and the run summary.
#pragma once

#include "model/model_state.h"
#include "model/run.h"
#include "results/concrete.h"
#include "results/heat_file.h"

namespace ph {

// Quarter-hour rounding of the steps (seconds): dt to the nearest multiple
// of 900 with a bias of 0.01 up, DTmax to the next multiple above.
float roundDt(float dt);
float roundDtmax(float dtmax);

// Optional observer of the step loop, for tools that count sweeps.
struct ForwardStats {
  long long steps = 0;
  long long sweeps = 0;
};

// The checks of the grid and the monitor cells that need no step: made by
// the driver before the result files are opened, and again by forward.
void checkBeforeStepping(Run& run, const ModelState& s, const SeriesPoints& pts);

// What a run leaves for its summary: the concrete's peak and largest
// difference, and where the project has a [Physics] block its heat and what
// the lines that end the run warn of.
struct ForwardRecord {
  ConcreteRecord concrete;
  HeatFigures heat;
  std::string warning;
};

// With maxSteps above 0 the step loop ends after that many computed steps,
// as if the end time had come (for tools that run bounded runs).
ForwardRecord forward(Run& run, ModelState& s, const SeriesPoints& pts, ForwardStats* stats = nullptr,
                      long long maxSteps = 0);

}  // namespace ph
