#include "solver/energy_balance.h"

namespace ph {

BalanceCells balanceCells(const ConductanceInputs& in, const Conductances* weights) {
  BalanceCells b;
  const double d[3] = {in.dx, in.dy, in.dz};
  b.volume = d[0] * d[1] * d[2];
  for (int k = 2; k <= in.nz - 1; ++k)
    for (int j = 2; j <= in.ny - 1; ++j)
      for (int i = 2; i <= in.nx - 1; ++i) {
        if (!computedCell(in, i, j, k)) continue;
        const std::size_t c = cell(i, j, k);
        const double share = cellShare(in, i, j, k);
        b.cells.push_back({c, share});
        for (int f = 0; f < 6; ++f) {
          const FaceStep& w = kFaceSteps[f];
          const int ni = i + w.di, nj = j + w.dj, nk = k + w.dk;
          if (computedCell(in, ni, nj, nk) || mirrorCopy(in, i, j, k, Face(f))) continue;
          // The face's share: the cell's, but whole along the face's own axis.
          double faceShare = share;
          for (int g = f & ~1; g <= (f | 1); ++g)
            if (mirrorCopy(in, i, j, k, Face(g))) faceShare *= 2.0;
          const int axis = f / 2;
          const std::size_t n = cell(ni, nj, nk);
          if (weights)
            b.faces.push_back({c, n, faceShare, axis, f % 2 ? c : n});
          else
            b.faces.push_back({c, n, faceShare * (double((*in.sig)[(*in.imat)[c]]) / (d[axis] * d[axis])) * b.volume,
                               axis, 0});
        }
      }
  return b;
}

StepEnergy stepEnergy(const BalanceCells& b, const StepInputs& in, const RealField& hnew) {
  StepEnergy e;
  const RealField& hold = *in.hold;
  const double dt = in.dtstep, alpha = in.alpha;
  for (const BalanceCells::Computed& x : b.cells) {
    const int m = (*in.imat)[x.c];
    e.released += x.share * double(formula::heatOf(in, x.c, m)) * dt;
    e.stored += x.share * double((*in.A)[m]) * (double(hnew[x.c]) - double(hold[x.c]));
  }
  const Conductances* w = in.conductances;
  const std::vector<double>* plus[3] = {w ? &w->plusI : nullptr, w ? &w->plusJ : nullptr, w ? &w->plusK : nullptr};
  for (const BalanceCells::HeldFace& f : b.faces) {
    const double g = w ? f.g * (*plus[f.axis])[f.at] * b.volume : f.g;
    const double flow = g * (alpha * (double(hnew[f.n]) - double(hnew[f.c])) +
                               (1.0 - alpha) * (double(hold[f.n]) - double(hold[f.c])));
    e.crossing += flow;
    e.exchanged += std::fabs(flow);
  }
  e.released *= b.volume;
  e.stored *= b.volume;
  e.crossing *= dt;
  e.exchanged *= dt;
  return e;
}

}  // namespace ph
