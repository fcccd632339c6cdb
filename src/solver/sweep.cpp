#include "solver/sweep.h"

#include <cmath>

namespace ph {

namespace {
constexpr std::ptrdiff_t sy = ijcap;               // step to j+1
constexpr std::ptrdiff_t sz = std::ptrdiff_t(ijcap) * ijcap;  // step to k+1
}  // namespace

Sweeper::Sweeper() : oldTerm_(cellCount, 0.0), oldLapl_(cellCount, 0.0), denom_(matcap + 1, 0.0) {}

void Sweeper::prepare(const StepInputs& in) {
  in_ = in;
  const double S = 1.0 / in.dx2 + 1.0 / in.dy2 + 1.0 / in.dz2;
  const double alpha = in.alpha;
  const double oneMinusAlpha = 1.0 - alpha;
  const double dt = in.dtstep;
  const MatTable& A = *in.A;
  const MatTable& sig = *in.sig;
  // Rows of the tables beyond the materials in use hold zeros.
  for (int m = 1; m <= matcap; ++m)
    denom_[m] = sig[m] != 0.0f ? 2.0 * alpha * S + (double(A[m]) / double(sig[m])) / dt : 0.0;
  const float* hold = in.hold->data();
  const int* imat = in.imat->data();
  for (int k = 2; k <= in.nz - 1; ++k)
    for (int j = 2; j <= in.ny - 1; ++j)
      for (int i = 2; i <= in.nx - 1; ++i) {
        if (!(*in.secmask)[column(i, j)]) continue;
        const std::size_t c = cell(i, j, k);
        const int m = imat[c];
        const float Q = in.NewRT * (*in.prod)[m];
        oldTerm_[c] = (double(A[m]) * double(hold[c]) / dt + double(Q)) / double(sig[m]);
        const double lold = (double(hold[c - 1]) + double(hold[c + 1])) / in.dx2 +
                            (double(hold[c - sy]) + double(hold[c + sy])) / in.dy2 +
                            (double(hold[c - sz]) + double(hold[c + sz])) / in.dz2 -
                            2.0 * S * double(hold[c]);
        oldLapl_[c] = oneMinusAlpha * lold;
      }
}

void Sweeper::sweep(RealField& field, float tscale, float& err, double& relax) const {
  if (in_.dtstep < 0.12f) relax = 1.0;
  const double relaxM1 = relax - 1.0;
  const double alpha = in_.alpha;
  const double dx2 = in_.dx2, dy2 = in_.dy2, dz2 = in_.dz2;
  const int nx = in_.nx, ny = in_.ny, nz = in_.nz;
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
  for (int k = 2; k <= nz - 1; ++k)
    for (int i = 2; i <= nx - 1; ++i)
      for (int j = 2; j <= ny - 1; ++j) {
        if (mask[column(i, j)]) update(cell(i, j, k));
        const int ri = nx + 1 - i, rj = ny + 1 - j;
        if (mask[column(ri, rj)]) update(cell(ri, rj, nz + 1 - k));
      }
}

}  // namespace ph
