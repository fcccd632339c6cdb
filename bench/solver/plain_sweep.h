// The sweep as the program first had it, kept for comparison: the per-step
// terms of the cell formula formed once per step, then every update in the
// plain visiting order, one at a time. Each update waits for the one before
// it (it reads the value just written), so its time is a chain of dependent
// divisions.
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

#include "solver/cell_formula.h"

namespace ph::bench {

class PlainSweeper {
 public:
  PlainSweeper() : oldTerm_(cellCount, 0.0), oldLapl_(cellCount, 0.0), denom_(matcap + 1, 0.0) {}

  void prepare(const StepInputs& in) {
    in_ = in;
    const double S = formula::inverseSquares(in.dx2, in.dy2, in.dz2);
    const double dt = in.dtstep;
    const MatTable& A = *in.A;
    const MatTable& sig = *in.sig;
    for (int m = 0; m <= matcap; ++m) denom_[m] = formula::denominator(in.alpha, S, A[m], sig[m], dt);
    const float* hold = in.hold->data();
    const int* imat = in.imat->data();
    for (int k = 2; k <= in.nz - 1; ++k)
      for (int j = 2; j <= in.ny - 1; ++j)
        for (int i = 2; i <= in.nx - 1; ++i) {
          if (!(*in.secmask)[column(i, j)]) continue;
          const std::size_t c = cell(i, j, k);
          const int m = imat[c];
          const double h = hold[c];
          oldTerm_[c] = formula::oldLevel(double(A[m]), h, dt, double(formula::heatOf(in, c, m)), double(sig[m]));
          oldLapl_[c] = formula::oldLaplacian(neighbours(hold, c), h, S, 1.0 - in.alpha);
        }
  }

  void sweep(RealField& field, float tscale, float& err, double& relax) const {
    formula::shortStep(in_, relax);
    const double relaxM1 = relax - 1.0;
    float* h = field.data();
    const int* imat = in_.imat->data();
    auto update = [&](std::size_t c) {
      const float t0 = h[c];
      const double tstar = formula::tstar(oldTerm_[c], in_.alpha, neighbours(h, c), oldLapl_[c], denom_[imat[c]]);
      const float v = static_cast<float>(formula::relaxed(relax, tstar, relaxM1, double(t0)));
      h[c] = v;
      const float e = std::fabs(v - t0) / tscale;
      if (e > err) err = e;
    };
    formula::visitInOrder(in_, update);
  }

 private:
  static constexpr std::ptrdiff_t sy = ijcap;
  static constexpr std::ptrdiff_t sz = std::ptrdiff_t(ijcap) * ijcap;
  double neighbours(const float* f, std::size_t c) const {
    return formula::neighbours(double(f[c - 1]) + double(f[c + 1]), double(f[c - sy]) + double(f[c + sy]),
                               double(f[c - sz]) + double(f[c + sz]), in_.dx2, in_.dy2, in_.dz2);
  }
  StepInputs in_;
  std::vector<double> oldTerm_, oldLapl_, denom_;
};

}  // namespace ph::bench
