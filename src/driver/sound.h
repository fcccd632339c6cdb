// What a [Physics] block adds to a run: the balanced conductances where it
// asks for them, the energy balance of every step and the hydration of the
// concrete, for heat.csv and the lines that end the run.
#pragma once

#include <array>
#include <string>
#include <vector>

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
  // Holds the cells of the materials with a film wherever they lie, and the
  // cells of each lift until it is placed: as its held material (their
  // material becomes that one until then) or at its placing temperature.
  explicit SoundRun(ModelState& s);

  // The heat capacities the sweeps take: each material's, but so large for
  // the held ones that a held cell the sweeps visit keeps its value.
  const MatTable* capacities() const { return &capacities_; }

  // The time (s) of the next event not yet applied; +infinity when none.
  float nextEvent() const;
  // At a step boundary `time` (s): applies the events due by then, in
  // order, each with one line in the log; re-forms what they change, and
  // counts the heat the cells that join or leave the body carry.
  void applyEvents(Run& run, ModelState& s, RealField& hold, float time);

  // The conductances the sweeps use; nullptr for legacy conduction.
  const Conductances* conductances() const { return balanced_ ? &weights_ : nullptr; }

  // Held material m's film becomes h W/(m2 K) with covers of r m2 K/W in
  // series: the weights of its faces re-formed, the balance following them.
  void setFilm(ModelState& s, int m, float h, float r);

  // Before a step: the held cells the sweeps visit take their material's
  // temperature at mid-step `t` (s), in the field the step starts from and
  // in s.hnew alike; with balanced conduction the mirror faces of the field
  // the step starts from hold their copies too, so that no heat crosses a
  // symmetry plane at the old level either (at the start of a run they hold
  // whatever the project put there).
  void beforeStep(ModelState& s, float t, RealField& hold);
  // After the sweeps: those held cells at exactly their value again.
  void restoreHeld(RealField& hnew) const;

  // The weather of the step's middle `mid` (s), for a step of dt seconds:
  // the films of materials in wind follow the wind of that hour (their
  // covers kept), and the step's heat comes back with the sun of the
  // weather files added (solar.h).
  StepHeat withWeather(ModelState& s, const StepHeat& heat, float mid, float dt);

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
  // Everything that follows from the materials and the held ones.
  void reform(const ModelState& s);
  // The heat in the body: sum over computed cells of share x A T V.
  double content(const ModelState& s) const;
  // The held temperature of material m at time t; false: it keeps its own.
  bool heldValue(const ModelState& s, int m, float t, float& value) const;

  struct Lift {
    int material = 0, heldAs = 0;
    float placing = 0, production = 0;
    std::vector<std::size_t> cells;
  };
  struct HeldCell {
    std::size_t c;
    int m;
  };
  std::vector<Event> events_;  // in time order
  std::size_t next_ = 0;       // the first not yet applied
  std::vector<Lift> lifts_;
  std::array<bool, kMaterialSlots> waiting_{};  // a lift held at its placing temperature
  std::vector<HeldCell> heldCells_;              // held cells of the computed columns' interior
  std::array<float, kMaterialSlots> heldNow_{};  // their values in the current step
  std::array<bool, kMaterialSlots> heldKnown_{};
  MatTable capacities_{};
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
