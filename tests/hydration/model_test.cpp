// The hydration curves and the heat rate of a step in model mode, against
// values worked out from the curves' closed forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "hydration/model.h"
#include "support/readers.h"

namespace ph {
namespace {

// Arrhenius factor of a 35 kJ/mol activation energy against 24 degrees.
double factor(double tk) { return std::exp((1.0 / 297 - 1.0 / tk) * 35000.0 / 8.314); }

TEST(HydrationCurves, TemperatureFactorAndClosedForms) {
  // abtau at te = P3: s = 1, degree P1/e whatever the temperature, rate
  // (P2/P3) P1 f / e with f = 1 at 24 degrees; above 400 K the factor stays
  // at its 400 K value.
  const float P1 = 0.9f, P2 = 2.5f, P3 = 12.0f;
  const double base = (2.5 / 12.0) * 0.9 / std::exp(1.0);
  EXPECT_NEAR(factor(293), 0.824, 5e-4);
  EXPECT_NEAR(factor(400), 38.47, 5e-3);
  float state = 0;
  for (float tc : {24.0f, 20.0f, 60.0f, 127.0f, 300.0f}) {
    const double f = factor(std::min(tc + 273.0, 400.0));
    EXPECT_NEAR(abtau(P3, P1, P2, P3, 35000, tc, state), base * f, (tc == 24 ? 2e-6 : 2e-5) * base * f) << tc;
    EXPECT_NEAR(state, 0.9 / std::exp(1.0), 1e-6) << tc;
  }

  // tmodel at te = P2: e = 1, c = 2, remaining 2^-P3, rate P3/(2 P1) 2^-P3.
  const double remaining = std::pow(2.0, -1.5);
  EXPECT_NEAR(tmodel(24, 6, 24, 1.5f, 35000, 80, state), 1.5 / 12 * remaining, 1e-7);
  EXPECT_NEAR(state, remaining, 1e-7);
}

TEST(HydrationCurves, FirstModelStep) {
  test::TestRun t;
  resetWorkspc();
  workspc.w = 55.0f;  // left by an earlier run: a start at time 0 forgets it
  const float P[3] = {6, 24, 1};
  float qused = 0, OldRT = 0, NewRT = 5;
  modsource(t.run, 0.0f, 1000.0f, 20.0f, P, 900.0f, qused, 0, OldRT, NewRT);
  EXPECT_EQ(OldRT, 5.0f);
  EXPECT_EQ(workspc.w, 20.0f);  // the step-weighted mean after the call
  // The age is half a step past the end of the step (0.125 h), scaled by
  // the weighted sum W = 900 x 20 that is there while the age is formed.
  const double te = 0.125 * std::exp(1.0 / 297 - 1.0 / (18000.0 + 273));
  const double e = std::exp((te - 24) / 6), c = 1 + e;
  EXPECT_NEAR(qused, 1 / c, 1e-6);
  const double rate = (1 / c) * e / (6 * c);  // per hour
  EXPECT_NEAR(NewRT, rate * 1000 / 3600, 1e-5 * rate * 1000 / 3600);

  // No total heat, no heat rate, whichever curve.
  for (int modflag : {0, 1}) {
    modsource(t.run, 7200.0f, 0.0f, 20.0f, P, 900.0f, qused, modflag, OldRT, NewRT);
    EXPECT_EQ(NewRT, 0.0f) << modflag;
  }
  resetWorkspc();
}

}  // namespace
}  // namespace ph
