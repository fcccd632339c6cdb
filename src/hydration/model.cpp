#include "hydration/model.h"

#include <algorithm>
#include <cmath>

#include "hydration/field.h"
#include "hydration/source.h"
#include "model/single_math.h"

namespace ph {

namespace {
constexpr float kInvRef = 0.0033670033f;  // 1/297 K
constexpr float kGas = 8.314f;
}  // namespace

float eqvtime(float th, float T) { return th * single::exp(kInvRef - 1.0f / (T + 273.0f)); }

float abtau(float te, float P1, float P2, float P3, float E, float tconc, float& state) {
  float tk = tconc + 273.0f;
  if (tk > 400.0f) tk = 400.0f;
  const float f = single::exp((kInvRef - 1.0f / tk) * E / kGas);
  // No hydration at or before an age of zero: the curve starts there.
  if (!(te > 0.0f)) {
    state = 0.0f;
    return 0.0f;
  }
  const float s = single::pow(P3 / te, P2);
  const float decay = single::exp(-s);
  state = P1 * decay;
  // Far before the characteristic age the curve is flat: exp(-s) is 0 and
  // the rate with it (s may be infinite there).
  if (decay == 0.0f) return 0.0f;
  return s * (P2 / te) * P1 * decay * f;
}

float tmodel(float te, float P1, float P2, float P3, float /*E*/, float /*tconc*/, float& state) {
  const float e = single::exp((te - P2) / P1);
  // Long after the steepest release e overflows: everything has hydrated
  // and the rate is 0 (not infinity times zero).
  if (!std::isfinite(e)) {
    state = 0.0f;
    return 0.0f;
  }
  const float c = 1.0f + e;
  const float p = single::pow(1.0f / c, P3);
  state = p;
  return p * (P3 / (c * P1)) * e;
}

// abtau takes the degree of hydration at an age that its Arrhenius factor
// does not advance, so hot concrete would go on releasing heat for ever. No
// step may take the heat released past what the cement holds, P1 x qtot.
static void capRelease(Run& run, Workspc& workspc, float time, float qtot, float P1, float dtstep,
                       float& NewRT) {
  const double cap = double(P1) * double(qtot);
  double& H = workspc.h;
  if (H + double(NewRT) * double(dtstep) > cap && dtstep > 0.0f) {
    NewRT = static_cast<float>(std::max(0.0, (cap - H) / double(dtstep)));
    if (!workspc.capped) {
      workspc.capped = true;
      run.free(kLog, {"heat release capped at P1 x qtot=", P1 * qtot, " at t=", time / 3600.0f});
    }
  }
  H = H + double(NewRT) * double(dtstep);
}

void modsource(Run& run, Workspc& workspc, float time, float qtot, float tconc, const float (&P)[3],
               float dtstep, float& qused, int modflag, float& OldRT, float& NewRT) {
  float& W = workspc.w;
  OldRT = NewRT;
  if (time < 0.1f) W = 0.0f;  // a run that starts at time 0 starts a new mean
  W = W * time + dtstep * tconc;
  const float th = (time + dtstep / 2.0f) / 3600.0f;
  const float te = eqvtime(th, W);
  const float rate = modflag != 0 ? abtau(te, P[0], P[1], P[2], 35000.0f, tconc, qused)
                                  : tmodel(te, P[0], P[1], P[2], 35000.0f, tconc, qused);
  NewRT = rate * qtot / 3600.0f;
  if (modflag != 0) capRelease(run, workspc, time, qtot, P[0], dtstep, NewRT);
  run.free(kTerminal, {"Time, OldRT, NewRT =", time / 3600.0f, OldRT, NewRT, qused});
  // A step that ends at time zero has no length to weigh the mean with.
  const float span = time + dtstep;
  if (span != 0.0f) W = W / span;
}

namespace {

// A hydration curve, its age made equivalent with the mean concrete
// temperature of the run so far.
class CurveHeat final : public HeatSource {
 public:
  CurveHeat(const float (&P)[3], int modflag) : P{P[0], P[1], P[2]}, modflag(modflag) {}

  StepHeat heat(Run& run, const ModelState& s, StepClock& clock, const ConcreteSums& concrete) override {
    const float tconc = concreteTemperature(run, s.nx, s.ny, s.nz, concrete, s.hnew);
    modsource(run, workspc, clock.time, s.qtot, tconc, P, clock.dtstep, qused_, modflag, OldRT, NewRT);
    return {NewRT};
  }
  bool followsConcrete() const override { return true; }
  // The exponential curve is held to P1 x qtot; the sigmoid releases its
  // fraction still to hydrate, all but nothing of qtot.
  double ultimate() const override { return modflag != 0 ? P[0] : 1.0; }

 private:
  const float P[3];
  const int modflag;  // 1: the exponential curve (abtau), 0: the sigmoid (tmodel)
  Workspc workspc;
  float OldRT = 1.0f, NewRT = 0.0f;
};

}  // namespace

std::unique_ptr<HeatSource> curveHeat(const float (&P)[3], int modflag) {
  return std::make_unique<CurveHeat>(P, modflag);
}

}  // namespace ph
