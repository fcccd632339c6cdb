// The grid's faces: the edges where two mirrors meet, and the prescribed
// temperatures of boundary materials with their time series.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "solver/dirichlet.h"
#include "solver/mirror.h"
#include "support/e2e.h"

namespace ph {
namespace {

using test::eachCell;

FaceCodes codes(const char* six) { return {six[0], six[1], six[2], six[3], six[4], six[5]}; }

TEST(Mirror, EveryEdgeAndTheCornerOfThreeMirrors) {
  // Every cell holds 100 i + 10 j + k, so a value names its source.
  const int nx = 4, ny = 5, nz = 6;
  auto v = [](int i, int j, int k) { return float(100 * i + 10 * j + k); };
  RealField start(cellCount, -1.0f);
  eachCell(nx, ny, nz, [&](int i, int j, int k) { start[cell(i, j, k)] = v(i, j, k); });
  // Two mirrors that meet: the cells of their edge, corners included, take
  // the mean of their neighbours one cell inward across each face.
  const int plane[7] = {0, 1, ny, nx, 1, 1, nz}, axis[7] = {0, 0, 1, 0, 1, 2, 2}, in[7] = {0, 1, -1, -1, 1, 1, -1};
  for (int a = 1; a <= 6; ++a)
    for (int b = a + 1; b <= 6; ++b) {
      if (axis[a] == axis[b]) continue;  // opposite faces share no edge
      char six[] = "DDDDDD";
      six[a - 1] = six[b - 1] = 'N';
      RealField h = start;
      nedge(nx, ny, nz, codes(six), h);
      eachCell(nx, ny, nz, [&](int i, int j, int k) {
        int at[3] = {i, j, k}, pa[3] = {i, j, k}, pb[3] = {i, j, k};
        pa[axis[a]] += in[a], pb[axis[b]] += in[b];
        const bool edge = at[axis[a]] == plane[a] && at[axis[b]] == plane[b];
        EXPECT_EQ(h[cell(i, j, k)], edge ? (v(pa[0], pa[1], pa[2]) + v(pb[0], pb[1], pb[2])) / 2 : v(i, j, k))
            << six << " " << i << j << k;
      });
    }
  for (const char* unmet : {"NDNDDD", "DNDNDD", "DDDDNN", "NDDDDD", "nDDnDD"}) {  // no two mirrors meet, no N
    RealField h = start;
    nedge(nx, ny, nz, codes(unmet), h);
    EXPECT_TRUE(h == start) << unmet;
  }
  // Faces 1, 4 and 5: the corner (1,1,1) is written by the edges 1-4, 1-5
  // and 4-5 in that order; the last one averages (1,1,2) and (1,2,1) as the
  // edges 1-4 and 1-5 left them.
  RealField h = start;
  nedge(nx, ny, nz, codes("NDDNND"), h);
  const float e14 = (v(1, 2, 2) + v(2, 1, 2)) / 2, e15 = (v(1, 2, 2) + v(2, 2, 1)) / 2;  // 167, 171.5
  EXPECT_EQ(h[cell(1, 1, 1)], (e14 + e15) / 2);  // 169.25
}

TEST(Dirichlet, SeriesTemperatureAtTimes) {
  auto s = std::make_unique<ModelState>();
  s->bcser[1][1][2] = 10.0f;                              // 0 h, 10 degrees
  s->bcser[1][2][1] = 3600.0f, s->bcser[1][2][2] = 20.0f;  // 1 h, 20 degrees
  // The time, the temperature, and what the terminal is told.
  const struct { float t; double want, tol; const char* said; } cases[] = {
      {0.0f, 10, 0, " GET BCTEMP EXACT:  0.  10.\n"},
      {900.0f, 11, 1e-5, ""},  // a quarter of the way in the nearer point weighs 9 times the other
      {1800.0f, 15, 1e-5, ""},
      {3600.0f, 20, 0, " AT 1  3600.  3600.\n"},
      {5000.0f, 20, 0, " AT 1  5000.  3600.\n"},
      // 10 s in: d1 d2 = 35 900 > 300, the weighted mean 10 + 10 (1/3590^2) / (1/10^2 + 1/3590^2)
      {10.0f, 10.0 + 1000.0 / (3590.0 * 3590.0 + 100.0), 2e-6, ""},
      {0.05f, 10, 0, " GET BCTEMP EXACT:  0.0500000007  10.\n"},  // d1 d2 = 180: an exact hit
      {3599.95f, 20, 0, " GET BCTEMP EXACT:  3599.94995  20.\n"},   // the nearer point
      {-7200.0f, 10, 0, ""},  // before the series: its first temperature
  };
  test::TestRun t;
  for (const auto& c : cases) {
    EXPECT_NEAR(getbctemp(t.run, 1, 2, s->bcser, c.t), c.want, c.tol) << c.t << " s";
    EXPECT_EQ(t.terminal(), c.said) << c.t << " s";
  }
  EXPECT_EQ(getbctemp(t.run, 1, 1, s->bcser, -7200.0f), 10.0f);  // one point: at every time
}

TEST(Dirichlet, FaceAndOutlineModes) {
  // A 4 x 4 x 4 grid of the boundary material 2 (one cell of material 1 on
  // the face j = 1), the rectangular plan mask, and one boundary at 50.
  const int n = 4;
  auto s = std::make_unique<ModelState>();
  s->nx = s->ny = s->nz = n;
  std::fill(s->imat.begin(), s->imat.end(), 2);
  s->imat[cell(2, 1, 2)] = 1;
  for (int j = 2; j < n; ++j)
    for (int i = 2; i < n; ++i) s->secmask[column(i, j)] = 1;
  s->bcp[2][1] = 2, s->bcp[2][2] = 1;  // the second boundary: material 2, one point
  s->bcser[2][1][2] = 50.0f;
  // Which cells of material 2 each set of face codes holds at 50.
  using Rule = std::function<bool(int, int, int)>;
  auto ends = [&](int k) { return k == 1 || k == n; };
  const Rule outline = [&](int i, int j, int k) { return s->secmask[column(i, j)] == 0 && !ends(k); };
  const std::pair<const char*, Rule> cases[] = {
      {"NNNNDD", [&](int, int, int k) { return ends(k); }},
      {"DNNNNN", [&](int, int j, int k) { return j == 1 && !ends(k); }},
      {"NNNDNL", [&](int i, int, int k) { return (i == 1 && !ends(k)) || k == n; }},
      {"DDDDNN", outline}, {"NDNNNN", outline}, {"NNDNNN", outline}, {"DNNDNN", outline},
      {"LDLDLN", [&](int i, int j, int k) { return outline(i, j, k) || k == 1; }},
  };
  test::TestRun t;
  for (const auto& c : cases) {  // (clang 14 cannot capture a structured binding)
    s->bound = codes(c.first);
    RealField h(cellCount, 0.0f);
    ttdirich(t.run, *s, 100.0f, h);
    eachCell(n, n, n, [&](int i, int j, int k) {
      const bool want = c.second(i, j, k) && s->imat[cell(i, j, k)] == 2;
      EXPECT_EQ(h[cell(i, j, k)], want ? 50.0f : 0.0f) << c.first << " " << i << j << k;
    });
  }
  s->bcp[2][2] = 0;  // a boundary without points is skipped
  RealField h(cellCount, 0.0f);
  ttdirich(t.run, *s, 100.0f, h);
  EXPECT_TRUE(h == RealField(cellCount, 0.0f));
}

}  // namespace
}  // namespace ph
