// The temperature at a place of the grid that need not be a cell centre: a
// named point. The point lies in (or on a face of) a computed cell c. Along
// each axis, with delta its offset from c's centre toward the neighbour n
// on that side (|delta| <= d/2): where n is computed and of c's material,
// the temperature runs straight from T_c at the centre to T_n a cell
// further on; otherwise (another material, a held cell, a film) from T_c to
// the temperature of the face between them (faceTemperature) at d/2. A
// mirror face's copy stands for the cell on the far side of c, so toward it
// the point reads as its mirror image does. The point's temperature is T_c
// plus the three axes' corrections: exact for a field linear along each
// axis, and the face's own temperature on a face.
#pragma once

#include "solver/conductance.h"

namespace ph {

struct PointSite {
  enum class Fit { computed, outsideGrid, notComputed };
  Fit fit = Fit::outsideGrid;
  // The computed cell that reads the point; where there is none, the cell
  // the point lies in.
  int i = 0, j = 0, k = 0;
  double offset[3] = {};  // from that cell's centre along x, y, z, in cells (-0.5 to 0.5)
};

// Places the point (x, y, z) (m, from the outer low corner of cell
// (1, 1, 1)). A coordinate within 1e-5 of a cell of a face or a centre lies
// on it. A point on a face, an edge or a corner lies in each cell that
// meets there: the computed one of a producing material (prod above 0)
// reads it, else the computed one of lowest k, then j, then i.
PointSite placePoint(const ConductanceInputs& in, const MatTable& prod, double x, double y, double z);

// The temperature in the field h at a point placed in a computed cell.
double pointTemperature(const ConductanceInputs& in, const RealField& h, const PointSite& at);

}  // namespace ph
