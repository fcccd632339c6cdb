#include "driver/sound.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace ph {

SoundRun::SoundRun(const ModelState& s) : sun_(s.physics) {
  inputs_ = {s.nx, s.ny, s.nz, &s.imat,     &s.sig,   &s.physics.film, s.dx, s.dy, s.dz, s.bound,
             &s.secmask, &s.physics.cover, &s.held};
  balanced_ = s.physics.conduction == Conduction::balanced;
  if (balanced_) formConductances(inputs_, weights_);
  cells_ = balanceCells(inputs_, conductances());
}

void SoundRun::setFilm(ModelState& s, int m, float h, float r) { ph::setFilm(s, inputs_, weights_, m, h, r); }

void SoundRun::beforeStep(const ModelState& s, RealField& hold) const {
  if (balanced_) boundary(s.nx, s.ny, s.nz, s.bound, hold);
}

StepHeat SoundRun::withSun(const ModelState& s, const StepHeat& heat, float mid, float dt) {
  return balanced_ ? sun_.add(s, inputs_, weights_, heat, mid, dt) : heat;
}

bool SoundRun::solveOn(const ModelState& s, const StepInputs& in, StepControl& control) {
  step_ = stepEnergy(cells_, in, s.hnew);
  // Legacy conduction does not balance between materials, however far it
  // is iterated.
  if (!balanced_ || std::fabs(step_.error()) <= 1.0e-4 * step_.moved() || figures_.tightened >= 4) return false;
  control.maxerr /= 10.0f;
  ++figures_.tightened;
  return true;
}

const HeatFigures& SoundRun::afterStep(const ModelState& s, const StepInputs& in, const HeatSource& heat,
                                       float time) {
  const StepEnergy& e = step_;
  HeatFigures& f = figures_;
  // The sweeps' heat holds the sun's beside the concrete's.
  f.released += e.released - sun_.joules();
  f.sun += sun_.joules();
  f.stored += e.stored;
  f.lost -= e.crossing;

  // The concrete: computed cells that produce heat, each by its share.
  // A source that follows the cells one by one lists these same cells in
  // the same (memory) order.
  const CellHydration* own = heat.cellHydration();
  legacyRelease_ += double(in.heat.rate) * double(in.dtstep);
  double releasable = 0, mean = 0, weight = 0;
  float hot = -std::numeric_limits<float>::infinity(), cold = std::numeric_limits<float>::infinity();
  f.concrete = 0;
  f.hydrationMin = std::numeric_limits<double>::infinity();
  f.hydrationMax = -f.hydrationMin;
  std::size_t n = 0;  // the cell's place in the heat source's list
  for (const BalanceCells::Computed& x : cells_.cells) {
    const double prod = s.prod[s.imat[x.c]];
    if (!(prod > 0.0)) continue;
    const double F = own ? own->released[n] : s.qtot != 0.0f ? legacyRelease_ / double(s.qtot) : 0.0;
    const double age = own ? own->age[n] : double(time) / 3600.0;
    ++n;
    ++f.concrete;
    releasable += x.share * prod;
    f.hydrationMin = std::min(f.hydrationMin, F);
    f.hydrationMax = std::max(f.hydrationMax, F);
    mean += x.share * F;
    weight += x.share;
    const float T = s.hnew[x.c];
    if (T > hot) hot = T, f.ageHottest = age;
    if (T < cold) cold = T, f.ageColdest = age;
  }
  f.hydrationMean = weight > 0.0 ? mean / weight : 0.0;
  f.releasable = releasable * double(s.qtot) * cells_.volume * heat.ultimate();
  return f;
}

std::string SoundRun::contrastWarning(const ModelState& s) const {
  if (balanced_) return "";
  // The pair of touching materials farthest apart: a computed cell and any
  // of its six neighbours.
  int lo = 0, hi = 0;
  double ratio = 1.5;
  for (const BalanceCells::Computed& x : cells_.cells) {
    const int m = s.imat[x.c];
    for (const std::ptrdiff_t step : {std::ptrdiff_t(1), std::ptrdiff_t(ijcap), std::ptrdiff_t(ijcap) * ijcap})
      for (const std::size_t n : {x.c - std::size_t(step), x.c + std::size_t(step)}) {
        const int o = s.imat[n];
        const double a = s.sig[m], b = s.sig[o];
        if (!(a > 0.0 && b > 0.0)) continue;
        const double r = std::max(a, b) / std::min(a, b);
        if (r > ratio) ratio = r, lo = a < b ? m : o, hi = a < b ? o : m;
      }
  }
  if (lo == 0) return "";
  char buf[400];
  std::snprintf(buf, sizeof buf,
                "materials of conductivities more than 1.5 times apart touch (material %d, %g W/(m K), and "
                "material %d, %g W/(m K)): heat is not balanced between them with conduction=legacy; "
                "conduction=balanced in the [Physics] block balances it",
                lo, double(s.sig[lo]), hi, double(s.sig[hi]));
  return buf;
}

}  // namespace ph
