// Hydration heat in table mode: a measured heat-rate table, scaled once so
// that it releases the total heat, then followed row by row with the steps
// cut to end on the table times.
#pragma once

#include "model/model_state.h"
#include "model/run.h"

namespace ph {

using RateTable = float[sercap + 1][3];

// Appends the extrapolated row, integrates to 32 days (or 1.1 times the end
// time) and scales the rates by the integral, which it returns.
float initrt(Run& run, int& nrate, RateTable& rtab, float endtime);

void rtsource(Run& run, int nrate, int& irt, const RateTable& rtab, float qtot, float& dtstep,
              float& time, float& OldRT, float& NewRT);

}  // namespace ph
