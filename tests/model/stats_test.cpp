// Field statistics: mean over N, both spreads over N - 1.
#include <gtest/gtest.h>

#include "model/stats.h"

namespace ph {
namespace {

void expectStats(const Stats& s, float avg, float rms, float mad, float min, float max) {
  EXPECT_FLOAT_EQ(s.avg, avg);
  EXPECT_FLOAT_EQ(s.rms, rms);
  EXPECT_FLOAT_EQ(s.mad, mad);
  EXPECT_EQ(s.min, min);
  EXPECT_EQ(s.max, max);
}

TEST(Stats, FieldsAndMaterialTables) {
  RealField f(cellCount, 99.0f);  // cells outside the extents must not count
  f[cell(1, 1, 1)] = 1.0f, f[cell(2, 1, 1)] = 3.0f, f[cell(3, 1, 1)] = 2.0f;
  expectStats(deviat(3, 1, 1, f), 2, 1, 1, 1, 3);  // mad: 2 / 2
  expectStats(deviat(2, 2, 2, RealField(cellCount, 20.0f)), 20, 0, 0, 20, 20);
  expectStats(deviat(1, 1, 1, f), 1, 0, 0, 1, 1);  // one cell: no spread

  // Conductivities 1 (three cells) and 3 (one cell): mean 1.5, squared
  // deviations 3 x 0.25 + 2.25 = 3 and absolute ones 3 x 0.5 + 1.5 = 3,
  // each over N - 1 = 3.
  IntField imat(cellCount, 1);
  imat[cell(1, 2, 1)] = 2;
  const MatTable sig{0, 1.0f, 3.0f};
  expectStats(xdeviat(1, 2, 2, imat, sig), 1.5, 1, 1, 1, 3);
}

}  // namespace
}  // namespace ph
