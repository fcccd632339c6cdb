// The weather a held material follows: its rows read as straight lines
// between them, and the film coefficient the wind gives a surface.
#pragma once

#include "model/physics.h"

namespace ph {

struct WeatherSample {
  double air = 0;    // C
  double wind = 0;   // m/s; 0 where the file has no wind
  double solar = 0;  // W/m2 on a horizontal surface; 0 where the file has no sun
};

// The weather at time t (s), on the straight line between the rows around
// it; before the first row the first, after the last the last.
WeatherSample weatherAt(const Weather& w, double t);

// The film coefficient (W/(m2 K)) of a surface in wind of speed v (m/s):
// 5.6 + 4.0 v up to 5 m/s, 7.2 v^0.78 above.
double windFilm(double v);

// The wind (m/s) of the whole hour that time t (s) falls in: the wind at
// the start of that hour, so that a film following it changes at most once
// an hour.
double windOfHour(const Weather& w, double t);

// The weather material m follows, or nullptr.
const Weather* weatherOf(const PhysicsOptions& p, int m);

}  // namespace ph
