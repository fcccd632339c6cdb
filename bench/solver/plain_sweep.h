// The sweep as the program first had it, kept for comparison: the per-step
// terms formed once per step, then every update in the plain visiting order,
// one at a time. Each update waits for the one before it (it reads the value
// just written), so its time is a chain of dependent divisions.
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

#include "model/model_state.h"
#include "solver/sweep.h"

namespace ph::bench {

class PlainSweeper {
 public:
  PlainSweeper() : oldTerm_(cellCount, 0.0), oldLapl_(cellCount, 0.0), denom_(matcap + 1, 0.0) {}

  void prepare(const StepInputs& in) {
    in_ = in;
    const double S = 1.0 / in.dx2 + 1.0 / in.dy2 + 1.0 / in.dz2;
    const double alpha = in.alpha;
    const double dt = in.dtstep;
    const MatTable& A = *in.A;
    const MatTable& sig = *in.sig;
    for (int m = 0; m <= matcap; ++m)
      denom_[m] = 2.0 * alpha * S + (double(A[m]) / double(sig[m])) / dt;
    const float* hold = in.hold->data();
    const int* imat = in.imat->data();
    for (int k = 2; k <= in.nz - 1; ++k)
      for (int j = 2; j <= in.ny - 1; ++j)
        for (int i = 2; i <= in.nx - 1; ++i) {
          if (!(*in.secmask)[column(i, j)]) continue;
          const std::size_t c = cell(i, j, k);
          const int m = imat[c];
          const float Q = in.heat.rate * (*in.prod)[m];
          oldTerm_[c] = (double(A[m]) * double(hold[c]) / dt + double(Q)) / double(sig[m]);
          const double lold = (double(hold[c - 1]) + double(hold[c + 1])) / in.dx2 +
                              (double(hold[c - sy]) + double(hold[c + sy])) / in.dy2 +
                              (double(hold[c - sz]) + double(hold[c + sz])) / in.dz2 -
                              2.0 * S * double(hold[c]);
          oldLapl_[c] = (1.0 - alpha) * lold;
        }
  }

  void sweep(RealField& field, float tscale, float& err, double& relax) const {
    if (in_.dtstep < 0.12f) relax = 1.0;
    const double relaxM1 = relax - 1.0;
    const double alpha = in_.alpha;
    const double dx2 = in_.dx2, dy2 = in_.dy2, dz2 = in_.dz2;
    float* h = field.data();
    const int* imat = in_.imat->data();
    const std::vector<int>& mask = *in_.secmask;
    auto update = [&](std::size_t c) {
      const float t0 = h[c];
      const double nnew = (double(h[c - 1]) + double(h[c + 1])) / dx2 +
                          (double(h[c - sy]) + double(h[c + sy])) / dy2 +
                          (double(h[c - sz]) + double(h[c + sz])) / dz2;
      const double tstar = (oldTerm_[c] + alpha * nnew + oldLapl_[c]) / denom_[imat[c]];
      const float v = static_cast<float>(relax * tstar - relaxM1 * double(t0));
      h[c] = v;
      const float e = std::fabs(v - t0) / tscale;
      if (e > err) err = e;
    };
    for (int k = 2; k <= in_.nz - 1; ++k)
      for (int i = 2; i <= in_.nx - 1; ++i)
        for (int j = 2; j <= in_.ny - 1; ++j) {
          if (mask[column(i, j)]) update(cell(i, j, k));
          const int ri = in_.nx + 1 - i, rj = in_.ny + 1 - j;
          if (mask[column(ri, rj)]) update(cell(ri, rj, in_.nz + 1 - k));
        }
  }

 private:
  static constexpr std::ptrdiff_t sy = ijcap;
  static constexpr std::ptrdiff_t sz = std::ptrdiff_t(ijcap) * ijcap;
  StepInputs in_;
  std::vector<double> oldTerm_, oldLapl_, denom_;
};

}  // namespace ph::bench
