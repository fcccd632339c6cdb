// Balanced conduction: face weights and face temperatures worked out by
// hand, and a two-layer column that settles on the series-resistance
// solution.
#include <gtest/gtest.h>

#include <memory>

#include "solver/conductance.h"
#include "solver/converge.h"
#include "solver/sweep.h"
#include "support/readers.h"

namespace ph {
namespace {

// 4 x 3 x 3 cells of 0.5 x 0.25 x 1 m: the computed cells (2,2,2) of
// k = 1 and (3,2,2) of k = 4 (whose film meets no held cell of its own);
// every other cell held, of k = 2 with a film of 10 W/(m2 K).
struct Pair {
  IntField imat = IntField(cellCount, 3);
  MatTable sig{0, 1.0f, 4.0f, 2.0f}, film{0, 0, 7.0f, 10.0f};
  std::vector<int> mask = std::vector<int>(std::size_t(ijcap) * ijcap, 0);
  ConductanceInputs in{4, 3, 3, &imat, &sig, &film, 0.5f, 0.25f, 1.0f, {'D', 'D', 'D', 'D', 'D', 'D'}, &mask};
  Conductances g;
  Pair() {
    imat[cell(2, 2, 2)] = 1, imat[cell(3, 2, 2)] = 2;
    mask[column(2, 2)] = mask[column(3, 2)] = 1;
  }
};

TEST(Balanced, FilmsSetInPlaceAndHeldMaterialsHeldAnywhere) {
  // setFilm of material 3 to 5 W/(m2 K) with covers of 0.1 m2 K/W: its
  // faces take R_n = 1/5 + 0.1 = 0.3, the face between the two computed
  // cells keeps 6.4, and the stamp moves; the same film again moves
  // nothing. Then material 2 held: (3,2,2) is no longer computed and
  // (2,2,2) meets it through its film of 7.
  Pair p;
  auto s = std::make_unique<ModelState>();
  s->physics.film = p.film;
  p.in.film = &s->physics.film, p.in.cover = &s->physics.cover, p.in.held = &s->held;
  formConductances(p.in, p.g);
  const std::uint64_t first = p.g.stamp;
  setFilm(*s, p.in, p.g, 3, 5.0f, 0.1f);
  const struct {
    int i, j, k;
    Face f;
    double w;
  } cases[] = {{2, 2, 2, Face::plusI, 6.4},
               {2, 2, 2, Face::minusI, 1 / (0.5 * 0.55)},
               {2, 2, 2, Face::minusJ, 1 / (0.25 * 0.425)},
               {2, 2, 2, Face::minusK, 1 / (1 * 0.8)},
               {3, 2, 2, Face::plusK, 1 / (1 * 0.425)}};
  for (const auto& c : cases) EXPECT_NEAR(p.g.weight(c.i, c.j, c.k, c.f), c.w, 1e-6 * c.w) << int(c.f);
  EXPECT_NE(p.g.stamp, first);
  const std::uint64_t set = p.g.stamp;
  setFilm(*s, p.in, p.g, 3, 5.0f, 0.1f);
  EXPECT_EQ(p.g.stamp, set);
  s->held[2] = true;
  formConductances(p.in, p.g);
  EXPECT_FALSE(computedCell(p.in, 3, 2, 2));
  EXPECT_DOUBLE_EQ(p.g.weight(2, 2, 2, Face::plusI), 1 / (0.5 * (0.25 + 1.0 / 7)));
}

TEST(Balanced, WeightsAndFaceTemperaturesByHand) {
  // R = d/(2k) per half cell, 1/h per film; w = 1/(d (Rc + Rn)).
  // (2|3) along i: 1/(0.5 (0.25 + 0.0625)) = 6.4. (1|2): the film,
  // 1/(0.5 (0.25 + 0.1)). (2|2) along j: 1/(0.25 (0.125 + 0.1)). Along k
  // under (3,2,2): 1/(1 (0.125 + 0.1)). Between held cells: nothing.
  const struct {
    int i, j, k;
    Face f;
    double w, faceT;  // faceT with T = 10 at (2,2,2), 30 at (3,2,2), 0 elsewhere
  } cases[] = {
      {2, 2, 2, Face::plusI, 6.4, (10 / 0.25 + 30 / 0.0625) / (4 + 16)},
      {3, 2, 2, Face::minusI, 6.4, (30 / 0.0625 + 10 / 0.25) / (4 + 16)},
      {2, 2, 2, Face::minusI, 1 / (0.5 * 0.35), 40.0 / 14},
      {2, 2, 2, Face::minusJ, 1 / (0.25 * 0.225), (10 / 0.125) / (8 + 10)},
      {3, 2, 2, Face::minusK, 1 / 0.225, (30 / 0.125) / (8 + 10)},
      {1, 1, 2, Face::plusJ, 0.0, -1},
  };
  Pair p;
  RealField h(cellCount, 0.0f);
  h[cell(2, 2, 2)] = 10.0f, h[cell(3, 2, 2)] = 30.0f;
  formConductances(p.in, p.g);
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(p.g.weight(c.i, c.j, c.k, c.f), c.w) << c.i << c.j << c.k << int(c.f);
    if (c.faceT >= 0) {
      EXPECT_DOUBLE_EQ(faceTemperature(p.in, h, c.i, c.j, c.k, c.f), c.faceT) << int(c.f);
    }
  }
  // One explicit sweep (alpha 0; relax 1 under 0.12 s) from h: each cell
  // lands on hold + dt/A (sum_f w_f (hold_f - hold) + Q).
  MatTable A{0, 1000.0f, 500.0f, 1.0f}, prod{0, 1.0f, 2.0f, 0};
  RealField hnew = h;
  Sweeper sweeper;
  sweeper.prepare({4, 3, 3, 0.0f, &p.imat, &A, &p.sig, &prod, &h, {40.0f}, &p.mask, 0.25, 0.0625, 1.0, 0.1f, &p.g});
  double relax = 1.8;
  float err = 0;
  sweeper.sweep(hnew, 1.0f, err, relax);
  for (int i : {2, 3}) {
    double sum = 0;
    for (Face f : {Face::minusI, Face::plusI, Face::minusJ, Face::plusJ, Face::minusK, Face::plusK}) {
      const int d = int(f) % 2 ? 1 : -1, axis = int(f) / 2;
      const float across = h[cell(i + (axis == 0) * d, 2 + (axis == 1) * d, 2 + (axis == 2) * d)];
      sum += p.g.weight(i, 2, 2, f) * (across - h[cell(i, 2, 2)]);
    }
    EXPECT_FLOAT_EQ(hnew[cell(i, 2, 2)], h[cell(i, 2, 2)] + 0.1 / A[i - 1] * (sum + 40.0 * prod[i - 1])) << i;
  }
  // Without the film the held neighbour's own half cell: 1/(0.5 (0.25 + 0.125)).
  p.film[3] = 0;
  formConductances(p.in, p.g);
  EXPECT_DOUBLE_EQ(p.g.weight(2, 2, 2, Face::minusI), 1 / (0.5 * 0.375));
  // A mirror at i = 1: that face takes the weight of the cell's other i face,
  // the cell is cut in half by the symmetry plane, and its face reads the
  // copy (T of (3,2,2), held in (1,2,2)) through the copied cell's half cell.
  p.in.bound[0] = 'N';
  formConductances(p.in, p.g);
  h[cell(1, 2, 2)] = 30.0f;
  EXPECT_DOUBLE_EQ(p.g.weight(2, 2, 2, Face::minusI), 6.4);
  EXPECT_DOUBLE_EQ(faceTemperature(p.in, h, 2, 2, 2, Face::minusI), 26.0);
  EXPECT_EQ(cellShare(p.in, 2, 2, 2), 0.5);
  EXPECT_EQ(cellShare(p.in, 3, 2, 2), 1.0);
  EXPECT_EQ(cellShare(p.in, 2, 1, 2), 0.0);
}

TEST(Balanced, TwoLayerColumnSettlesOnTheSeriesSolution) {
  // One computed column of 0.1 m cells, k = 1 in layers 1..6 and k = 4 in
  // 7..12, held at 0 C (layer 1) and 100 C (layer 12), insulated at the
  // sides (held cells of k = 0), alpha 0.75. Steady state: one flux through
  // the series resistance 5.5 d / 1 + 5.5 d / 4 between the two held centres.
  const int nz = 12;
  IntField imat(cellCount, 3);
  MatTable A{0, 2.0e6f, 2.0e6f, 1.0f}, sig{0, 1.0f, 4.0f, 0.0f}, prod{};
  std::vector<int> mask(std::size_t(ijcap) * ijcap, 0);
  mask[column(2, 2)] = 1;
  RealField hold(cellCount, 0.0f), hnew(cellCount, 0.0f);
  for (int k = 1; k <= nz; ++k) imat[cell(2, 2, k)] = k <= 6 ? 1 : 2;
  hnew[cell(2, 2, nz)] = 100.0f;
  const ConductanceInputs gin{3, 3, nz, &imat, &sig, nullptr, 0.1f, 0.1f, 0.1f, {'D', 'D', 'D', 'D', 'D', 'D'}, &mask};
  Conductances g;
  formConductances(gin, g);
  StepInputs in{3, 3, nz, 0.75f, &imat, &A, &sig, &prod, &hold, {0.0f}, &mask, 0.01, 0.01, 0.01, 1.0e9f, &g};
  Sweeper sweeper;
  for (int step = 0; step < 30; ++step) {
    hold = hnew;
    converge(sweeper, in, gin.bound, StepControl{500, 1e-7f}, hnew);
  }
  const double R = 5.5 + 5.5 / 4;
  for (int k = 2; k <= nz - 1; ++k) {
    const double want = k <= 6 ? 100 * (k - 1) / R : 100 - 100 * (nz - k) / (4 * R);
    EXPECT_NEAR(hnew[cell(2, 2, k)], want, 0.01) << "layer " << k;
  }
}

}  // namespace
}  // namespace ph
