// The pass after each step gives the bits of the separate passes it stands
// for: deviat, getctemp's sums and the copy into hold.
#include <gtest/gtest.h>

#include <bit>
#include <random>

#include "model/step_pass.h"

namespace ph {
namespace {

TEST(StepPass, SameBitsAsDeviatGetctempAndHupdate) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> temp(5.0f, 60.0f);
  const int extents[][3] = {{2, 9, 9}, {3, 3, 3}, {17, 12, 9}, {80, 80, 80}};
  for (const auto& e : extents) {
    RealField hnew(cellCount), hold(cellCount, -1.0f);
    IntField imat(cellCount);
    const MatTable prod{0, 1.0f, 0.0f, 0.3f};
    for (std::size_t c = 0; c < cellCount; ++c) hnew[c] = temp(rng), imat[c] = 1 + int(rng() % 3);
    for (bool concrete : {true, false}) {
      const StepFigures f = afterStep(e[0], e[1], e[2], imat, prod, hnew, hold, concrete);
      const Stats d = deviat(e[0], e[1], e[2], hnew);
      for (auto [a, b] : {std::pair{f.st.avg, d.avg}, {f.st.rms, d.rms}, {f.st.mad, d.mad}, {f.st.min, d.min},
                          {f.st.max, d.max}})
        EXPECT_EQ(std::bit_cast<std::uint32_t>(a), std::bit_cast<std::uint32_t>(b)) << e[0] << "x" << e[1];
      ConcreteSums g;  // the mean concrete temperature's order: i, then j, then k innermost, inside
      for (int i = 2; concrete && i <= e[0] - 1; ++i)
        for (int j = 2; j <= e[1] - 1; ++j)
          for (int k = 2; k <= e[2] - 1; ++k) g.add(imat, prod, hnew, cell(i, j, k));
      EXPECT_EQ(std::bit_cast<std::uint32_t>(f.concrete.sum), std::bit_cast<std::uint32_t>(g.sum));
      EXPECT_EQ(std::bit_cast<std::uint32_t>(f.concrete.weight), std::bit_cast<std::uint32_t>(g.weight));
    }
    for (int k = 1; k <= kcap; ++k)
      for (int j = 1; j <= ijcap; ++j)
        for (int i = 1; i <= ijcap; ++i) {
          const bool used = i <= e[0] && j <= e[1] && k <= e[2];
          ASSERT_EQ(hold[cell(i, j, k)], used ? hnew[cell(i, j, k)] : -1.0f) << i << "," << j << "," << k;
        }
  }
}

}  // namespace
}  // namespace ph
