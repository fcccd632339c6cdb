// What a [Physics] block adds to a run: the balanced conductances where it
// asks for them, the energy balance of every step and the hydration of the
// concrete, for heat.csv and the lines that end the run.
#pragma once

#include <string>

#include "hydration/source.h"
#include "model/model_state.h"
#include "results/heat_file.h"
#include "solver/converge.h"
#include "solver/energy_balance.h"
#include "solver/solar.h"

namespace ph {

class SoundRun {
 public:
  // Forms the conductances (conduction=balanced) and what the balance needs.
  explicit SoundRun(const ModelState& s);

  // The conductances the sweeps use; nullptr for legacy conduction.
  const Conductances* conductances() const { return balanced_ ? &weights_ : nullptr; }

  // Held material m's film becomes h W/(m2 K) with covers of r m2 K/W in
  // series: the weights of its faces re-formed, the balance following them.
  void setFilm(ModelState& s, int m, float h, float r);

  // Before a step: with balanced conduction the mirror faces of the field
  // the step starts from hold their copies too, so that no heat crosses a
  // symmetry plane at the old level either (at the start of a run they hold
  // whatever the project put there).
  void beforeStep(const ModelState& s, RealField& hold) const;

  // The step's heat with the sun of the weather files at `mid` (s) added,
  // for a step of dt seconds (solar.h).
  StepHeat withSun(const ModelState& s, const StepHeat& heat, float mid, float dt);

  // Whether the step just solved (`in` as the sweeps had it, hnew at its
  // end) is to be solved on: where its heat does not balance to 1e-4 of the
  // heat it moves, the tolerance is made ten times tighter, for this step
  // and the rest of the run (down to 1e-4 of maxerr), and true returned.
  bool solveOn(const ModelState& s, const StepInputs& in, StepControl& control);
  // The step just solved, as solveOn() last saw it, ending at `time`,
  // taken into the figures of the run.
  const HeatFigures& afterStep(const ModelState& s, const StepInputs& in, const HeatSource& heat, float time);
  const HeatFigures& figures() const { return figures_; }

  // Where conduction=legacy meets materials of conductivities more than
  // 1.5 times apart: what the warning says; else "".
  std::string contrastWarning(const ModelState& s) const;

 private:
  ConductanceInputs inputs_;
  bool balanced_ = false;
  Conductances weights_;
  SolarGain sun_;
  BalanceCells cells_;
  double legacyRelease_ = 0;     // sum of rate x dt: a legacy source's release per unit of production
  HeatFigures figures_;
  StepEnergy step_;
};

}  // namespace ph
