// One relaxation sweep and the step iteration around it, checked against
// the cell equation worked out by hand.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "solver/converge.h"
#include "solver/sweep.h"
#include "support/readers.h"

namespace ph {
namespace {

using test::eachCell;

// A 5 x 4 x 4 block of one material (A 2, sig 0.5, prod 0.25) with uneven
// cell sizes; hold and hnew carry unrelated patterns so that a formula
// reading the wrong field shows.
struct Block {
  static constexpr int nx = 5, ny = 4, nz = 4;
  IntField imat = IntField(cellCount, 1);
  MatTable A{0, 2.0f}, sig{0, 0.5f}, prod{0, 0.25f};
  RealField hold = RealField(cellCount, 0.0f), hnew = RealField(cellCount, 0.0f);
  std::vector<int> mask = std::vector<int>(std::size_t(ijcap) * ijcap, 0);
  StepInputs in;

  Block(float alpha, float dtstep, float NewRT)
      : in{nx, ny, nz, alpha, &imat, &A, &sig, &prod, &hold, {NewRT}, &mask, 0.25, 1.0, 4.0, dtstep} {
    eachCell(nx, ny, nz, [&](int i, int j, int k) {
      hold[cell(i, j, k)] = float(i * i + 3 * j - k);
      hnew[cell(i, j, k)] = float(7 * i - j * k);
      mask[column(i, j)] = interior(i, j, 2);
    });
  }
  std::pair<float, double> sweep(float tscale, float err, double relax) {
    Sweeper sweeper;
    sweeper.prepare(in);
    sweeper.sweep(hnew, tscale, err, relax);
    return {err, relax};
  }
  // hold + dt (sig Laplacian(hold) + NewRT prod) / A: the explicit update.
  double explicitUpdate(int i, int j, int k) const {
    auto h = [&](int a, int b, int c) { return double(hold[cell(a, b, c)]); };
    const double lap = (h(i - 1, j, k) - 2 * h(i, j, k) + h(i + 1, j, k)) / 0.25 +
                       (h(i, j - 1, k) - 2 * h(i, j, k) + h(i, j + 1, k)) +
                       (h(i, j, k - 1) - 2 * h(i, j, k) + h(i, j, k + 1)) / 4.0;
    return h(i, j, k) + in.dtstep * (0.5 * lap + in.heat.rate * 0.25) / 2.0;
  }
  static bool interior(int i, int j, int k) { return i > 1 && i < nx && j > 1 && j < ny && k > 1 && k < nz; }
};

TEST(Sweep, ExplicitUpdates) {
  // alpha = 0 and a step under 0.12 s, which forces relax to 1: each cell
  // lands on its explicit update whatever the current values around it.
  // With relax 1.2 each cell is updated twice in the call:
  // 1.2 T* - 0.2 (1.2 T* - 0.2 T0) = 0.96 T* + 0.04 T0.
  for (const auto& [dt, relax, keep] : {std::tuple{0.1f, 1.8, 0.0}, {30.0f, 1.2, 0.04}}) {
    Block b(0.0f, dt, 40.0f);
    const RealField start = b.hnew;
    const auto [err, used] = b.sweep(2.0f, -1.0e10f, relax);
    EXPECT_EQ(used, keep == 0 ? 1.0 : relax);
    double largest = 0;
    eachCell(b.nx, b.ny, b.nz, [&](int i, int j, int k) {
      const std::size_t c = cell(i, j, k);
      const double want = b.interior(i, j, k) ? (1 - keep) * b.explicitUpdate(i, j, k) + keep * start[c] : start[c];
      EXPECT_NEAR(b.hnew[c], want, 1e-5 * std::fabs(want) + 1e-5) << dt << ": " << i << j << k;
      largest = std::max(largest, std::fabs(want - start[c]) / 2.0);
    });
    EXPECT_TRUE(keep != 0 || std::fabs(err - largest) < 1e-5 * largest) << err;
  }
}

TEST(Sweep, UniformFieldStaysAndMaskedColumnsAreLeftAlone) {
  Block b(0.5f, 900.0f, 0.0f);
  std::fill(b.hold.begin(), b.hold.end(), 7.0f);
  b.hnew = b.hold;
  EXPECT_EQ(b.sweep(1.0f, -1.0e10f, 1.2).first, 0.0f);
  EXPECT_TRUE(b.hnew == b.hold);
  // No computed column: nothing is written, err keeps its value, and the
  // step iteration makes one sweep and hands back its start value.
  Block masked(1.0f, 900.0f, 40.0f);
  std::fill(masked.mask.begin(), masked.mask.end(), 0);
  const RealField before = masked.hnew;
  EXPECT_EQ(masked.sweep(1.0f, 0.5f, 1.2).first, 0.5f);
  EXPECT_TRUE(masked.hnew == before);
  Sweeper sweeper;
  int sweeps = 0;
  EXPECT_EQ(converge(sweeper, masked.in, FaceCodes{'D', 'D', 'D', 'D', 'D', 'D'}, StepControl{50, 1e-6f},
                     masked.hnew, &sweeps),
            -1.0e10f);
  EXPECT_EQ(sweeps, 1);
}

// On two threads the step's set-up hands alongside() to the second thread
// and sets up meanwhile: the sweeps may start only once it is done.
TEST(Sweep, TheStepStartsOnceWhatRanAlongsideOnTheSecondThreadIsDone) {
  Block b(0.5f, 900.0f, 40.0f);
  Sweeper two(SweepOptions{.threads = 2});
  std::atomic<bool> done{false};
  std::thread::id where;
  two.begin(b.in, b.hnew, [&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    where = std::this_thread::get_id();
    done = true;
  });
  EXPECT_TRUE(done);
  EXPECT_NE(where, std::this_thread::get_id());
}

TEST(Converge, RelaxationScheduleOfTwelveSweeps) {
  const double want[12] = {1.2, 1.8, 1.0, 1 / 1.15, 1.2, 1 / 2.7, 1.0, 1 / 1.3, 1 / 6.3, 1.2, 1 / 2.7, 1.0};
  for (int n = 1; n <= 12; ++n) EXPECT_EQ(relaxFactor(n), want[n - 1]) << "sweep " << n;
}

}  // namespace
}  // namespace ph
