// The sheared layout of the sweeps: cell (i, j, k) lives in row
// ((i-1) + (j-1)) mod ny of layer k, at position i of that row, so that each
// anti-diagonal (i + j constant) of a layer is one contiguous row, whose
// cells the sweep updates together. Lanes that run past the last column of a
// row read up to position nx + 7.
#pragma once

#include <cstddef>
#include <vector>

#include "model/model_state.h"
#include "solver/sweep_isa.h"

namespace ph {

inline constexpr int rowPitch = ijcap + 8;

struct ShearedLayout {
  int nx = 0, ny = 0, nz = 0;
  std::ptrdiff_t layerSize = 0;  // rows * rowPitch
  std::vector<int> diagRow;      // diagonal (i-1)+(j-1) -> offset of its row in a layer

  void shape(int nx, int ny, int nz);
  std::ptrdiff_t at(int i, int j, int k) const {
    return std::ptrdiff_t(k - 1) * layerSize + diagRow[i + j - 2] + i;
  }
  std::size_t size() const { return std::size_t(nz) * std::size_t(layerSize); }
};

// Copies one layer of a field (floats, or ints by their bits) into a sheared
// layer, and a sheared layer of floats back; built for each instruction set.
struct ShearKernels {
  void (*inFloat)(const float* fieldLayer, float* shearedLayer, int nx, int ny);
  void (*inInt)(const int* fieldLayer, int* shearedLayer, int nx, int ny);
  void (*outFloat)(const float* shearedLayer, float* fieldLayer, int nx, int ny);
};
const ShearKernels& shearKernels(SweepIsa isa);

// The layers 1..nz of a field into the sheared copy, and back (every cell of
// the columns and rows in use).
void shearField(const ShearKernels& kern, const ShearedLayout& l, const float* field, float* sheared);
void unshearField(const ShearKernels& kern, const ShearedLayout& l, const float* sheared, float* field);

// The layers 1..nz of a field of doubles into a sheared copy, resized to the
// layout, 0 where no cell lies; one cell at a time, for what changes seldom.
void shearDoubles(const ShearedLayout& l, const double* field, std::vector<double>& sheared);

}  // namespace ph
