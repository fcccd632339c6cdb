#include "hydration/maturity.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "hydration/source.h"

namespace ph {

namespace {

constexpr double kGas = 8.314;      // J/(mol K)
constexpr double kKelvin = 273.15;

// log(1 + e^x) without overflow.
double softplus(double x) { return x > 0.0 ? x + std::log1p(std::exp(-x)) : std::log1p(std::exp(x)); }

// The sigmoid's fraction still to hydrate, p = (1 + exp((te - P2)/P1))^-P3.
double unhydrated(const ReleaseCurve& c, double te) { return std::exp(-c.P3 * softplus((te - c.P2) / c.P1)); }

std::string number(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

// The rate table as heat released against equivalent age: each row's rate
// from its time to the next row's, the rows as the tracking extends them
// (one row appended at 2.3 t_n - 1.3 t_(n-1)), the rates scaled so that
// they release 1 by the appended row's time, and nothing after it.
void tableCurve(Run& run, const ModelState& s, ReleaseCurve& c) {
  const int n = s.nrate;
  for (int i = 1; i <= n; ++i) {
    c.time.push_back(double(s.rtab[i][1]) / 3600.0);
    c.rate.push_back(double(s.rtab[i][2]));
  }
  c.time.push_back(2.3 * c.time[n - 1] - 1.3 * c.time[n - 2]);
  double total = 0.0;
  for (int i = 0; i < n; ++i) {
    if (!(c.rate[i] >= 0.0))
      run.reject("Problem: row " + std::to_string(i + 1) + " of the rate table has the rate " + number(c.rate[i]) +
                 "; hydration=maturity releases heat by the table and needs rates of 0 or more");
    total += c.rate[i] * (c.time[i + 1] - c.time[i]);
  }
  if (!(total > 0.0) || !std::isfinite(total))
    run.reject("Problem: the rate table releases no heat (its integral is not above 0); "
               "check the rates in the hydration block");
  c.released.push_back(0.0);
  for (int i = 0; i < n; ++i) {
    c.rate[i] /= total;
    c.released.push_back(c.released[i] + c.rate[i] * (c.time[i + 1] - c.time[i]));
  }
  c.released[n] = 1.0;  // the sum's rounding aside
}

}  // namespace

double ReleaseCurve::at(double te) const {
  switch (kind) {
    case Kind::exponential:
      return te > 0.0 ? P1 * std::exp(-std::pow(P3 / te, P2)) : 0.0;
    case Kind::sigmoid:
      return te > 0.0 ? unhydrated(*this, 0.0) - unhydrated(*this, te) : 0.0;
    case Kind::table: {
      if (!(te > time.front())) return 0.0;
      if (te >= time.back()) return 1.0;
      const std::size_t row = std::size_t(std::upper_bound(time.begin(), time.end(), te) - time.begin()) - 1;
      return released[row] + rate[row] * (te - time[row]);
    }
  }
  return 0.0;
}

double ReleaseCurve::ultimate() const {
  switch (kind) {
    case Kind::exponential: return P1;
    case Kind::sigmoid: return unhydrated(*this, 0.0);
    case Kind::table: return 1.0;
  }
  return 1.0;
}

ReleaseCurve releaseCurve(Run& run, const ModelState& s, bool table) {
  ReleaseCurve c;
  c.P1 = s.curve[0], c.P2 = s.curve[1], c.P3 = s.curve[2];
  const std::string given = "P1=" + number(c.P1) + ", P2=" + number(c.P2) + ", P3=" + number(c.P3);
  if (table) {
    c.kind = ReleaseCurve::Kind::table;
    tableCurve(run, s, c);
  } else if (s.modflag != 0) {
    c.kind = ReleaseCurve::Kind::exponential;
    if (!(c.P1 > 0.0 && c.P1 <= 1.0 && c.P2 > 0.0 && c.P3 > 0.0))
      run.reject("Problem: the exponential curve (modelFlag=True) needs the ultimate degree P1 above 0 and at "
                 "most 1, the shape P2 and the characteristic age P3 (h) above 0; the project gives " + given);
  } else {
    c.kind = ReleaseCurve::Kind::sigmoid;
    if (!(c.P1 > 0.0 && c.P3 > 0.0 && std::isfinite(c.P2)))
      run.reject("Problem: the sigmoid curve (modelFlag=False) needs the time scale P1 (h) and the exponent P3 "
                 "above 0; the project gives " + given);
  }
  return c;
}

double maturityRate(double T, double activation, double reference) {
  const double kelvin = T + kKelvin;
  if (!(kelvin > 0.0)) return 0.0;
  return std::exp(activation / kGas * (1.0 / (reference + kKelvin) - 1.0 / kelvin));
}

namespace {

// Each producing cell of the computed columns with its own age and release.
// The temperature of a cell over a step is taken at mid-step: its
// temperature at the start, plus half of what the step adds, which is the
// conduction the cell had over the step before (its change then less its
// own heat then, over its capacity) carried on, and its own heat of this
// step over its capacity. That heat depends on the age it reaches, so the
// age is found by three passes from the conduction alone: no solve more
// than the step's own.
class MaturityHeat final : public HeatSource {
 public:
  MaturityHeat(ReleaseCurve curve, const PhysicsOptions& p) : curve_(std::move(curve)), physics_(p) {}

