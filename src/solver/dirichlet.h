// Prescribed temperatures of the boundary materials, taken from their time
// series (or the weather file a material follows) and written into the cells of those materials on the grid's faces or
// outside the section outline.
#pragma once

#include "model/model_state.h"
#include "model/run.h"
#include "solver/mirror.h"

namespace ph {

// Temperature of boundary b (with n >= 1 points) at time t: the last point's
// at and after its time, otherwise the inverse-square-distance weighted mean
// of the two points around t, or the nearer point when t is within the
// exact-hit tolerance of one.
float getbctemp(Run& run, int b, int n, const float (&bcser)[bndcap + 1][sercap + 1][3], float t);

// The temperature at time t of held material m: the air of the weather file
// it follows, else from the last boundary block that holds it by a series
// (the one ttdirich leaves in its cells), as getbctemp gives it but writing
// nothing; false where neither holds m.
bool seriesTemperature(const ModelState& s, int m, float t, float& value);

void ttdirich(Run& run, const ModelState& s, float t, RealField& hnew);

}  // namespace ph
