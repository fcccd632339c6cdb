#include "driver/sound.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "model/weather.h"
#include "solver/dirichlet.h"

namespace ph {

namespace {

// The heat capacity (J/(m3 K)) the sweeps give a held cell: against it the
// cell's conduction and heat do not reach the last bit of its value.
constexpr float kHeldCapacity = 1.0e30f;

std::string printed(const char* format, double a, double b = 0, double c = 0) {
  char buf[160];
  std::snprintf(buf, sizeof buf, format, a, b, c);
  return buf;
}

}  // namespace

SoundRun::SoundRun(ModelState& s) : sun_(s.physics) {
  inputs_ = {s.nx, s.ny, s.nz, &s.imat,     &s.sig,   &s.physics.film, s.dx, s.dy, s.dz, s.bound,
             &s.secmask, &s.physics.cover, &s.held};
  balanced_ = s.physics.conduction == Conduction::balanced;
  for (int m = 1; m <= matcap; ++m) s.held[m] = s.physics.film[m] > 0.0f;
  events_ = s.physics.events;
  for (const Event& e : events_) {
    if (e.kind != Event::Kind::lift) continue;
    Lift l{e.material, e.other, e.value, 0, {}};
    for (int k = 1; k <= s.nz; ++k)
      for (int j = 1; j <= s.ny; ++j)
        for (int i = 1; i <= s.nx; ++i)
          if (s.imat[cell(i, j, k)] == e.material) l.cells.push_back(cell(i, j, k));
    for (const std::size_t c : l.cells) s.imat[c] = l.heldAs ? l.heldAs : l.material;
    // Without a held material the cells keep theirs, which releases nothing
    // until they are placed (nor counts as concrete in the result files).
    if (!l.heldAs) {
      s.held[l.material] = waiting_[l.material] = true;
      l.production = s.prod[l.material];
      s.prod[l.material] = 0;
    }
    lifts_.push_back(std::move(l));
  }
  reform(s);
}

void SoundRun::reform(const ModelState& s) {
  capacities_ = s.A;
  for (int m = 1; m <= matcap; ++m)
    if (s.held[m]) capacities_[m] = kHeldCapacity;
  if (balanced_) formConductances(inputs_, weights_);
  cells_ = balanceCells(inputs_, conductances());
  heldCells_.clear();
  for (int k = 2; k <= s.nz - 1; ++k)
    for (int j = 2; j <= s.ny - 1; ++j)
      for (int i = 2; i <= s.nx - 1; ++i) {
        const std::size_t c = cell(i, j, k);
        if (s.secmask[column(i, j)] && s.held[s.imat[c]]) heldCells_.push_back({c, s.imat[c]});
      }
}

double SoundRun::content(const ModelState& s) const {
  double sum = 0;
  for (const BalanceCells::Computed& x : cells_.cells)
    sum += x.share * double(s.A[s.imat[x.c]]) * double(s.hnew[x.c]);
  return sum * cells_.volume;
}

bool SoundRun::heldValue(const ModelState& s, int m, float t, float& value) const {
  if (seriesTemperature(s, m, t, value)) return true;
  for (const Lift& l : lifts_)
    if (waiting_[m] && l.material == m) return value = l.placing, true;
  return false;
}

float SoundRun::nextEvent() const {
  return next_ < events_.size() ? events_[next_].at : std::numeric_limits<float>::infinity();
}

void SoundRun::applyEvents(Run& run, ModelState& s, RealField& hold, float time) {
  if (!(nextEvent() <= time)) return;
  const double before = content(s);
  bool reshaped = false;
  for (; next_ < events_.size() && events_[next_].at <= time; ++next_) {
    const Event& e = events_[next_];
    std::string what = printed("event at %g h (line %g): ", time / 3600.0, double(e.line));
    if (e.kind == Event::Kind::film) {
      ph::setFilm(s, inputs_, weights_, e.material, e.value, e.cover);
      what += printed("the film of material %g becomes %g W/(m2 K)", e.material, e.value);
      if (e.cover > 0.0f) what += printed(" with covers of %g m2 K/W", e.cover);
    } else if (e.kind == Event::Kind::material) {
      long long n = 0;
      for (int k = 1; k <= s.nz; ++k)
        for (int j = 1; j <= s.ny; ++j)
          for (int i = 1; i <= s.nx; ++i)
            if (int& m = s.imat[cell(i, j, k)]; m == e.material) m = e.other, ++n;
      what += printed("material %g becomes material %g in %g cells", e.material, e.other, double(n));
      reshaped = true;
    } else {
      for (const Lift& l : lifts_) {
        if (l.material != e.material) continue;
        if (!l.heldAs) s.prod[l.material] = l.production;
        s.held[l.material] = waiting_[l.material] = false;
        for (const std::size_t c : l.cells) {
          s.imat[c] = l.material;
          s.hnew[c] = hold[c] = l.placing;
        }
        what += printed("the lift of material %g is placed at %g C in %g cells", l.material, l.placing,
                        double(l.cells.size()));
      }
      reshaped = true;
    }
    run.free(kLog, {what});
    ++figures_.events;
  }
  if (reshaped) reform(s);
  const double carried = content(s) - before;
  figures_.carried += carried;
  figures_.stored += carried;
}

void SoundRun::setFilm(ModelState& s, int m, float h, float r) { ph::setFilm(s, inputs_, weights_, m, h, r); }

void SoundRun::beforeStep(ModelState& s, float t, RealField& hold) {
  for (int m = 1; m <= matcap; ++m) heldKnown_[m] = s.held[m] && heldValue(s, m, t, heldNow_[m]);
  for (const HeldCell& h : heldCells_)
    if (heldKnown_[h.m]) s.hnew[h.c] = hold[h.c] = heldNow_[h.m];
  if (balanced_) boundary(s.nx, s.ny, s.nz, s.bound, hold);
}

StepHeat SoundRun::withWeather(ModelState& s, const StepHeat& heat, float mid, float dt) {
  if (!balanced_) return heat;
  for (const Weather& w : s.physics.weather)
    if (!w.wind.empty()) setFilm(s, w.material, static_cast<float>(windFilm(windOfHour(w, mid))), s.physics.cover[w.material]);
  return sun_.add(s, inputs_, weights_, heat, mid, dt);
}

void SoundRun::restoreHeld(RealField& hnew) const {
  for (const HeldCell& h : heldCells_)
    if (heldKnown_[h.m]) hnew[h.c] = heldNow_[h.m];
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
  // A source that follows the cells one by one lists them in the same
  // (memory) order, with the cells of lifts not yet placed among them.
  const CellHydration* own = heat.cellHydration();
  legacyRelease_ += double(in.heat.rate) * double(in.dtstep);
  double releasable = 0, mean = 0, weight = 0;
  float hot = -std::numeric_limits<float>::infinity(), cold = std::numeric_limits<float>::infinity();
  f.concrete = 0;
  f.hydrationMin = std::numeric_limits<double>::infinity();
  f.hydrationMax = -f.hydrationMin;
  std::size_t n = 0;  // the cell's place in the heat source's list, which holds held cells too
  for (const BalanceCells::Computed& x : cells_.cells) {
    const double prod = s.prod[s.imat[x.c]];
    if (!(prod > 0.0)) continue;
    if (own)
      while (n < own->cells.size() && own->cells[n] < x.c) ++n;
    const bool followed = own && n < own->cells.size() && own->cells[n] == x.c;
    const double F = followed ? own->released[n] : own ? 0.0 : s.qtot != 0.0f ? legacyRelease_ / double(s.qtot) : 0.0;
    const double age = followed ? own->age[n] : own ? 0.0 : double(time) / 3600.0;
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
