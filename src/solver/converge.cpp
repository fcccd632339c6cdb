#include "solver/converge.h"

#include <cmath>

#include "model/single_math.h"
#include "model/stats.h"

namespace ph {

double relaxFactor(int n) {
  switch (n) {
    case 1: return 1.2;
    case 2: return 1.8;
    case 3: return 1.0;
    case 4: return 1.0 / 1.15;
    default: break;
  }
  switch (n % 5) {
    case 0: return 1.2;
    case 1: return 1.0 / 2.7;
    case 2: return 1.0;
    case 3: return 1.0 / 1.3;
    default: return 1.0 / 6.3;
  }
}

float converge(Sweeper& sweeper, const StepInputs& in, const FaceCodes& bound,
               const StepControl& control, RealField& hnew, int* sweeps, float* tolerance) {
  // The statistics of the field are taken while the sweeper sets up the
  // step and takes the field into the sweep's layout, in which the sweeps
  // work from here to the end of the step.
  Stats st;
  sweeper.begin(in, hnew, [&] { st = deviat(in.nx, in.ny, in.nz, hnew); });
  // A field whose spread comes from a few extreme cells (rms well above mad)
  // is iterated to a tighter tolerance.
  float tol = control.maxerr;
  if (st.mad > 0.0f) tol = control.maxerr * single::exp(-(st.rms - st.mad) / st.mad);
  if (tolerance) *tolerance = tol;
  const float tscale = st.rms == 0.0f ? 1.0f : st.rms;
  int n = 0;
  float err = -1.0e10f;
  do {
    ++n;
    double relax = relaxFactor(n);
    err = -1.0e10f;
    sweeper.mirrorFaces(bound);
    sweeper.sweep(tscale, err, relax);
    // A tolerance below zero is never met: such a step makes all maxits sweeps.
  } while (err > tol && n < control.maxits);
  sweeper.store(hnew);
  if (sweeps) *sweeps = n;
  return err;
}

}  // namespace ph
