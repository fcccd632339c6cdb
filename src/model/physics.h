// The physics a project opts into with a [Physics] block at the end of its
// file: how heat crosses the face between two cells, how the heat of
// hydration follows each cell's own temperature, the longest step, and the
// surface films of held materials, the weather some of them follow and the
// events that change the model in time. A project without the block runs as
// it always has: every field here at its default and `present` false.
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

// A change of the model at a time, applied at the first step boundary at
// or after it.
struct Event {
  enum class Kind {
    material,  // every cell of `material` becomes `other`
    film,      // the film of held `material` becomes `value` W/(m2 K), `cover` m2 K/W in series
    lift,      // `material` joins the model, placed at `value` C; before, held as `other` (0: at `value`)
  };
  Kind kind = Kind::material;
  float at = 0;          // s
  std::size_t line = 0;  // of the project file, for the log
  int material = 0, other = 0;
  float value = 0, cover = 0;
};

// Rows of a weather file, read as straight lines between them: the air
// temperature and, where the file has them, wind and sun.
struct Weather {
  int material = 0;       // the held material that follows it
  std::string file;       // as the block names it
  std::vector<double> time;                // s, increasing
  std::vector<double> air, wind, solar;    // C, m/s, W/m2 on a horizontal surface; wind, solar may be empty
};

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
  // Resistance (m2 K/W) of thin covers in series with that film.
  std::array<float, kMaterialSlots> cover{};
  // Solar absorptivity of the faces that meet weather with sun.
  double absorptivity = 0.65;
  std::vector<Weather> weather;
  std::vector<Event> events;  // in time order; equal times in the order of the block

  // The steps are held to maxstep where either part of the sound mode is on.
  bool sound() const { return conduction == Conduction::balanced || hydration == Hydration::maturity; }
};

}  // namespace ph
