// The grid's faces: mirror planes, the edges where two mirrors meet, and the
// prescribed temperatures of boundary materials with their time series.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "solver/dirichlet.h"
#include "solver/mirror.h"
#include "support/readers.h"

namespace ph {
namespace {

using test::eachCell;

FaceCodes codes(const char* six) { return {six[0], six[1], six[2], six[3], six[4], six[5]}; }

// Every cell holds 100 i + 10 j + k, so a copied value names its source.
float v(int i, int j, int k) { return float(100 * i + 10 * j + k); }
RealField numbered(int nx, int ny, int nz) {
  RealField h(cellCount, -1.0f);
  eachCell(nx, ny, nz, [&](int i, int j, int k) { h[cell(i, j, k)] = v(i, j, k); });
  return h;
}

TEST(Mirror, FaceTwoCopiesThePlaneTwoInsideAndLeavesItsRim) {
  const int nx = 4, ny = 5, nz = 4;
  RealField h = numbered(nx, ny, nz);
  boundary(nx, ny, nz, codes("DNDDDD"), h);
  eachCell(nx, ny, nz, [&](int i, int j, int k) {
    const bool copied = j == ny && i >= 2 && i <= nx - 1 && k >= 2 && k <= nz - 1;
    EXPECT_EQ(h[cell(i, j, k)], copied ? v(i, 3, k) : v(i, j, k)) << i << j << k;
  });
  const RealField once = h;
  boundary(nx, ny, nz, codes("DNDDDD"), h);
  EXPECT_TRUE(h == once);
  boundary(nx, ny, nz, codes("DDLDnD"), h);  // no upper-case N: nothing moves
  EXPECT_TRUE(h == once);
}

TEST(Mirror, EdgesAndTheCornerOfThreeMirrors) {
  const int nx = 4, ny = 4, nz = 5;
  RealField h = numbered(nx, ny, nz);
  nedge(nx, ny, nz, codes("NDDNDD"), h);  // faces 1 (i = 1) and 4 (j = 1)
  eachCell(nx, ny, nz, [&](int i, int j, int k) {
    EXPECT_EQ(h[cell(i, j, k)], i == 1 && j == 1 ? (v(1, 2, k) + v(2, 1, k)) / 2 : v(i, j, k)) << i << j << k;
  });
  for (const char* pair : {"NDNDDD", "DNDNDD", "DDDDNN", "NDDDDD"}) {  // no two faces meet
    RealField same = numbered(nx, ny, nz);
    nedge(nx, ny, nz, codes(pair), same);
    EXPECT_TRUE(same == numbered(nx, ny, nz)) << pair;
  }

  // Faces 1, 4 and 5: the corner (1,1,1) is written by the edges 1-4, 1-5
  // and 4-5 in that order; the last one averages (1,1,2) as the edge 1-4 left
  // it and (1,2,1) as the edge 1-5 left it.
  h = numbered(nx, ny, nz);
  nedge(nx, ny, nz, codes("NDDNND"), h);
  const float edge14at2 = (v(1, 2, 2) + v(2, 1, 2)) / 2;  // 167
  const float edge15at2 = (v(1, 2, 2) + v(2, 2, 1)) / 2;  // 171.5
  EXPECT_EQ(h[cell(1, 1, 2)], edge14at2);
  EXPECT_EQ(h[cell(1, 2, 1)], edge15at2);
  EXPECT_EQ(h[cell(1, 1, 1)], (edge14at2 + edge15at2) / 2);  // 169.25
  EXPECT_EQ(h[cell(3, 1, 1)], (v(3, 1, 2) + v(3, 2, 1)) / 2);
}

TEST(Dirichlet, SeriesTemperatureAtTimes) {
  auto series = std::make_unique<ModelState>();
  auto& bcser = series->bcser;
  bcser[1][1][2] = 10.0f;                            // 0 h, 10 degrees
  bcser[1][2][1] = 3600.0f, bcser[1][2][2] = 20.0f;  // 1 h, 20 degrees
  // The time, the temperature, and what the terminal is told.
  const struct { float t; double want, tol; const char* said; } cases[] = {
      {0.0f, 10, 0, "GET BCTEMP EXACT:"},
      {900.0f, 11, 1e-5, ""},  // a quarter of the way in, the nearer point weighs 9 times the other
      {1800.0f, 15, 1e-5, ""},
      {3600.0f, 20, 0, "AT 1"},
      {5000.0f, 20, 0, "AT 1"},
      // 10 s in: d1 d2 = 35 900 > 300, so the weighted mean, a hair above 10:
      // 10 + 10 (1/3590^2) / (1/10^2 + 1/3590^2).
      {10.0f, 10.0 + 1000.0 / (3590.0 * 3590.0 + 100.0), 2e-6, ""},
      {0.05f, 10, 0, "GET BCTEMP EXACT:"},  // d1 d2 = 180 <= 300: an exact hit on the first point
  };
  test::TestRun t;
  for (const auto& c : cases) {
    EXPECT_NEAR(getbctemp(t.run, 1, 2, bcser, c.t), c.want, c.tol) << c.t << " s";
    const std::string said = t.terminal();
    EXPECT_TRUE(*c.said ? said.find(c.said) != std::string::npos : said.empty()) << c.t << " s: " << said;
  }
  // One point: its temperature at every time.
  EXPECT_EQ(getbctemp(t.run, 1, 1, bcser, -7200.0f), 10.0f);
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
  s->bcp[1][1] = 2, s->bcp[1][2] = 1;  // material 2, one point
  s->bcser[1][1][2] = 50.0f;
  // Which cells of material 2 each set of face codes holds at 50.
  using Rule = std::function<bool(int, int, int)>;
  auto ends = [&](int k) { return k == 1 || k == n; };
  const Rule outline = [&](int i, int j, int k) { return s->secmask[column(i, j)] == 0 && !ends(k); };
  const std::pair<const char*, Rule> cases[] = {
      {"NNNNDD", [&](int, int, int k) { return ends(k); }},
      {"DNNNNN", [&](int, int j, int k) { return j == 1 && !ends(k); }},
      {"DDDDNN", outline}, {"NDNNNN", outline}, {"DNNDNN", outline},
      {"LDLDLN", [&](int i, int j, int k) { return outline(i, j, k) || k == 1; }},
  };
  test::TestRun t;
  for (const auto& [bound, set] : cases) {
    s->bound = codes(bound);
    RealField h(cellCount, 0.0f);
    ttdirich(t.run, *s, 100.0f, h);
    eachCell(n, n, n, [&](int i, int j, int k) {
      const bool want = set(i, j, k) && s->imat[cell(i, j, k)] == 2;
      EXPECT_EQ(h[cell(i, j, k)], want ? 50.0f : 0.0f) << bound << " " << i << j << k;
    });
  }
  // A boundary without points is skipped.
  s->bcp[1][2] = 0;
  RealField h(cellCount, 0.0f);
  ttdirich(t.run, *s, 100.0f, h);
  EXPECT_TRUE(h == RealField(cellCount, 0.0f));
}

}  // namespace
}  // namespace ph
