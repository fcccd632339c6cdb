// The mean temperature of the hydrating concrete, and the copy of the field
// from one step to the next.
#pragma once

#include "model/model_state.h"
#include "model/run.h"
#include "model/stats.h"

namespace ph {

// Mean of the interior temperatures weighted by each cell's heat-production
// factor; logged.
float getctemp(Run& run, int nx, int ny, int nz, const IntField& imat, const MatTable& prod,
               const RealField& hnew);

// getctemp in two parts, for callers that take the sums (ConcreteSums) along
// with another pass over the field: the two sums, added cell by cell in
// getctemp's order (i, then j, then k innermost, over the interior), and the
// mean from them.
ConcreteSums concreteSums(int nx, int ny, int nz, const IntField& imat, const MatTable& prod,
                          const RealField& hnew);
// The mean from the sums of hnew as it is now; logged.
float concreteTemperature(Run& run, int nx, int ny, int nz, const ConcreteSums& sums, const RealField& hnew);

void hupdate(int nx, int ny, int nz, RealField& hold, const RealField& hnew);

}  // namespace ph
