// The heat of hydration as the steps see it: a source chosen once, before
// the steps, from the project (a measured heat-rate table, the sigmoid curve
// or the exponential curve), and asked once per step for that step's heat.
#pragma once

#include <memory>
#include <vector>

#include "model/model_state.h"
#include "model/run.h"
#include "model/stats.h"

namespace ph {

// Each producing cell's hydration after the latest step, for a source that
// follows the cells one by one.
struct CellHydration {
  std::vector<std::size_t> cells;  // offsets of the cells, in memory order
  std::vector<double> age;         // equivalent age (h)
  std::vector<double> released;    // fraction of qtot released
};

class HeatSource {
 public:
  virtual ~HeatSource() = default;

  // Once the materials are checked, before the step limits are set: a table
  // is scaled here to release the total heat.
  virtual void start(Run& run, ModelState& s);
  // The heat of the step that ends at clock.time and lasts clock.dtstep. A
  // table ends steps on its times and moves the clock to do so. `concrete`
  // holds the sums of the mean concrete temperature of the field the step
  // starts from, where followsConcrete() asks for them.
  virtual StepHeat heat(Run& run, const ModelState& s, StepClock& clock, const ConcreteSums& concrete) = 0;
  // Whether heat() reads the mean concrete temperature: the pass after each
  // step then takes its sums.
  virtual bool followsConcrete() const { return false; }

  // The release so far as the log shows it (in % of the total heat) and as
  // the growth of the steps waits for it: a table's heat released per unit
  // volume, a curve's own state.
  float qused() const { return qused_; }

  // The cells' own ages and releases, where the source keeps them.
  virtual const CellHydration* cellHydration() const { return nullptr; }
  // The fraction of qtot that the curve releases in the end.
  virtual double ultimate() const { return 1.0; }

 protected:
  float qused_ = 0.0f;
};

// The sources, one for each way a project gives its heat.
std::unique_ptr<HeatSource> rateTableHeat();
std::unique_ptr<HeatSource> curveHeat(const float (&P)[3], int modflag);
struct ReleaseCurve;
std::unique_ptr<HeatSource> maturityHeat(ReleaseCurve curve, const PhysicsOptions& physics);

// The source the project asks for: the rate table where seriesFlag= sets
// table mode, else the curve modelFlag= names, followed cell by cell where
// the [Physics] block asks for hydration=maturity. Table mode without a
// table pauses, and the run goes on with the curve.
std::unique_ptr<HeatSource> chooseHeatSource(Run& run, const ModelState& s);

}  // namespace ph
