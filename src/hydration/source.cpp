#include "hydration/source.h"

#include <algorithm>

#include "hydration/maturity.h"

namespace ph {

void HeatSource::start(Run&, ModelState&) {}

void capRelease(Run& run, Release& release, double cap, const char* label, float shown, float time,
                float dtstep, float& NewRT) {
  double& H = release.h;
  if (H + double(NewRT) * double(dtstep) > cap && dtstep > 0.0f) {
    NewRT = static_cast<float>(std::max(0.0, (cap - H) / double(dtstep)));
    if (!release.capped) {
      release.capped = true;
      run.free(kLog, {label, shown, " at t=", time / 3600.0f});
    }
  }
  H = H + double(NewRT) * double(dtstep);
}

std::unique_ptr<HeatSource> chooseHeatSource(Run& run, const ModelState& s) {
  const bool table = s.rtsflag != 0 && s.nrate != 0;
  if (s.rtsflag != 0 && !table) {
    run.pause("Problem: RTSFLAG IS NOT CONSISTENT W/ SOURCE");
    run.free(kLog, {"no rate table (points= 0): the run goes on with the hydration model"});
  }
  if (s.physics.hydration == Hydration::maturity) return maturityHeat(releaseCurve(run, s, table), s.physics);
  if (table) return rateTableHeat();
  return curveHeat(s.curve, s.modflag);
}

}  // namespace ph
