// Named points read from a field worked out by hand.
#include <gtest/gtest.h>

#include "solver/point_temperature.h"

namespace ph {
namespace {

// 5 x 3 x 3 cells of 1 m; computed (2,2,2) of material 2 (k = 4, no heat) at
// 40 C, (3,2,2) and (4,2,2) of material 1 (k = 1, producing) at 20 and 10 C;
// every other cell held at 0 C, material 3 with a film of 10 W/(m2 K).
// Face temperatures: 2|3 (20/0.5 + 40/0.125)/(2 + 8) = 36; a k = 1 cell at
// 20 C with the film (20/0.5)/(2 + 10) = 10/3, at 10 C 5/3; the k = 4 cell
// with the film (40/0.125)/(8 + 10) = 160/9.
TEST(Points, PlacedAndReadByHand) {
  using Fit = PointSite::Fit;
  const struct {
    double x, y, z;
    Fit fit;
    double T;
  } cases[] = {
      {2.5, 1.5, 1.5, Fit::computed, 20},                   // a centre
      {2.8, 1.5, 1.5, Fit::computed, 20 - 10 * 0.3},        // toward a cell of its material
      {2.2, 1.5, 1.5, Fit::computed, 20 + 16 * 0.6},        // toward another material: its face
      {3.0, 1.5, 1.5, Fit::computed, 15},                   // the face of two cells of one material
      {2.0, 1.5, 1.5, Fit::computed, 36},                   // the face of two materials
      {2.0, 1.8, 1.5, Fit::computed, 36 + (10.0 / 3 - 20) * 0.6},  // read by the producing cell
      {2.8, 1.8, 1.2, Fit::computed, 20 - 3 - 10 - 10},     // three axes: a film on two
      {4.0, 1.5, 1.5, Fit::computed, 5.0 / 3},              // the outer face of a producing cell
      {1.0, 1.5, 1.5, Fit::computed, 160.0 / 9},            // and of the other
      {1.5, 1.0, 1.5, Fit::computed, 160.0 / 9},
      {1.5, 1.5 + 4e-6, 1.5, Fit::computed, 40},            // within 1e-5 cells of the centre
      {0.5, 1.5, 1.5, Fit::notComputed, 0},
      {1.5, 0.99, 1.5, Fit::notComputed, 0},
      {5.0, 1.5, 1.5, Fit::notComputed, 0},                 // on the box, in a held cell only
      {5.01, 1.5, 1.5, Fit::outsideGrid, 0},
      {2.5, -0.01, 1.5, Fit::outsideGrid, 0},
  };
  IntField imat(cellCount, 3);
  MatTable sig{0, 1.0f, 4.0f, 1.0f}, film{0, 0, 0, 10.0f}, prod{0, 1.0f, 0, 0};
  std::vector<int> mask(std::size_t(ijcap) * ijcap, 0);
  const ConductanceInputs in{5, 3, 3, &imat, &sig, &film, 1.0f, 1.0f, 1.0f, {'D', 'D', 'D', 'D', 'D', 'D'}, &mask};
  RealField h(cellCount, 0.0f);
  const double T[] = {40, 20, 10};
  for (int i = 2; i <= 4; ++i) {
    imat[cell(i, 2, 2)] = i == 2 ? 2 : 1;
    mask[column(i, 2)] = 1;
    h[cell(i, 2, 2)] = float(T[i - 2]);
  }
  for (const auto& c : cases) {
    const PointSite at = placePoint(in, prod, c.x, c.y, c.z);
    ASSERT_EQ(at.fit, c.fit) << c.x << " " << c.y << " " << c.z;
    if (c.fit == Fit::computed) {
      EXPECT_NEAR(pointTemperature(in, h, at), c.T, 1e-12) << c.x << " " << c.y << " " << c.z;
    }
  }
}

}  // namespace
}  // namespace ph
