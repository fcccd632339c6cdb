// The cell formula of one implicit, time-weighted step of
//   A dT/dt = sig * Laplacian(T) + Q
// for an interior cell of a computed column, material m, in double
// precision, term by term:
//   N(h)    = (h(i-1) + h(i+1)) / dx2 + (h(j-1) + h(j+1)) / dy2 + (h(k-1) + h(k+1)) / dz2
//   S       = 1/dx2 + 1/dy2 + 1/dz2
//   old     = (A hold / dt + Q) / sig                the old level and the heat
//   oldLapl = (1 - alpha) (N(hold) - 2 S hold)
//   denom   = 2 alpha S + (A / sig) / dt            one per material
//   Tstar   = (old + alpha N(hnew) + oldLapl) / denom
//   new     = relax Tstar - (relax - 1) T0          rounded to float
// Q is the step's heat rate times the cell's production factor, rounded to
// float, or the cell's own heat where the step gives one per cell.
//
// The terms are written here once, for doubles and for GCC's vectors of
// doubles alike; the sweep's kernels, its middle columns and the plain sweep
// below all form them so. The plain sweep is the yardstick of the sweep: the
// identity test requires the same bits from both, and the benchmark times
// both on the same field.
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

#include "model/model_state.h"

#ifndef PH_INLINE
#define PH_INLINE inline __attribute__((always_inline))
#endif

namespace ph {

struct Conductances;

// What one step hands to the sweeps.
struct StepInputs {
  int nx = 0, ny = 0, nz = 0;
  float alpha = 0;
  const IntField* imat = nullptr;
  const MatTable* A = nullptr;
  const MatTable* sig = nullptr;
  const MatTable* prod = nullptr;
  const RealField* hold = nullptr;
  StepHeat heat;
  const std::vector<int>* secmask = nullptr;
  double dx2 = 0, dy2 = 0, dz2 = 0;
  float dtstep = 0;
  // The conduction the sweeps solve: with conductances, the balanced cell
  // equation (balanced_formula.h); without, the formula below.
  const Conductances* conductances = nullptr;
};

namespace formula {

// The sweep's kernels form the terms on vectors, always inlined: no vector
// crosses a call, so the ABI notes about passing wide vectors do not apply.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

inline double inverseSquares(double dx2, double dy2, double dz2) { return 1.0 / dx2 + 1.0 / dy2 + 1.0 / dz2; }

// sum / d2, or sum * r2 where r2 is 1 / d2 exactly (bit B of P set): the
// same bits.
template <unsigned P, unsigned B, typename D>
PH_INLINE D over(D sum, double d2, double r2) {
  if constexpr ((P >> B) & 1u)
    return sum * r2;
  else
    return sum / d2;
}

// N(h) from the sums of the two neighbours along i, j and k.
template <unsigned P = 0, typename D>
PH_INLINE D neighbours(D alongI, D alongJ, D alongK, double dx2, double dy2, double dz2, double rx2 = 0,
                       double ry2 = 0, double rz2 = 0) {
  return over<P, 0>(alongI, dx2, rx2) + over<P, 1>(alongJ, dy2, ry2) + over<P, 2>(alongK, dz2, rz2);
}

template <typename D>
PH_INLINE D oldLaplacian(D neighboursOfHold, D hold, double S, double oneMinusAlpha) {
  return oneMinusAlpha * (neighboursOfHold - 2.0 * S * hold);
}

template <typename D>
PH_INLINE D oldLevel(D A, D hold, double dt, D Q, D sig) {
  return (A * hold / dt + Q) / sig;
}

inline double denominator(double alpha, double S, double A, double sig, double dt) {
  return 2.0 * alpha * S + (A / sig) / dt;
}

template <typename D>
PH_INLINE D tstar(D old, double alpha, D neighboursOfNew, D oldLapl, D denom) {
  return (old + alpha * neighboursOfNew + oldLapl) / denom;
}

template <typename D>
PH_INLINE D relaxed(double relax, D tstar, double relaxM1, D t0) {
  return relax * tstar - relaxM1 * t0;
}

#pragma GCC diagnostic pop

// A step under 0.12 s is not over-relaxed.
inline void shortStep(const StepInputs& in, double& relax) {
  if (in.dtstep < 0.12f) relax = 1.0;
}

// Q of cell c, of material m.
inline float heatOf(const StepInputs& in, std::size_t c, int m) {
  return in.heat.cells ? (*in.heat.cells)[c] : in.heat.rate * (*in.prod)[m];
}

// The sweep's visiting order: update(c) for cell (i, j, k) and then for its
// point reflection (nx+1-i, ny+1-j, nz+1-k), over the interior cells of
// computed columns, k outermost and j innermost.
template <typename Update>
void visitInOrder(const StepInputs& in, Update update) {
  const std::vector<int>& mask = *in.secmask;
  for (int k = 2; k <= in.nz - 1; ++k)
    for (int i = 2; i <= in.nx - 1; ++i)
      for (int j = 2; j <= in.ny - 1; ++j) {
        if (mask[column(i, j)]) update(cell(i, j, k));
        const int ri = in.nx + 1 - i, rj = in.ny + 1 - j;
        if (mask[column(ri, rj)]) update(cell(ri, rj, in.nz + 1 - k));
      }
}

// One sweep over h in the visiting order, in place. Every term of every
// update is formed on the spot, with nothing carried over from an earlier
// update or sweep. Raises err to the largest |change| / tscale.
inline void plainSweep(const StepInputs& in, RealField& field, float tscale, float& err, double& relax) {
  shortStep(in, relax);
  const std::ptrdiff_t sy = ijcap;
  const std::ptrdiff_t sz = std::ptrdiff_t(ijcap) * ijcap;
  const double dx2 = in.dx2, dy2 = in.dy2, dz2 = in.dz2;
  const double alpha = in.alpha;
  const double dt = in.dtstep;
  const MatTable& A = *in.A;
  const MatTable& sig = *in.sig;
  const float* hold = in.hold->data();
  const int* imat = in.imat->data();
  float* h = field.data();
  auto N = [&](const float* f, std::size_t c) {
    return neighbours(double(f[c - 1]) + double(f[c + 1]), double(f[c - sy]) + double(f[c + sy]),
                      double(f[c - sz]) + double(f[c + sz]), dx2, dy2, dz2);
  };

  auto update = [&](std::size_t c) {
    const int m = imat[c];
    const float T0 = h[c];
    const double S = inverseSquares(dx2, dy2, dz2);
    const double old = oldLevel(double(A[m]), double(hold[c]), dt, double(heatOf(in, c, m)), double(sig[m]));
    const double oldLapl = oldLaplacian(N(hold, c), double(hold[c]), S, 1.0 - alpha);
    const double den = denominator(alpha, S, A[m], sig[m], dt);
    h[c] = static_cast<float>(relaxed(relax, tstar(old, alpha, N(h, c), oldLapl, den), relax - 1.0, double(T0)));
    const float e = std::fabs(h[c] - T0) / tscale;
    if (e > err) err = e;
  };
  visitInOrder(in, update);
}

}  // namespace formula
}  // namespace ph
