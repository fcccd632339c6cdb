// The physics a project opts into with a [Physics] block at the end of its
// file: how heat crosses the face between two cells, how the heat of
// hydration follows each cell's own temperature, the longest step, and the
// surface films of held materials. A project without the block runs as it
// always has: every field here at its default and `present` false.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "model/named_points.h"

namespace ph {

enum class Conduction {
  legacy,    // each cell its own conductivity on all six faces
  balanced,  // one conductance per face, the series resistance of its two half cells
};

enum class Hydration {
  legacy,    // one heat rate per step for every cell
  maturity,  // each producing cell its own equivalent age and released fraction
};

// Materials are numbered 1 to 100 (matcap); entry 0 unused.
inline constexpr int kMaterialSlots = 101;

// The longest step (s) of a run in the sound mode when the block gives none.
inline constexpr float kDefaultMaxStep = 1800.0f;

struct PhysicsOptions {
  bool present = false;  // the project has a [Physics] block
  Conduction conduction = Conduction::legacy;
  Hydration hydration = Hydration::legacy;
  double activation = 35000.0;  // J/mol
  double reference = 24.0;      // degrees C
  float maxstep = kDefaultMaxStep;  // s
  // Film coefficient (W/(m2 K)) of each held material between it and the
  // computed cells it meets; 0 where there is none.
  std::array<float, kMaterialSlots> film{};
  std::vector<NamedPoint> points;  // in the order the block names them
  std::string section;             // section=: the point whose sections are kept; "" none
  std::size_t sectionLine = 0;     // of the project file that gives it

  // The steps are held to maxstep where either part of the sound mode is on.
  bool sound() const { return conduction == Conduction::balanced || hydration == Hydration::maturity; }
};

}  // namespace ph
