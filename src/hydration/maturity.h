// Maturity hydration: each producing cell keeps its own equivalent age te
// (hours at the reference temperature), advanced each step at the cell's own
// temperature,
//   te += dt exp(E/R (1/(Tref + 273.15) - 1/(T + 273.15))),  R = 8.314,
// and releases qtot x prod x (F(te_end) - F(te_start)) in the step: the
// exact energy of its curve, never more than the mix holds.
#pragma once

#include <vector>

#include "model/model_state.h"
#include "model/run.h"

namespace ph {

// The fraction of qtot released by equivalent age te (h), from te = 0 on
// (0 there).
struct ReleaseCurve {
  enum class Kind { exponential, sigmoid, table };
  Kind kind = Kind::exponential;
  double P1 = 0, P2 = 0, P3 = 0;
  // A table: row times (h of te), rates (per h, scaled so that they release 1
  // by the last time) and the fraction released at each row time.
  std::vector<double> time, rate, released;

  double at(double te) const;
  // What it releases in the end.
  double ultimate() const;
};

// The curve the project's hydration block describes (seriesFlag=True: its
// table; else modelFlag=True the exponential curve, False the sigmoid);
// parameters it cannot follow refuse the run.
ReleaseCurve releaseCurve(Run& run, const ModelState& s, bool table);

// The rate at which te advances at temperature T (C): 1 at the reference.
double maturityRate(double T, double activation, double reference);

}  // namespace ph
