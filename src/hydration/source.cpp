#include "hydration/source.h"

#include <algorithm>

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
  if (s.rtsflag != 0 && s.nrate != 0) return rateTableHeat();
  if (s.rtsflag != 0) {
    run.pause("Problem: RTSFLAG IS NOT CONSISTENT W/ SOURCE");
    run.free(kLog, {"no rate table (points= 0): the run goes on with the hydration model"});
  }
  return curveHeat(s.curve, s.modflag);
}

}  // namespace ph
