#include "hydration/ratetable.h"

#include <cmath>

#include "hydration/source.h"

namespace ph {

float initrt(Run& run, int& nrate, RateTable& rtab, float endtime) {
  float tend = 2764800.0f;
  if (endtime > 2764800.0f) tend = 1.1f * endtime;
  int n = nrate;
  float S = rtab[1][2] * rtab[2][1] / 2.0f;
  rtab[n + 1][1] = 2.3f * rtab[n][1] - 1.3f * rtab[n - 1][1];
  rtab[n + 1][2] = rtab[n][2] / 3.0f;
  n = n + 1;
  nrate = n;
  for (int i = 2; i <= n - 1; ++i) S = S + rtab[i][2] * (rtab[i + 1][1] - rtab[i - 1][1]) / 2.0f;
  if (tend > rtab[n][1]) S = S + std::fabs(tend - rtab[n][1]) * rtab[n][2] / 4.0f;
  if (!(S > 0.0f) || !std::isfinite(S)) return S;  // the caller rejects the table
  for (int i = 1; i <= n; ++i) {
    rtab[i][2] = rtab[i][2] / S;
    run.free(kLog, {"RT[]", i, rtab[i][1], rtab[i][2] * S, rtab[i][2]});
  }
  return S;
}

void rtsource(Run& run, int nrate, int& irt, const RateTable& rtab, float qtot, float& dtstep,
              float& time, float& OldRT, float& NewRT) {
  if (irt == 1) run.free(kTerminal, {"    NEWRT     OLDRT    irt     TIME   "});
  for (;;) {
    // On the last row there is no next table time: its rate holds.
    const bool hasNext = irt < nrate;
    const float tn = hasNext ? rtab[irt + 1][1] : 0.0f;
    if (hasNext && time >= tn && time - dtstep < tn) {
      dtstep = tn - time + dtstep;
      time = tn;
      return;
    }
    OldRT = rtab[irt][2] * qtot;
    if (hasNext && tn <= time) {
      OldRT = NewRT;
      irt = irt + 1;
      NewRT = rtab[irt][2] * qtot;
      run.free(kTerminal, {NewRT, OldRT, irt, time / 3600.0f});
      run.free(kLog, {"NEWRT,OLDRT=", NewRT, OldRT, irt, time / 3600.0f});
    }
    if (!(irt < nrate && rtab[irt + 1][1] <= time)) return;
  }
}

namespace {

// The table, scaled once to release the total heat, followed row by row.
class RateTableHeat final : public HeatSource {
 public:
  void start(Run& run, ModelState& s) override {
    const float S = initrt(run, s.nrate, s.rtab, s.endtime);
    if (!(S > 0.0f) || !std::isfinite(S))
      run.reject("Problem: the rate table releases no heat (its integral is not above 0); "
                 "check the rates in the hydration block");
    // A table that starts at or before time 0 heats the first step already.
    if (s.rtab[1][1] <= 0.0f) NewRT = s.rtab[1][2] * s.qtot;
  }

  StepHeat heat(Run& run, const ModelState& s, StepClock& clock, const ConcreteSums&) override {
    qused_ = qused_ + NewRT * clock.dtstep;
    rtsource(run, s.nrate, irt, s.rtab, s.qtot, clock.dtstep, clock.time, OldRT, NewRT);
    // The table is scaled with centred weights but followed as steps, and
    // its last rate holds for ever: no step may take the heat released past
    // what the cement holds, qtot.
    if (s.qtot > 0.0f)
      capRelease(run, release, double(s.qtot), "heat release capped at qtot=", s.qtot, clock.time, clock.dtstep,
                 NewRT);
    return {NewRT};
  }

 private:
  Release release;
  int irt = 1;
  float OldRT = 1.0f, NewRT = 0.0f;
};

}  // namespace

std::unique_ptr<HeatSource> rateTableHeat() { return std::make_unique<RateTableHeat>(); }

}  // namespace ph
