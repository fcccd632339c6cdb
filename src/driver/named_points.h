// The named points of a run: each placed on the grid before the run writes
// its first result (a point off the grid, or in no computed cell and on no
// face of one, stops the run, naming its line of the [Physics] block), then
// read after every step for points.csv.
#pragma once

#include <vector>

#include "model/model_state.h"
#include "model/run.h"
#include "results/sections_file.h"
#include "solver/point_temperature.h"

namespace ph {

void checkNamedPoints(Run& run, const ModelState& s);

class PointReadings {
 public:
  explicit PointReadings(const ModelState& s);
  // Each point's temperature (C) in the field h, in the order of the block.
  const std::vector<double>& read(const RealField& h);

  const PointSite& site(std::size_t p) const { return sites_[p]; }

 private:
  ConductanceInputs inputs_;
  std::vector<PointSite> sites_;
  std::vector<double> values_;
};

// section=NAME: the field at NAME's peak and at the largest difference of
// NAME less the coldest other point, both by the values as points.csv
// writes them, the first step winning a tie. sections.csv is written anew
// after each step that finds either, so an interrupted run leaves what it
// had found.
class SectionKeeper {
 public:
  SectionKeeper(const ModelState& s, const PointReadings& points);
  // After the step ending at `time`, whose points read `values`.
  void afterStep(Run& run, const ModelState& s, float time, const std::vector<double>& values);

 private:
  std::size_t point_ = 0;  // NAME's place in the block
  int i_ = 0, j_ = 0, k_ = 0;  // the cell that reads it
  bool others_ = false;    // the block names other points: there is a difference
  long long peak_ = 0, difference_ = 0;  // in thousandths, as written
  bool found_ = false;
  KeptField atPeak_{"peak", 0, {}}, atDifference_{"difference", 0, {}};
};

}  // namespace ph