  void start(Run&, ModelState& s) override {
    for (int k = 2; k <= s.nz - 1; ++k)
      for (int j = 2; j <= s.ny - 1; ++j)
        for (int i = 2; i <= s.nx - 1; ++i) {
          const std::size_t c = cell(i, j, k);
          if (!s.secmask[column(i, j)] || !(s.prod[s.imat[c]] > 0.0f)) continue;
          state_.cells.push_back(c);
          state_.age.push_back(0.0);
          state_.released.push_back(0.0);
          before_.push_back(s.hnew[c]);
          heated_.push_back(0.0);
          waiting_.push_back(false);
        }
  }

  StepHeat heat(Run&, const ModelState& s, StepClock& clock, const ConcreteSums&) override {
    const double dt = clock.dtstep;
    // Hydration starts at the run's start: the first step ends there.
    const double hydrating = std::max(0.0, double(clock.time) - std::max(double(clock.time) - dt, double(s.start)));
    double weighted = 0.0, weight = 0.0;
    for (std::size_t n = 0; n < state_.cells.size(); ++n) {
      const std::size_t c = state_.cells[n];
      const int m = s.imat[c];
      const double T = double(s.hnew[c]);
      // A held cell (a lift not yet placed) does not hydrate; once placed
      // it starts afresh, with no conduction of a step before.
      if (s.held[m]) {
        cells_[c] = 0.0f;
        waiting_[n] = true;
        continue;
      }
      if (waiting_[n]) before_[n] = s.hnew[c], heated_[n] = 0.0, waiting_[n] = false;
      const double perDegree = double(s.A[m]);  // J/(m3 K)
      const double full = double(s.qtot) * double(s.prod[m]);  // J/m3 at a released fraction of 1
      // The conduction of the step before, in K over the half step now.
      const double drift = lastStep_ > 0.0 ? (T - double(before_[n]) - heated_[n] / perDegree) * 0.5 * dt / lastStep_ : 0.0;
      double F = state_.released[n], age = state_.age[n];
      for (int pass = 0; pass < 3; ++pass) {
        const double mid = T + drift + 0.5 * full * (F - state_.released[n]) / perDegree;
        age = state_.age[n] + hydrating / 3600.0 * maturityRate(mid, physics_.activation, physics_.reference);
        F = curve_.at(age);
      }
      const double heat = full * (F - state_.released[n]);
      cells_[c] = dt > 0.0 ? static_cast<float>(heat / dt) : 0.0f;
      before_[n] = s.hnew[c];
      heated_[n] = heat;
      state_.age[n] = age;
      state_.released[n] = F;
      weighted += double(s.prod[m]) * F;
      weight += double(s.prod[m]);
    }
    lastStep_ = dt;
    qused_ = weight > 0.0 ? static_cast<float>(weighted / weight * s.qtot) : 0.0f;
    return {0.0f, &cells_};
  }

  const CellHydration* cellHydration() const override { return &state_; }
  double ultimate() const override { return curve_.ultimate(); }

 private:
  const ReleaseCurve curve_;
  const PhysicsOptions physics_;
  CellHydration state_;
  std::vector<float> before_;    // each cell's temperature at the start of the step before
  std::vector<double> heated_;   // and the heat it released in that step (J/m3)
  std::vector<bool> waiting_;    // held before this step
  double lastStep_ = 0.0;      // its length (s); 0 before the first step
  RealField cells_ = RealField(cellCount, 0.0f);
};

}  // namespace

std::unique_ptr<HeatSource> maturityHeat(ReleaseCurve curve, const PhysicsOptions& physics) {
  return std::make_unique<MaturityHeat>(std::move(curve), physics);
}

}  // namespace ph
