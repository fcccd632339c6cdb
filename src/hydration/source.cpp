#include "hydration/source.h"

namespace ph {

void HeatSource::start(Run&, ModelState&) {}

std::unique_ptr<HeatSource> chooseHeatSource(Run& run, const ModelState& s) {
  if (s.rtsflag != 0 && s.nrate != 0) return rateTableHeat();
  if (s.rtsflag != 0) {
    run.pause("Problem: RTSFLAG IS NOT CONSISTENT W/ SOURCE");
    run.free(kLog, {"no rate table (points= 0): the run goes on with the hydration model"});
  }
  return curveHeat(s.curve, s.modflag);
}

}  // namespace ph
