// The mean temperature of the hydrating concrete, and the copy of the field
// from one step to the next.
#pragma once

#include "model/model_state.h"
#include "model/run.h"

namespace ph {

// Mean of the interior temperatures weighted by each cell's heat-production
// factor; logged.
float getctemp(Run& run, int nx, int ny, int nz, const IntField& imat, const MatTable& prod,
               const RealField& hnew);

void hupdate(int nx, int ny, int nz, RealField& hold, const RealField& hnew);

}  // namespace ph
