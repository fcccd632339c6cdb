// The grid's faces: mirror planes, the edges where two mirrors meet, and the
// prescribed temperatures of boundary materials with their time series.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "solver/dirichlet.h"
#include "solver/mirror.h"

namespace ph {
namespace {

FaceCodes codes(const char* six) { return {six[0], six[1], six[2], six[3], six[4], six[5]}; }

// Every cell holds 100 i + 10 j + k, so a copied value names its source.
RealField numbered(int nx, int ny, int nz) {
  RealField h(cellCount, -1.0f);
  for (int k = 1; k <= nz; ++k)
    for (int j = 1; j <= ny; ++j)
      for (int i = 1; i <= nx; ++i) h[cell(i, j, k)] = float(100 * i + 10 * j + k);
  return h;
}
float v(int i, int j, int k) { return float(100 * i + 10 * j + k); }

TEST(Mirror, FaceTwoCopiesThePlaneTwoInsideAndLeavesItsRim) {
  const int nx = 4, ny = 5, nz = 4;
  RealField h = numbered(nx, ny, nz);
  boundary(nx, ny, nz, codes("DNDDDD"), h);
  for (int k = 1; k <= nz; ++k)
    for (int j = 1; j <= ny; ++j)
      for (int i = 1; i <= nx; ++i) {
        const bool copied = j == ny && i >= 2 && i <= nx - 1 && k >= 2 && k <= nz - 1;
        EXPECT_EQ(h[cell(i, j, k)], copied ? v(i, 3, k) : v(i, j, k)) << i << j << k;
      }
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
  for (int k = 1; k <= nz; ++k)
    for (int j = 1; j <= ny; ++j)
      for (int i = 1; i <= nx; ++i) {
        const float want = i == 1 && j == 1 ? (v(1, 2, k) + v(2, 1, k)) / 2 : v(i, j, k);
        EXPECT_EQ(h[cell(i, j, k)], want) << i << j << k;
      }
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

// The terminal of a Run; text() returns what was written since the last call.
struct Terminal {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file{std::tmpfile(), &std::fclose};
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> errors{std::fopen("/dev/null", "w"), &std::fclose};
  Run run{file.get(), errors.get(), [] { return std::optional<std::string>{}; }};
  long seen = 0;
  std::string text() {
    std::FILE* f = file.get();
    std::fflush(f);
    const long end = std::ftell(f);
    std::string all(std::size_t(end - seen), '\0');
    std::fseek(f, seen, SEEK_SET);
    all.resize(std::fread(all.data(), 1, all.size(), f));
    std::fseek(f, end, SEEK_SET);
    seen = end;
    return all;
  }
};

TEST(Dirichlet, SeriesTemperatureAtTimes) {
  auto series = std::make_unique<ModelState>();
  float (&bcser)[bndcap + 1][sercap + 1][3] = series->bcser;
  bcser[1][1][1] = 0.0f;     // 0 h, 10 degrees
  bcser[1][1][2] = 10.0f;
  bcser[1][2][1] = 3600.0f;  // 1 h, 20 degrees
  bcser[1][2][2] = 20.0f;
  Terminal t;
  EXPECT_EQ(getbctemp(t.run, 1, 2, bcser, 0.0f), 10.0f);
  EXPECT_NE(t.text().find("GET BCTEMP EXACT:"), std::string::npos);
  // A quarter of the way in, the nearer point weighs 9 times the other.
  EXPECT_NEAR(getbctemp(t.run, 1, 2, bcser, 900.0f), 11.0f, 1e-5);
  EXPECT_NEAR(getbctemp(t.run, 1, 2, bcser, 1800.0f), 15.0f, 1e-5);
  EXPECT_EQ(t.text(), "");
  EXPECT_EQ(getbctemp(t.run, 1, 2, bcser, 3600.0f), 20.0f);
  EXPECT_EQ(getbctemp(t.run, 1, 2, bcser, 5000.0f), 20.0f);
  const std::string at = t.text();
  EXPECT_NE(at.find("AT 1"), std::string::npos);
  EXPECT_NE(at.find("AT 1", at.find("AT 1") + 1), std::string::npos);
  // 10 s in: d1 d2 = 35 900 > 300, so the weighted mean, a hair above 10:
  // 10 + 10 (1/3590^2) / (1/10^2 + 1/3590^2).
  const float near = getbctemp(t.run, 1, 2, bcser, 10.0f);
  EXPECT_GT(near, 10.0f);
  EXPECT_NEAR(near, 10.0 + 1000.0 / (3590.0 * 3590.0 + 100.0), 2e-6);
  EXPECT_EQ(t.text(), "");
  // 0.05 s in: d1 d2 = 180 <= 300, an exact hit on the first point.
  EXPECT_EQ(getbctemp(t.run, 1, 2, bcser, 0.05f), 10.0f);
  EXPECT_NE(t.text().find("GET BCTEMP EXACT:"), std::string::npos);
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
  s->bcp[1][1] = 2;
  s->bcp[1][2] = 1;
  s->bcser[1][1][2] = 50.0f;
  using Rule = std::function<bool(int, int, int)>;
  auto outside = [&](int i, int j) { return s->secmask[column(i, j)] == 0; };
  auto ends = [&](int k) { return k == 1 || k == n; };
  const struct {
    const char* bound;
    Rule set;
  } cases[] = {
      {"NNNNDD", [&](int, int, int k) { return ends(k); }},
      {"DNNNNN", [&](int, int j, int k) { return j == 1 && !ends(k); }},
      {"DDDDNN", [&](int i, int j, int k) { return outside(i, j) && !ends(k); }},
      {"NDNNNN", [&](int i, int j, int k) { return outside(i, j) && !ends(k); }},
      {"DNNDNN", [&](int i, int j, int k) { return outside(i, j) && !ends(k); }},
      {"LDLDLN", [&](int i, int j, int k) { return (outside(i, j) && !ends(k)) || k == 1; }},
  };
  Terminal t;
  for (const auto& c : cases) {
    s->bound = codes(c.bound);
    RealField h(cellCount, 0.0f);
    ttdirich(t.run, *s, 100.0f, h);
    for (int k = 1; k <= n; ++k)
      for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) {
          const bool want = c.set(i, j, k) && s->imat[cell(i, j, k)] == 2;
          EXPECT_EQ(h[cell(i, j, k)], want ? 50.0f : 0.0f) << c.bound << " " << i << j << k;
        }
  }
  // A boundary without points is skipped.
  s->bcp[1][2] = 0;
  RealField h(cellCount, 0.0f);
  ttdirich(t.run, *s, 100.0f, h);
  EXPECT_TRUE(h == RealField(cellCount, 0.0f));
}

}  // namespace
}  // namespace ph
