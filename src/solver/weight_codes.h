// The weights of balanced conduction as the sweep's kernels read them:
// each computed cell carries a code for its set of six face weights, and a
// small table holds the sets, so that a run of cells of one code reads its
// weights from there instead of from three streams of doubles.
#pragma once

#include <cstdint>
#include <vector>

#include "solver/sheared_layout.h"

namespace ph {

// The code of the cells whose set of six has no row in the table.
inline constexpr int unclassedWeights = 255;

// Codes the six weights (-i, +i, -j, +j, -k, +k) of every computed cell
// (active: not 0 at its position in a layer) from the sheared weights of the
// cells' +i, +j and +k faces: the 255 commonest sets of six get a row of
// the table each (`rows`, each weight eight times over), the others
// unclassedWeights. A position that is not a computed cell takes the code of
// the computed cell before it in its row (or, where there is none, after
// it): its lane in a run is never stored, and so the runs find their lanes
// agreeing wherever their computed cells do.
void codeWeights(const ShearedLayout& l, const int* active, const double* wI, const double* wJ, const double* wK,
                 std::vector<std::uint8_t>& code, std::vector<double>& rows);

}  // namespace ph
