// The hydration curve abtau may not release more heat than the cement holds.
#include <gtest/gtest.h>

#include "support/readers.h"

namespace ph::test {
namespace {

// An adiabatic 5 x 5 x 5 cube of concrete (every face a mirror), placed at
// 20 C, two weeks. Its cement holds P1 x qtot = 0.8 x 350 x 420 x 1000 =
// 117.6 MJ/m3; a heat capacity of 950 J/(kg K) x 2400 kg/m3 = 2.28 MJ/(m3 K)
// turns that into 51.58 K, so the cube can reach 71.58 C = 160.84 F and no
// more. Without the cap it goes on warming (to 2770 F).
TEST(HeatCap, AdiabaticCubeEndsAtTheHeatItsCementHolds) {
  ProjectFile p = closedBlock("2.5", "950");
  p.nx = p.ny = p.nz = std::to_string(5);
  p.dx = p.dy = p.dz = std::to_string(1);
  p.materials[0].density = "2400";
  p.times = "1.0 0.0 336.0 6.0 0.0001 30";
  p.modelFlag = "True";
  p.rho = "350";
  p.cementitious = "420";
  p.P1 = "0.8";
  p.P2 = "0.9";
  p.P3 = "16";
  TempDir dir;
  const std::vector<Step> steps = runSteps(dir, p);
  ASSERT_FALSE(steps.empty());
  const double limitF = (20.0 + 0.8 * 350 * 420 * 1000 / (950.0 * 2400)) * 1.8 + 32.0;
  auto fahrenheit = [](double c) { return c * 1.8 + 32.0; };
  // Never above, to the rounding of the single-precision field.
  for (const Step& s : steps) EXPECT_LE(fahrenheit(s.max), limitF + 0.001) << s.time;
  EXPECT_NEAR(fahrenheit(steps.back().max), limitF, 0.1);
  EXPECT_EQ(linesStarting(dir.read("run.log"), "heat release capped at P1 x qtot=  117600000. at t=").size(), 1u);
}

}  // namespace
}  // namespace ph::test
