// Mirror (symmetry) faces and the edges where two of them meet. Positions of
// the face codes: 1 i = 1, 2 j = ny, 3 i = nx, 4 j = 1, 5 k = 1, 6 k = nz.
#pragma once

#include <array>

#include "model/model_state.h"

namespace ph {

using FaceCodes = std::array<char, 6>;

// Copies into each mirror face the plane two cells inside (its rim excepted).
void boundary(int nx, int ny, int nz, const FaceCodes& bound, RealField& hnew);

// The copies of boundary() in a field laid out in any way: `at(i, j, k)` is
// the offset of cell (i, j, k) in h. The faces go in their order, which
// matters only where one is 3 cells across.
template <typename At>
void copyMirrorFaces(int nx, int ny, int nz, const FaceCodes& bound, float* h, At at) {
  if (bound[0] == 'N')
    for (int k = 2; k <= nz - 1; ++k)
      for (int j = 2; j <= ny - 1; ++j) h[at(1, j, k)] = h[at(3, j, k)];
  if (bound[1] == 'N')
    for (int k = 2; k <= nz - 1; ++k)
      for (int i = 2; i <= nx - 1; ++i) h[at(i, ny, k)] = h[at(i, ny - 2, k)];
  if (bound[2] == 'N')
    for (int k = 2; k <= nz - 1; ++k)
      for (int j = 2; j <= ny - 1; ++j) h[at(nx, j, k)] = h[at(nx - 2, j, k)];
  if (bound[3] == 'N')
    for (int k = 2; k <= nz - 1; ++k)
      for (int i = 2; i <= nx - 1; ++i) h[at(i, 1, k)] = h[at(i, 3, k)];
  if (bound[4] == 'N')
    for (int j = 2; j <= ny - 1; ++j)
      for (int i = 2; i <= nx - 1; ++i) h[at(i, j, 1)] = h[at(i, j, 3)];
  if (bound[5] == 'N')
    for (int j = 2; j <= ny - 1; ++j)
      for (int i = 2; i <= nx - 1; ++i) h[at(i, j, nz)] = h[at(i, j, nz - 2)];
}

// Sets every cell of a run to the mean of its two sources; d is the index
// that runs, (a1, a2) and (a3, a4) the fixed indices of the two sources.
void edgeloop(RealField& hnew, int i1, int i2, int j1, int j2, int k1, int k2, int d, int a1,
              int a2, int a3, int a4);

// Fills the edges (corners included) where two mirror faces meet.
void nedge(int nx, int ny, int nz, const FaceCodes& bound, RealField& hnew);

}  // namespace ph
