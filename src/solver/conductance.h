// Balanced conduction: one conductance per face between two cells, shared
// by both, from the series resistance of the two half cells.
//
// Per unit volume of a cell of size d across the face (W/(m3 K)):
//   w = 1 / (d (R_c + R_n))
//   R   = d / (2 k)    the half cell of a material of conductivity k
//   R_n = 1 / h + R    in place of the neighbour's half cell where the
//                      neighbour is held and its material has a surface
//                      film of coefficient h (W/(m2 K)), with thin covers
//                      of resistance R (m2 K/W) in series
// so that with equal conductivities w = k / d^2, and a face between two
// materials passes the same heat to one cell as it takes from the other.
//
// Computed cells are those the sweep solves: the interior (2..n-1 along
// each index) of the columns of the plan mask, but for the cells of held
// materials (a surface film, a lift not yet placed), which are held wherever
// they lie. Every other cell is held.
// A face between two held cells carries nothing (weight 0). A held cell in
// the boundary plane of a mirror face holds a copy of the plane two cells
// inside, so it stands for the cell on the other side of its computed
// neighbour: the face between them takes the weight of the face on that
// other side, and the symmetry plane (the computed cell's centre) carries no
// heat.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/model_state.h"
#include "solver/mirror.h"

namespace ph {

// What the conductances are formed from. Re-form them (formConductances)
// whenever any of it changes: materials, films, the plan mask.
struct ConductanceInputs {
  int nx = 0, ny = 0, nz = 0;
  const IntField* imat = nullptr;
  const MatTable* sig = nullptr;     // conductivity k of each material
  const MatTable* film = nullptr;    // film coefficient h of each material; 0 (or nullptr): none
  float dx = 0, dy = 0, dz = 0;
  FaceCodes bound{' ', ' ', ' ', ' ', ' ', ' '};
  const std::vector<int>* secmask = nullptr;
  const MatTable* cover = nullptr;  // resistance of covers in series with the film; nullptr: none
  const std::array<bool, kMaterialSlots>* held = nullptr;  // materials held wherever they lie
};

// The six faces of a cell.
enum class Face { minusI, plusI, minusJ, plusJ, minusK, plusK };

// Per face, in the order of Face: the step to the neighbour, and the
// position in the face codes of the grid face whose boundary plane that
// neighbour may lie in.
struct FaceStep {
  int di, dj, dk;
  int code;
};
inline constexpr FaceStep kFaceSteps[6] = {{-1, 0, 0, 0}, {1, 0, 0, 2}, {0, -1, 0, 3},
                                           {0, 1, 0, 1},  {0, 0, -1, 4}, {0, 0, 1, 5}};

// A face whose weight takes the film of a held material: the computed cell
// and its face toward the held cell, and where the weight is kept.
struct FilmFace {
  int i, j, k;
  Face f;
  int axis;
  std::size_t at;
};

// Three weights per cell, laid out like a field (layers 1..nz): the weight
// of its +i, +j and +k face. A cell's -i weight is the +i weight of the
// cell before it along i, and so on.
struct Conductances {
  int nx = 0, ny = 0, nz = 0;
  std::vector<double> plusI, plusJ, plusK;
  // Per material, the faces whose weight takes its film: what setFilm
  // re-forms.
  std::vector<std::vector<FilmFace>> filmFaces;
  // New with every forming, different from every earlier one in the
  // process: whoever keeps a copy of the weights re-takes it when it moves.
  std::uint64_t stamp = 0;

  // The weight of face f of cell (i, j, k).
  double weight(int i, int j, int k, Face f) const;
};

// Forms every weight, in place (the vectors keep their storage when the
// extents do not grow).
void formConductances(const ConductanceInputs& in, Conductances& out);

// Sets held material m's film to h W/(m2 K) with covers of r m2 K/W in
// series (in s.physics, which `in` reads; m has a film already) and re-forms the weights of the
// faces that take its film, and only those: cheap enough for every step.
// Nothing changes (not even the stamp) when h and r are those already set.
void setFilm(ModelState& s, const ConductanceInputs& in, Conductances& w, int m, float h, float r);

// Whether cell (i, j, k) is one the sweep solves.
bool computedCell(const ConductanceInputs& in, int i, int j, int k);

// The temperature at face f of computed cell (i, j, k) from the field h,
// from that face's flux balance: the mean of the cell's temperature and
// its neighbour's weighted by the inverse of their resistances to the face,
//   (T_c/R_c + T_n/R_n) / (1/R_c + 1/R_n),
// R_c and R_n as for the weights (a film where the held neighbour has one;
// across a mirror face the neighbour holds the copy and takes the
// resistance of the cell it copies). What a sensor at that surface reads.
double faceTemperature(const ConductanceInputs& in, const RealField& h, int i, int j, int k, Face f);

// Whether the neighbour across face f of cell (i, j, k) is the copy a
// mirror face holds: it stands for the cell on the other side of (i, j, k).
bool mirrorCopy(const ConductanceInputs& in, int i, int j, int k, Face f);

// The share of cell (i, j, k) that lies inside the modelled body: a computed
// cell next to a mirror face is cut in half by the symmetry plane through
// its centre (a quarter next to two, an eighth next to three); 1 otherwise.
// The energy of the body is the sum over computed cells of share x the
// cell's energy, and a face to a mirror plane carries nothing across the
// symmetry plane.
double cellShare(const ConductanceInputs& in, int i, int j, int k);

}  // namespace ph
