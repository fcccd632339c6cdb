// One relaxation sweep and the step iteration around it, checked against
// the cell equation worked out by hand, and the quarter-hour step rounding.
#include <gtest/gtest.h>

#include <cmath>

#include "solver/converge.h"
#include "solver/forward.h"
#include "solver/sweep.h"

namespace ph {
namespace {

// A 5 x 4 x 4 block of one material with uneven cell sizes; hold and hnew
// carry unrelated patterns so that a formula reading the wrong field shows.
struct Block {
  static constexpr int nx = 5, ny = 4, nz = 4;
  static constexpr double dx = 0.5, dy = 1.0, dz = 2.0;
  IntField imat = IntField(cellCount, 1);
  MatTable A{}, sig{}, prod{};
  RealField hold = RealField(cellCount, 0.0f), hnew = RealField(cellCount, 0.0f);
  std::vector<int> mask = std::vector<int>(std::size_t(ijcap) * ijcap, 0);
  StepInputs in;

  Block(float alpha, float dtstep, float NewRT) {
    A[1] = 2.0f;
    sig[1] = 0.5f;
    prod[1] = 0.25f;
    for (int k = 1; k <= nz; ++k)
      for (int j = 1; j <= ny; ++j)
        for (int i = 1; i <= nx; ++i) {
          hold[cell(i, j, k)] = float(i * i + 3 * j - k);
          hnew[cell(i, j, k)] = float(7 * i - j * k);
        }
    for (int j = 2; j <= ny - 1; ++j)
      for (int i = 2; i <= nx - 1; ++i) mask[column(i, j)] = 1;
    in = StepInputs{nx, ny, nz, alpha, &imat, &A, &sig, &prod, &hold, NewRT, &mask,
                    dx * dx, dy * dy, dz * dz, dtstep};
  }
  // hold(c) + dt * (sig * L(hold) + Q) / A: the explicit update of a cell.
  double explicitUpdate(int i, int j, int k) const {
    auto h = [&](int a, int b, int c) { return double(hold[cell(a, b, c)]); };
    const double lap = (h(i - 1, j, k) - 2 * h(i, j, k) + h(i + 1, j, k)) / (dx * dx) +
                       (h(i, j - 1, k) - 2 * h(i, j, k) + h(i, j + 1, k)) / (dy * dy) +
                       (h(i, j, k - 1) - 2 * h(i, j, k) + h(i, j, k + 1)) / (dz * dz);
    return h(i, j, k) + in.dtstep * (0.5 * lap + in.NewRT * 0.25) / 2.0;
  }
  bool interior(int i, int j, int k) const {
    return i > 1 && i < nx && j > 1 && j < ny && k > 1 && k < nz;
  }
};

TEST(Sweep, ExplicitUpdateIgnoresTheCurrentNeighbours) {
  // A step under 0.12 s forces relax to 1: each cell lands on its explicit
  // update whatever the current values around it, and the caller sees 1.
  Block b(0.0f, 0.1f, 40.0f);
  const RealField start = b.hnew;
  Sweeper sweeper;
  sweeper.prepare(b.in);
  float err = -1.0e10f;
  double relax = 1.8;
  sweeper.sweep(b.hnew, 2.0f, err, relax);
  EXPECT_EQ(relax, 1.0);
  double largest = 0;
  for (int k = 1; k <= b.nz; ++k)
    for (int j = 1; j <= b.ny; ++j)
      for (int i = 1; i <= b.nx; ++i) {
        const std::size_t c = cell(i, j, k);
        if (!b.interior(i, j, k)) {
          EXPECT_EQ(b.hnew[c], start[c]) << i << j << k;
          continue;
        }
        const double want = b.explicitUpdate(i, j, k);
        EXPECT_NEAR(b.hnew[c], want, 1e-5 * std::fabs(want)) << i << j << k;
        largest = std::max(largest, std::fabs(want - start[c]) / 2.0);
      }
  EXPECT_NEAR(err, largest, 1e-5 * largest);

  // With relax 1.2 every computed cell is updated twice in the call:
  // 1.2 T* - 0.2 (1.2 T* - 0.2 T0) = 0.96 T* + 0.04 T0.
  Block twice(0.0f, 30.0f, 40.0f);
  const RealField t0 = twice.hnew;
  sweeper.prepare(twice.in);
  err = -1.0e10f;
  relax = 1.2;
  sweeper.sweep(twice.hnew, 1.0f, err, relax);
  EXPECT_EQ(relax, 1.2);
  for (int k = 2; k < twice.nz; ++k)
    for (int j = 2; j < twice.ny; ++j)
      for (int i = 2; i < twice.nx; ++i) {
        const double want = 0.96 * twice.explicitUpdate(i, j, k) + 0.04 * t0[cell(i, j, k)];
        EXPECT_NEAR(twice.hnew[cell(i, j, k)], want, 1e-5 * std::fabs(want) + 1e-5) << i << j << k;
      }
}

TEST(Sweep, UniformFieldStaysAndMaskedColumnsAreLeftAlone) {
  Block b(0.5f, 900.0f, 0.0f);
  std::fill(b.hold.begin(), b.hold.end(), 7.0f);
  b.hnew = b.hold;
  Sweeper sweeper;
  sweeper.prepare(b.in);
  float err = -1.0e10f;
  double relax = 1.2;
  sweeper.sweep(b.hnew, 1.0f, err, relax);
  EXPECT_EQ(err, 0.0f);
  EXPECT_TRUE(b.hnew == b.hold);

  // No computed column: nothing is written and err keeps its value.
  Block masked(1.0f, 900.0f, 40.0f);
  std::fill(masked.mask.begin(), masked.mask.end(), 0);
  const RealField before = masked.hnew;
  sweeper.prepare(masked.in);
  err = 0.5f;
  sweeper.sweep(masked.hnew, 1.0f, err, relax);
  EXPECT_EQ(err, 0.5f);
  EXPECT_TRUE(masked.hnew == before);

  // converge then makes one sweep and hands back the start value of err.
  int sweeps = 0;
  const float e = converge(sweeper, masked.in, FaceCodes{'D', 'D', 'D', 'D', 'D', 'D'},
                           StepControl{50, 1e-6f}, masked.hnew, &sweeps);
  EXPECT_EQ(sweeps, 1);
  EXPECT_EQ(e, -1.0e10f);
}

TEST(Converge, RelaxationScheduleOfTwelveSweeps) {
  const double want[12] = {1.2, 1.8, 1.0, 1 / 1.15, 1.2, 1 / 2.7,
                           1.0, 1 / 1.3, 1 / 6.3, 1.2, 1 / 2.7, 1.0};
  const double printed[12] = {1.2, 1.8, 1.0, 0.8695652, 1.2, 0.3703704,
                              1.0, 0.7692308, 0.1587302, 1.2, 0.3703704, 1.0};
  for (int n = 1; n <= 12; ++n) {
    EXPECT_EQ(relaxFactor(n), want[n - 1]) << "sweep " << n;
    EXPECT_NEAR(relaxFactor(n), printed[n - 1], 5e-8) << "sweep " << n;
  }
}

TEST(Forward, QuarterHourRounding) {
  EXPECT_EQ(roundDt(1350.0f), 1800.0f);  // 1.5 + 0.51 truncates to 2
  EXPECT_EQ(roundDt(1305.0f), 900.0f);   // 1.45 + 0.51 truncates to 1
  EXPECT_EQ(roundDt(900.0f), 900.0f);
  EXPECT_EQ(roundDtmax(3600.0f), 4500.0f);  // an exact multiple still moves up
  EXPECT_EQ(roundDtmax(3601.0f), 4500.0f);
  EXPECT_EQ(roundDtmax(10.0f), 900.0f);
}

}  // namespace
}  // namespace ph
