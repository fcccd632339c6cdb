// The hydration curves and the heat rate of a step in model mode, against
// values worked out from the curves' closed forms.
#include <gtest/gtest.h>

#include <cmath>

#include "hydration/model.h"
#include "support/e2e.h"

namespace ph {
namespace {

TEST(HydrationCurves, AtTheirCharacteristicAges) {
  // abtau at te = P3: s = 1, degree P1/e, rate (P2/P3) P1/e times the
  // Arrhenius factor of 35 kJ/mol against 297 K, which stops rising at 400 K:
  // 1 at 24 degrees, 0.824 at 20, 38.47 from 127 on.
  const double base = (2.5 / 12.0) * 0.9 / std::exp(1.0);
  const std::pair<float, double> factors[] = {{24, 1}, {20, 0.824065}, {60, 4.62907}, {127, 38.4701}, {300, 38.4701}};
  float state = 0;
  for (const auto& [tc, f] : factors) {
    EXPECT_NEAR(abtau(12, 0.9f, 2.5f, 12, 35000, tc, state), base * f, 1e-4 * base * f) << tc;
    EXPECT_NEAR(state, 0.9 / std::exp(1.0), 1e-6) << tc;
  }
  // tmodel at te = P2: e = 1, c = 2, remaining 2^-P3, rate P3/(2 P1) 2^-P3;
  // the temperature does not enter.
  EXPECT_NEAR(tmodel(24, 6, 24, 1.5f, 35000, 80, state), 1.5 / 12 * std::pow(2.0, -1.5), 1e-7);
  EXPECT_NEAR(state, std::pow(2.0, -1.5), 1e-7);
}

TEST(HydrationCurves, FirstModelStep) {
  test::TestRun t;
  Workspc workspc;
  workspc.w = 55.0f;  // a step ending at time 0 forgets what stands here
  const float P[3] = {6, 24, 1};
  float qused = 0, OldRT = 0, NewRT = 5;
  modsource(t.run, workspc, 0.0f, 1000.0f, 20.0f, P, 900.0f, qused, 0, OldRT, NewRT);
  EXPECT_EQ(OldRT, 5.0f);
  EXPECT_EQ(workspc.w, 20.0f);  // the step-weighted mean after the call
  // The age is half a step past the end of the step (0.125 h), made
  // equivalent with the weighted sum W = 900 x 20 that is there meanwhile.
  const double te = 0.125 * std::exp(1.0 / 297 - 1.0 / (18000.0 + 273));
  const double e = std::exp((te - 24) / 6), c = 1 + e;
  EXPECT_NEAR(qused, 1 / c, 1e-6);
  EXPECT_NEAR(NewRT, e / (6 * c * c) * 1000 / 3600, 1e-5 * e / (6 * c * c) * 1000 / 3600);
  // The next step, 900 s on: W = 20 x 900 + 900 x 30, then over 1800 s.
  modsource(t.run, workspc, 900.0f, 0.0f, 30.0f, P, 900.0f, qused, 1, OldRT, NewRT);
  EXPECT_EQ(workspc.w, 25.0f);
  EXPECT_EQ(NewRT, 0.0f);  // no total heat, no heat rate
  // A step ending before 0.1 s starts a new mean: (900 x 20) / 900.05.
  modsource(t.run, workspc, 0.05f, 0.0f, 20.0f, P, 900.0f, qused, 1, OldRT, NewRT);
  EXPECT_FLOAT_EQ(workspc.w, 18000.0f / 900.05f);
}

}  // namespace
}  // namespace ph
