// The balanced cell formula of one implicit, time-weighted step, for an
// interior cell c of a computed column, with one weight w_f per face f
// shared by the two cells it joins (conductance.h):
//   A (T - hold)/dt = sum_f w_f [alpha (T_f - T) + (1 - alpha)(hold_f - hold)] + Q
// solved for T with the neighbours at their current values, in double
// precision, term by term, the six faces always in the order -i, +i, -j,
// +j, -k, +k and summed in pairs:
//   F(x)   = ((w-i x-i + w+i x+i) + (w-j x-j + w+j x+j)) + (w-k x-k + w+k x+k)
//   W      = ((w-i + w+i) + (w-j + w+j)) + (w-k + w+k)
//   old    = (A hold / dt + Q) + (1 - alpha) F(hold_f - hold)
//   recip  = 1 / (A / dt + alpha W)
//   Tstar  = (old + alpha F(h_f)) recip
//   new    = relax Tstar - (relax - 1) T0          rounded to float
// Q as in the legacy formula (cell_formula.h): the step's heat rate times
// the cell's production factor, or the cell's own heat.
//
// Written once, for doubles and for GCC's vectors of doubles alike: the
// sweep's kernels, its middle columns and the plain sweep below all form
// the terms so, and the plain sweep is the yardstick of the identity test.
#pragma once

#include <cmath>
#include <cstddef>

#include "solver/cell_formula.h"
#include "solver/conductance.h"

namespace ph::formula::balanced {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

template <typename D>
PH_INLINE D faceSum(D wIm, D xIm, D wIp, D xIp, D wJm, D xJm, D wJp, D xJp, D wKm, D xKm, D wKp, D xKp) {
  return ((wIm * xIm + wIp * xIp) + (wJm * xJm + wJp * xJp)) + (wKm * xKm + wKp * xKp);
}

template <typename D>
PH_INLINE D weightSum(D wIm, D wIp, D wJm, D wJp, D wKm, D wKp) {
  return ((wIm + wIp) + (wJm + wJp)) + (wKm + wKp);
}

template <typename D>
PH_INLINE D oldLevel(D A, D hold, double dt, D Q, double oneMinusAlpha, D oldFlux) {
  return (A * hold / dt + Q) + oneMinusAlpha * oldFlux;
}

template <typename D>
PH_INLINE D reciprocal(D A, double dt, double alpha, D weights) {
  return 1.0 / (A / dt + alpha * weights);
}

template <typename D>
PH_INLINE D tstar(D old, double alpha, D flux, D recip) {
  return (old + alpha * flux) * recip;
}

#pragma GCC diagnostic pop

// One sweep over h in the visiting order of the legacy sweep, in place,
// with the weights of in.conductances. Every term of every update is formed
// on the spot. Raises err to the largest |change| / tscale.
inline void plainBalancedSweep(const StepInputs& in, RealField& field, float tscale, float& err, double& relax) {
  shortStep(in, relax);
  const std::ptrdiff_t sy = ijcap;
  const std::ptrdiff_t sz = std::ptrdiff_t(ijcap) * ijcap;
  const double alpha = in.alpha;
  const double dt = in.dtstep;
  const MatTable& A = *in.A;
  const Conductances& g = *in.conductances;
  const double* wI = g.plusI.data();
  const double* wJ = g.plusJ.data();
  const double* wK = g.plusK.data();
  const float* hold = in.hold->data();
  const int* imat = in.imat->data();
  float* h = field.data();
  auto F = [&](std::size_t c, auto x) {
    return faceSum(wI[c - 1], x(c - 1), wI[c], x(c + 1), wJ[c - sy], x(c - sy), wJ[c], x(c + sy), wK[c - sz],
                   x(c - sz), wK[c], x(c + sz));
  };

  auto update = [&](std::size_t c) {
    const int m = imat[c];
    const float T0 = h[c];
    const double hc = hold[c];
    const double oldFlux = F(c, [&](std::size_t n) { return double(hold[n]) - hc; });
    const double old = oldLevel(double(A[m]), hc, dt, double(heatOf(in, c, m)), 1.0 - alpha, oldFlux);
    const double recip =
        reciprocal(double(A[m]), dt, alpha, weightSum(wI[c - 1], wI[c], wJ[c - sy], wJ[c], wK[c - sz], wK[c]));
    const double flux = F(c, [&](std::size_t n) { return double(h[n]); });
    h[c] = static_cast<float>(relaxed(relax, tstar(old, alpha, flux, recip), relax - 1.0, double(T0)));
    const float e = std::fabs(h[c] - T0) / tscale;
    if (e > err) err = e;
  };
  visitInOrder(in, update);
}

}  // namespace ph::formula::balanced
