// The kernels of the sweep, built for each instruction set: the passes over
// whole diagonals of a layer (scheduled, or restricted to some columns), the
// per-step terms of a layer, and the middle columns, where the two halves of
// a pass meet, one cell at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "solver/sweep_isa.h"
#include "solver/sweep_schedule.h"

namespace ph {

// What every update of one sweep shares.
struct Shared {
  float* work;                // the field, sheared
  const std::uint8_t* mat;    // material of each computed cell, sheared (0 elsewhere)
  const double* oldTerm;      // per cell, sheared
  const double* oldLapl;      // per cell, sheared
  const double* denom;        // per material, each eight times over
  const int* active;          // per position of a layer
  const int* diagRow;         // diagonal (i-1)+(j-1) -> offset of its row in a layer
  std::ptrdiff_t layerSize;
  int nx, ny;
  double dx2, dy2, dz2, alpha, relax, relaxM1;
  // Bit 0, 1, 2 set where dx2, dy2, dz2 is a power of two whose reciprocal
  // is a normal number: dividing by it and multiplying by the reciprocal
  // give the same bits.
  unsigned powersOfTwo;
  double rx2, ry2, rz2;
  float tscale;
  // With a positive, finite tscale the division of each change by it can
  // wait: the quotient rises with the change, so the largest quotient is the
  // quotient of the largest change. Otherwise every change is divided.
  bool divideEach;
  // Balanced conduction (balanced_formula.h): oldTerm holds the balanced
  // old level, and per cell, sheared, the weights of its +i, +j and +k
  // faces and 1 / its denominator; oldLapl, denom and mat are not read.
  // Where a cell's code is not unclassedWeights, its six weights (-i, +i,
  // -j, +j, -k, +k) are also row `code` of wrows, each eight times over: L
  // cells of one code take them from there.
  bool balanced;
  const double *wI, *wJ, *wK, *recip;
  const std::uint8_t* wcode;
  const double* wrows;
};

inline constexpr int unclassedWeights = 255;

// Half of a pass over one layer, restricted to the columns ia..ib.
// A job that lags starts that many diagonals after the others of its call.
struct Job {
  int layer;
  int ia, ib;
  bool reflected;
  int lag = 0;
};

// What the jobs of a scheduled call start from: the offset of each job's
// layer, and the offset from it to the layer whose rows are fetched ahead.
struct JobBases {
  std::ptrdiff_t layer[maxJobs];
  std::ptrdiff_t cold[maxJobs];
};

// What prepare() forms per step, over the sheared layout.
struct StepTables {
  const int* matIn;            // layer k of imat, sheared
  const float* heat;           // layer k of the cells' own heat, sheared; nullptr: Q per material
  std::uint8_t* mat;           // sheared
  const int* active;
  double* oldTerm;
  double* oldLapl;
  const double *A, *sig, *Q;   // per material, as doubles
  std::ptrdiff_t layerSize;
  int nx, ny;
  double dx2, dy2, dz2, S, oneMinusAlpha, dt;
  // Balanced conduction: the weights as in Shared (all layers), and the
  // reciprocal denominators formed instead of oldLapl.
  bool balanced;
  const double *wI, *wJ, *wK;
  double* recip;
  double alpha;
};

struct Kernels {
  // The jobs, diagonal after diagonal, each job in turn.
  void (*passes)(const Shared&, const Job*, int, float&);
  // A schedule's runs, from the job bases given.
  void (*scheduled)(const Shared&, const SweepRun*, std::size_t, const JobBases&, float&);
  // Layer k's materials and old-level terms, from the layers k-1, k, k+1
  // of hold, sheared.
  void (*prepareLayer)(const StepTables&, int, const float*, const float*, const float*);
};
const Kernels& kernels(SweepIsa isa);

// The passes over the middle column(s) i0..i1 of the layers lf (forward) and
// lr (reflected), in the plain order.
void middleColumns(const Shared& s, int lf, int lr, int i0, int i1, float& err);

// 1/d where x/d and x*(1/d) agree for every x: d a power of two with a
// normal reciprocal. 0 otherwise.
double exactReciprocal(double d);

}  // namespace ph
