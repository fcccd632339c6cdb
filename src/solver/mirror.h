// Mirror (symmetry) faces and the edges where two of them meet. Positions of
// the face codes: 1 i = 1, 2 j = ny, 3 i = nx, 4 j = 1, 5 k = 1, 6 k = nz.
#pragma once

#include <array>

#include "model/model_state.h"

namespace ph {

using FaceCodes = std::array<char, 6>;

// Copies into each mirror face the plane two cells inside (its rim excepted).
void boundary(int nx, int ny, int nz, const FaceCodes& bound, RealField& hnew);

// Sets every cell of a run to the mean of its two sources; d is the index
// that runs, (a1, a2) and (a3, a4) the fixed indices of the two sources.
void edgeloop(RealField& hnew, int i1, int i2, int j1, int j2, int k1, int k2, int d, int a1,
              int a2, int a3, int a4);

// Fills the edges (corners included) where two mirror faces meet.
void nedge(int nx, int ny, int nz, const FaceCodes& bound, RealField& hnew);

}  // namespace ph
