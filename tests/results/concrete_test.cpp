// The concrete's figures: which cells count for each mirror face, the first
// of equal cells, and no concrete at all.
#include <gtest/gtest.h>

#include "results/concrete.h"

namespace ph {
namespace {

struct FaceCase {
  const char* codes;
  long long count;
  double sum;  // of 100 k + 10 j + i over the counted cells, by hand
  CellIndex hottest, coldest;
};

// A 4 x 4 x 4 block of concrete at 100 k + 10 j + i degrees; its hottest
// corner (4,4,4) is of a material that produces nothing (sum 17760 - 444).
TEST(Concrete, EachMirrorFaceLeavesItsPlaneOut) {
  const FaceCase cases[] = {
      {"DDDDDD", 63, 17316, {3, 4, 4}, {1, 1, 1}},  // 64 cells less (4,4,4)
      {"NDDDDD", 47, 12900, {3, 4, 4}, {2, 1, 1}},  // i = 1 out: 16 (277 + 278 + 279) - 444
      {"DNDDDD", 48, 13080, {4, 3, 4}, {1, 1, 1}},  // j = ny out, (4,4,4) with it
      {"DDNDDD", 48, 13296, {3, 4, 4}, {1, 1, 1}},  // i = nx out
      {"DDDNDD", 47, 13116, {3, 4, 4}, {1, 2, 1}},  // j = 1 out
      {"DDDDND", 47, 15276, {3, 4, 4}, {1, 1, 2}},  // k = 1 out
      {"DDDDDN", 48, 10920, {4, 4, 3}, {1, 1, 1}},  // k = nz out
  };
  IntField imat(cellCount, 1);
  imat[cell(4, 4, 4)] = 2;
  const MatTable prod{0, 1.0f, 0.0f};
  RealField h(cellCount, 1000.0f);  // cells outside the grid must not count
  for (int k = 1; k <= 4; ++k)
    for (int j = 1; j <= 4; ++j)
      for (int i = 1; i <= 4; ++i) h[cell(i, j, k)] = float(100 * k + 10 * j + i);
  for (const FaceCase& c : cases) {
    std::array<char, 6> bound;
    std::copy(c.codes, c.codes + 6, bound.begin());
    const ConcreteFigures f = concreteFigures(4, 4, 4, imat, prod, bound, h);
    EXPECT_EQ(f.cells, c.count) << c.codes;
    EXPECT_FLOAT_EQ(f.mean, float(c.sum / double(c.count))) << c.codes;
    const CellIndex got[2] = {f.hottest, f.coldest}, want[2] = {c.hottest, c.coldest};
    for (int n = 0; n < 2; ++n)
      EXPECT_TRUE(got[n].i == want[n].i && got[n].j == want[n].j && got[n].k == want[n].k)
          << c.codes << (n ? " coldest (" : " hottest (") << got[n].i << "," << got[n].j << "," << got[n].k << ")";
    EXPECT_EQ(f.max, h[cell(c.hottest.i, c.hottest.j, c.hottest.k)]) << c.codes;
    EXPECT_EQ(f.min, h[cell(c.coldest.i, c.coldest.j, c.coldest.k)]) << c.codes;
  }

  // Equal temperatures: the first concrete cell in the order k, j, i is
  // both the hottest and the coldest; without production there is none.
  const RealField even(cellCount, 20.0f);
  const ConcreteFigures f = concreteFigures(4, 4, 4, imat, prod, {'N', 'D', 'D', 'N', 'D', 'D'}, even);
  EXPECT_TRUE(f.hottest.i == 2 && f.hottest.j == 2 && f.hottest.k == 1 && f.coldest.i == 2 &&
              f.coldest.j == 2 && f.coldest.k == 1 && f.max == 20.0f && f.min == 20.0f);
  EXPECT_EQ(concreteFigures(4, 4, 4, imat, MatTable{0, 0.0f, -1.0f}, {'D', 'D', 'D', 'D', 'D', 'D'}, even).cells, 0);
}

}  // namespace
}  // namespace ph
