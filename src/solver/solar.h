// The sun on the faces of the body that meet the air of a weather file with
// sun. A face of a computed cell toward a held cell of such a material meets
// that air through the face's conductance U = 1 / (d/(2k) + 1/h + R) (the
// half cell, the film and its covers); the sun absorbed at the surface, a I,
// acts as the sol-air temperature T_air + a I / h would: it brings
//   U a I / h   per unit area of the face, or w a I / h per unit volume of
// the cell, w the face's weight (conductance.h),
// so that a body in still air and steady sun settles at the sol-air
// temperature. I is the irradiance on a horizontal surface: a top face
// (toward +k) takes all of it, a vertical face 0.4 of it (a daily mean over
// orientations: a screening simplification), a bottom face none. A face
// toward a mirror plane takes what the face it mirrors takes.
//
// The sun goes in as heat of the computed cells beside the weights' own
// sweeps: the step's heat becomes one value per cell, the source's heat
// plus the sun's.
#pragma once

#include <cstdint>
#include <vector>

#include "model/model_state.h"
#include "solver/conductance.h"

namespace ph {

// The share of the horizontal irradiance a vertical face takes.
inline constexpr double kVerticalSunShare = 0.4;

class SolarGain {
 public:
  // Whether any weather file of the run has sun.
  explicit SolarGain(const PhysicsOptions& p);

  // The step's heat with the sun of time `mid` (s) added, for a step of dt
  // seconds; `in` and `w` the cells and weights the sweeps use (the faces,
  // those that take the film of a material with sun, are found again
  // whenever the weights change). Where no sun shines
  // the heat comes back as it is.
  StepHeat add(const ModelState& s, const ConductanceInputs& in, const Conductances& w, const StepHeat& heat,
               double mid, double dt);
  // The heat (J) the sun gave the modelled body in the step add() saw last,
  // each cell by its share of the body: what the sweeps' heat holds beyond
  // the source's.
  double joules() const { return joules_; }

 private:
  struct SunFace {
    std::size_t c;
    int i, j, k;
    Face f;
    int material;
    double factor;  // of the horizontal irradiance
    double share;   // of the cell, in the body
  };
  void findFaces(const ModelState& s, const ConductanceInputs& in, const Conductances& w);

  bool any_ = false;
  std::uint64_t stamp_ = 0;
  std::vector<SunFace> faces_;  // grouped by cell
  RealField field_;
  double joules_ = 0;
};

}  // namespace ph
