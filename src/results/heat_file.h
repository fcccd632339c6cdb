// heat.csv, written by runs whose project has a [Physics] block: per step
// the heat released, stored, lost through the held faces of the
// modelled body so far and gained from the sun, the balance of these, and the hydration of the
// concrete; and the lines that end such a run's log and terminal with the
// physics it used.
#pragma once

#include <string>
#include <vector>

#include "model/model_state.h"
#include "model/run.h"

namespace ph {

// The run so far, at the end of a step; heat in J.
struct HeatFigures {
  double released = 0;  // by the concrete of the modelled body
  double releasable = 0;  // what that concrete can release in the end
  double stored = 0;    // sum of A (T - T at the start) V
  double lost = 0;      // through the held faces, out of the body
  // Into the body by cells that join it (a placed lift: A T V) less what
  // cells that leave it take out, at the events; in `stored` too.
  double carried = 0;
  int events = 0;  // applied
  double sun = 0;       // absorbed from the sun of weather files
  // Over the concrete (computed cells that produce heat); none: concrete 0.
  long long concrete = 0;
  double hydrationMin = 0, hydrationMean = 0, hydrationMax = 0;  // fraction of qtot released
  double ageHottest = 0, ageColdest = 0;                         // equivalent age (h)
  int tightened = 0;  // times the steps' tolerance was made ten times tighter to balance their heat

  double error() const { return released + sun - lost + carried - stored; }
};

void writeHeatHeader(Run& run);
// One line of heat.csv for the step ending at `time` (seconds).
void writeHeatLine(Run& run, float time, const HeatFigures& f);

// The lines that end the log and the terminal of a run with a [Physics]
// block: `warning` (where not empty) as a Warning: line, then the physics
// used and the run's heat.
void writePhysicsLines(Run& run, const ModelState& s, const HeatFigures& f, const std::string& warning);

}  // namespace ph
