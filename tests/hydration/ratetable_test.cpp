// The heat-rate table: its extension and scaling, and how the steps follow
// its rows.
#include <gtest/gtest.h>

#include <tuple>

#include "hydration/ratetable.h"
#include "support/e2e.h"

namespace ph {
namespace {

TEST(RateTable, ExtensionAndScaling) {
  // Rows (0 h, 2) and (10 h, 6) gain a row at 23 h with rate 2;
  // S = 2 x 36000/2 + 6 x 82800/2 + (tend - 82800) x 2/4, with tend 32 days,
  // or 1.1 times an end time beyond them.
  for (const auto& [endtime, tend] : {std::pair{360000.0, 2764800.0}, {3600000.0, 3960000.0}}) {
    test::TestRun t;
    t.run.files.openScratch(kLog);
    RateTable rtab{};
    rtab[1][2] = 2, rtab[2][1] = 36000, rtab[2][2] = 6;
    int nrate = 2;
    const double S = 36000 + 248400 + (tend - 82800) * 2 / 4;
    EXPECT_NEAR(initrt(t.run, nrate, rtab, float(endtime)), S, 1e-6 * S) << endtime;
    EXPECT_EQ(nrate, 3);
    EXPECT_EQ(rtab[3][1], 82800.0f);
    for (const auto& [row, rate] : {std::pair{1, 2.0}, {2, 6.0}, {3, 2.0}}) EXPECT_FLOAT_EQ(rtab[row][2], float(rate / S));
  }
}

TEST(RateTable, StepsAreCutOntoTableTimes) {
  // Scaled rows at 0, 1, 2 and 3 h; row 5 lies beyond the table and must
  // never be read.
  RateTable rtab{};
  for (int i = 1; i <= 4; ++i) rtab[i][1] = 3600.0f * float(i - 1), rtab[i][2] = 0.1f * float(i);
  rtab[5][1] = 30000.0f, rtab[5][2] = 99.0f;
  test::TestRun t;
  t.run.files.openScratch(kLog);
  int irt = 1;
  float OldRT = 0, NewRT = 1;
  // Step after step: its end and length, what they become, the row then in
  // force and its rate x qtot (qtot = 10).
  const struct { float time, dt, cutTime, cutDt; int irt; float rate; } steps[] = {
      {5400, 3600, 3600, 1800, 1, 1},      // 1800..5400 s crosses 1 h: cut to 1800..3600, rate unchanged
      {5400, 1800, 5400, 1800, 2, 2},      // the next step starts on 1 h and takes row 2
      {7200, 1800, 7200, 1800, 2, 2},      // 5400..7200 ends on 2 h: not cut, the row stays
      {16000, 8800, 10800, 3600, 3, 3},    // 7200..16000 passes 2 h and 3 h: enters row 3 at 2 h, cut at 3 h
      {25000, 14200, 25000, 14200, 4, 4},  // from the last row nothing lies beyond it,
      {40000, 15000, 40000, 15000, 4, 4},  // and row 5's time passes unseen
  };
  std::string said = " " + std::string("    NEWRT     OLDRT    irt     TIME   ") + "\n";
  for (const auto& s : steps) {
    float time = s.time, dt = s.dt;
    const float before = NewRT;
    const int row = irt;
    rtsource(t.run, 4, irt, rtab, 10, dt, time, OldRT, NewRT);
    EXPECT_EQ(std::tuple(time, dt, irt), std::tuple(s.cutTime, s.cutDt, s.irt)) << "step to " << s.time;
    EXPECT_FLOAT_EQ(NewRT, s.rate) << "step to " << s.time;
    EXPECT_TRUE(irt == row || OldRT == before) << "step to " << s.time;
  }
  EXPECT_EQ(t.terminal().substr(0, said.size() * 2), said + said);  // while in row 1
}

}  // namespace
}  // namespace ph
