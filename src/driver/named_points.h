// The named points of a run: each placed on the grid before the run writes
// its first result (a point off the grid, or in no computed cell and on no
// face of one, stops the run, naming its line of the [Physics] block), then
// read after every step for points.csv.
#pragma once

#include <vector>

#include "model/model_state.h"
#include "model/run.h"
#include "solver/point_temperature.h"

namespace ph {

void checkNamedPoints(Run& run, const ModelState& s);

class PointReadings {
 public:
  explicit PointReadings(const ModelState& s);
  // Each point's temperature (C) in the field h, in the order of the block.
  const std::vector<double>& read(const RealField& h);

 private:
  ConductanceInputs inputs_;
  std::vector<PointSite> sites_;
  std::vector<double> values_;
};

}  // namespace ph
