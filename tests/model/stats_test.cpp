// Field statistics: mean over N, both spreads over N - 1.
#include <gtest/gtest.h>

#include "model/stats.h"

namespace ph {
namespace {

std::vector<float> all(const Stats& s) { return {s.avg, s.rms, s.mad, s.min, s.max}; }

TEST(Stats, FieldsAndMaterialTables) {
  RealField f(cellCount, 99.0f);  // cells outside the extents must not count
  f[cell(1, 1, 1)] = 1.0f, f[cell(2, 1, 1)] = 3.0f, f[cell(3, 1, 1)] = 2.0f;
  EXPECT_EQ(all(deviat(3, 1, 1, f)), (std::vector<float>{2, 1, 1, 1, 3}));  // mad: 2 / 2
  EXPECT_EQ(all(deviat(2, 2, 2, RealField(cellCount, 20.0f))), (std::vector<float>{20, 0, 0, 20, 20}));
  EXPECT_EQ(all(deviat(1, 1, 1, f)), (std::vector<float>{1, 0, 0, 1, 1}));  // one cell: no spread
  // Conductivities 1 (three cells) and 3 (one cell): mean 1.5, squared
  // deviations 3 x 0.25 + 2.25 = 3 and absolute ones 3 x 0.5 + 1.5 = 3,
  // each over N - 1 = 3.
  IntField imat(cellCount, 1);
  imat[cell(1, 2, 1)] = 2;
  EXPECT_EQ(all(xdeviat(1, 2, 2, imat, MatTable{0, 1.0f, 3.0f})), (std::vector<float>{1.5, 1, 1, 1, 3}));
  // Values above 1e21 leave the minimum where it starts, below -1e20 the maximum.
  EXPECT_EQ(deviat(1, 1, 1, RealField(cellCount, 3e21f)).min, 1e21f);
  EXPECT_EQ(deviat(1, 1, 1, RealField(cellCount, -3e20f)).max, -1e20f);
}

}  // namespace
}  // namespace ph
