// The model state: every array and scalar that describes a simulation, at
// fixed capacities, zero-filled when created. Cell fields are indexed (i, j, k)
// from 1 with i varying fastest, at the full capacity of the grid.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "model/physics.h"

namespace ph {

inline constexpr int ijcap = 80;   // cells along i and along j
inline constexpr int kcap = 80;    // cells along k
inline constexpr int matcap = 100; // materials
inline constexpr int bndcap = 6;   // boundary materials
inline constexpr int sercap = 50;  // points of a boundary series or of the rate table
inline constexpr int ptscap = 128; // monitor cells

inline constexpr std::size_t cellCount = std::size_t(ijcap) * ijcap * kcap;

// Offset of cell (i, j, k), all from 1.
inline constexpr std::size_t cell(int i, int j, int k) {
  return std::size_t(i - 1) + std::size_t(ijcap) * (std::size_t(j - 1) + std::size_t(ijcap) * std::size_t(k - 1));
}
// Offset of column (i, j) in the plan mask.
inline constexpr std::size_t column(int i, int j) {
  return std::size_t(i - 1) + std::size_t(ijcap) * std::size_t(j - 1);
}

using IntField = std::vector<int>;     // cellCount entries
using RealField = std::vector<float>;  // cellCount entries
using MatTable = std::array<float, matcap + 1>;  // entry 0 unused: materials count from 1
static_assert(kMaterialSlots == matcap + 1);

struct ModelState {
  int nx = 0, ny = 0, nz = 0;
  std::array<char, 6> bound{' ', ' ', ' ', ' ', ' ', ' '};
  int maxits = 0;
  float maxerr = 0, alpha = 0;
  float dx = 0, dy = 0, dz = 0;
  float qtot = 0;
  float start = 0, endtime = 0;  // seconds
  IntField imat = IntField(cellCount, 0);
  MatTable A{}, prod{}, sig{};
  RealField hnew = RealField(cellCount, 0.0f);
  float curve[3] = {};                   // P1, P2, P3 of the hydration curve
  int nrate = 0;
  float rtab[sercap + 1][3] = {};        // [row][1] time (s), [row][2] rate
  int bcp[bndcap + 1][4] = {};           // [b][1] material, [b][2] points, [b][3] initial temperature
  float bcser[bndcap + 1][sercap + 1][3] = {};  // [b][p][1] time (s), [b][p][2] temperature
  std::vector<int> secmask = std::vector<int>(std::size_t(ijcap) * ijcap, 0);
  std::string infile = std::string(80, ' ');
  std::string outfile = std::string(80, ' ');
  float dt = 0;  // seconds
  int modflag = 0, rtsflag = 0;
  PhysicsOptions physics;  // from the [Physics] block, where the project has one
  // Materials whose cells are held wherever they lie, in the sweeps too:
  // those with a surface film, and a lift's material until it is placed.
  // Set as the steps go; none without a [Physics] block.
  std::array<bool, kMaterialSlots> held{};
};

// The clock of the steps: the time at the end of the step, and its length
// (seconds).
struct StepClock {
  float time = 0;
  float dtstep = 0;
};

// The heat a step releases per unit volume and second: in each cell `rate`
// times the production factor of its material or, where `cells` is given,
// the cell's own entry (a field laid out like hnew).
struct StepHeat {
  float rate = 0;
  const RealField* cells = nullptr;
};

// Monitor cells from series.pr, owned by the driver.
struct SeriesPoints {
  int ipts = 0;
  std::array<int, ptscap + 1> ix{}, iy{}, iz{};
};

}  // namespace ph
