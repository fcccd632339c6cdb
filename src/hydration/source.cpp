#include "hydration/source.h"

#include "hydration/maturity.h"

namespace ph {

void HeatSource::start(Run&, ModelState&) {}

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
