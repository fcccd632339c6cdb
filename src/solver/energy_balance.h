// The energy balance of a step over the modelled body, in double:
//   released  sum over computed cells of share x Q x V x dt
//   stored    sum over computed cells of share x A x (T - hold) x V
//   crossing  sum over faces between a computed and a held cell of
//             share x w x V x (alpha (Th - Tc) + (1 - alpha)(hold_h - hold_c)) x dt
// with the held cell at the value the step used. A computed cell next to a
// mirror face lies on the symmetry plane and only its share inside the body
// counts (conductance.h, cellShare): half next to one mirror face, a quarter
// next to two, an eighth next to three. Its face to the mirror copy carries
// nothing, and each of its other faces counts by the share of the face that
// lies inside (the cell's share, undone along the face's own axis). Then
// released + crossing - stored is zero but for the sweep's error and the
// rounding of the field to single precision.
//
// With legacy conduction each cell passes heat at its own conductivity,
// w = k / d^2 on each of its faces: the balance then shows what the legacy
// formula loses between cells of different materials.
#pragma once

#include <cmath>
#include <vector>

#include "solver/cell_formula.h"
#include "solver/conductance.h"

namespace ph {

struct StepEnergy {
  double released = 0, stored = 0, crossing = 0;  // J; crossing into the body
  double exchanged = 0;  // J through the held faces, in and out alike

  double error() const { return released + crossing - stored; }
  // The heat the step moves, by which its error is judged.
  double moved() const { return std::fabs(released) + std::fabs(stored) + exchanged; }
};

// What the balance of every step needs of the grid, formed once.
struct BalanceCells {
  struct Computed {
    std::size_t c;
    double share;
  };
  struct HeldFace {
    std::size_t c, n;  // the computed cell and its held neighbour
    // share x w x V (W/K); with balanced weights the share alone, w read
    // at each step from where the weights keep it (axis, offset), so that
    // re-formed films count at once.
    double g;
    int axis;
    std::size_t at;
  };
  std::vector<Computed> cells;
  std::vector<HeldFace> faces;
  double volume = 0;  // of one cell (m3)
};

// `weights` the balanced conductances, or nullptr for legacy conduction.
BalanceCells balanceCells(const ConductanceInputs& in, const Conductances* weights);

// The balance of the step just solved: `in` as the sweeps had it (hold the
// field at the start of the step, the step's heat), hnew the field at its end.
StepEnergy stepEnergy(const BalanceCells& b, const StepInputs& in, const RealField& hnew);

}  // namespace ph
