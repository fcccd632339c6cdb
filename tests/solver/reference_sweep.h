// The relaxation sweep written the plain way: every cell update forms every
// term of the cell formula on the spot, in the order the formula reads, with
// nothing carried over from an earlier update or an earlier sweep. It is the
// yardstick for ph::Sweeper: the identity test requires the same bits from
// both, and the benchmark times both on the same field.
#pragma once

#include <cmath>
#include <cstddef>

#include "model/model_state.h"
#include "solver/sweep.h"

namespace ph::reference {

// One sweep over h in the program's visiting order; raises err to the largest
// |change| / tscale and forces relax to 1.0 for a step under 0.12 s.
inline void sweep(const StepInputs& in, RealField& field, float tscale, float& err, double& relax) {
  if (in.dtstep < 0.12f) relax = 1.0;
  const std::ptrdiff_t sy = ijcap;
  const std::ptrdiff_t sz = std::ptrdiff_t(ijcap) * ijcap;
  const double dx2 = in.dx2, dy2 = in.dy2, dz2 = in.dz2;
  const double alpha = in.alpha;
  const double dt = in.dtstep;
  const MatTable& A = *in.A;
  const MatTable& sig = *in.sig;
  const MatTable& prod = *in.prod;
  const float* hold = in.hold->data();
  const int* imat = in.imat->data();
  float* h = field.data();

  auto update = [&](std::size_t c) {
    const int m = imat[c];
    const float T0 = h[c];
    const float Q = in.heat.rate * prod[m];
    const double Nnew = (double(h[c - 1]) + double(h[c + 1])) / dx2 +
                        (double(h[c - sy]) + double(h[c + sy])) / dy2 +
                        (double(h[c - sz]) + double(h[c + sz])) / dz2;
    const double S = 1.0 / dx2 + 1.0 / dy2 + 1.0 / dz2;
    const double Lold = (double(hold[c - 1]) + double(hold[c + 1])) / dx2 +
                        (double(hold[c - sy]) + double(hold[c + sy])) / dy2 +
                        (double(hold[c - sz]) + double(hold[c + sz])) / dz2 -
                        2.0 * S * double(hold[c]);
    const double num = (double(A[m]) * double(hold[c]) / dt + double(Q)) / double(sig[m]) +
                       alpha * Nnew + (1.0 - alpha) * Lold;
    const double den = 2.0 * alpha * S + (double(A[m]) / double(sig[m])) / dt;
    const double Tstar = num / den;
    h[c] = static_cast<float>(relax * Tstar - (relax - 1.0) * double(T0));
    const float e = std::fabs(h[c] - T0) / tscale;
    if (e > err) err = e;
  };

  const std::vector<int>& mask = *in.secmask;
  for (int k = 2; k <= in.nz - 1; ++k)
    for (int i = 2; i <= in.nx - 1; ++i)
      for (int j = 2; j <= in.ny - 1; ++j) {
        if (mask[column(i, j)]) update(cell(i, j, k));
        const int ri = in.nx + 1 - i, rj = in.ny + 1 - j;
        if (mask[column(ri, rj)]) update(cell(ri, rj, in.nz + 1 - k));
      }
}

}  // namespace ph::reference
