// The heat-rate table: its extension and scaling, and how the steps follow
// its rows.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "hydration/ratetable.h"

namespace ph {
namespace {

struct TableRun {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> sink{std::fopen("/dev/null", "w"), &std::fclose};
  Run run{sink.get(), sink.get(), [] { return std::optional<std::string>{}; }};
  TableRun() { run.files.openScratch(kLog); }
  std::vector<std::string> log() {
    run.files.rewind(kLog);
    std::vector<std::string> lines;
    while (auto l = run.files.readLine(kLog)) lines.push_back(*l);
    return lines;
  }
};

TEST(RateTable, ExtensionAndScaling) {
  // Rows (0 h, 2) and (10 h, 6): a row is added at 23 h with rate 2, and
  // S = 2 x 36000/2 + 6 x 82800/2 + (2764800 - 82800) x 2/4.
  for (const auto& [endtime, tend] : {std::pair{360000.0, 2764800.0}, {3600000.0, 3960000.0}}) {
    TableRun t;
    RateTable rtab{};
    rtab[1][1] = 0;
    rtab[1][2] = 2;
    rtab[2][1] = 36000;
    rtab[2][2] = 6;
    int nrate = 2;
    const double S = 36000 + 248400 + (tend - 82800) * 2 / 4;
    EXPECT_NEAR(initrt(t.run, nrate, rtab, float(endtime)), S, 1e-6 * S) << endtime;
    EXPECT_EQ(nrate, 3);
    EXPECT_FLOAT_EQ(rtab[3][1], 82800.0f);
    EXPECT_FLOAT_EQ(rtab[1][2], float(2 / S));
    EXPECT_FLOAT_EQ(rtab[2][2], float(6 / S));
    EXPECT_FLOAT_EQ(rtab[3][2], float(2 / S));
    const auto log = t.log();
    ASSERT_EQ(log.size(), 3u);
    for (const auto& l : log) EXPECT_EQ(l.rfind(" RT[]", 0), 0u) << l;
  }
}

TEST(RateTable, StepsAreCutOntoTableTimes) {
  // Scaled rows at 0, 1, 2 and 3 h; row 5 lies beyond the table and must
  // never be read.
  RateTable rtab{};
  for (int i = 1; i <= 4; ++i) {
    rtab[i][1] = 3600.0f * float(i - 1);
    rtab[i][2] = 0.1f * float(i);
  }
  rtab[5][1] = 30000.0f;
  rtab[5][2] = 99.0f;
  const float qtot = 10;
  TableRun t;
  int irt = 1;
  float OldRT = 0, NewRT = 1;

  // 1800..5400 s crosses 1 h: cut to 1800..3600, rate unchanged.
  float time = 5400, dt = 3600;
  rtsource(t.run, 4, irt, rtab, qtot, dt, time, OldRT, NewRT);
  EXPECT_EQ(time, 3600.0f);
  EXPECT_EQ(dt, 1800.0f);
  EXPECT_EQ(irt, 1);
  EXPECT_EQ(NewRT, 1.0f);
  // The next step starts on 1 h and takes row 2.
  time = 5400;
  rtsource(t.run, 4, irt, rtab, qtot, dt, time, OldRT, NewRT);
  EXPECT_EQ(time, 5400.0f);
  EXPECT_EQ(dt, 1800.0f);
  EXPECT_EQ(irt, 2);
  EXPECT_FLOAT_EQ(NewRT, 2.0f);
  EXPECT_EQ(OldRT, 1.0f);
  const auto log = t.log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].rfind(" NEWRT,OLDRT=", 0), 0u);

  // 5400..7200 ends on 2 h: the step keeps its length, the row stays.
  time = 7200;
  rtsource(t.run, 4, irt, rtab, qtot, dt, time, OldRT, NewRT);
  EXPECT_EQ(time, 7200.0f);
  EXPECT_EQ(dt, 1800.0f);
  EXPECT_EQ(irt, 2);

  // 7200..16000 passes 2 h and 3 h: entered at 2 h, cut at 3 h.
  time = 16000;
  dt = 8800;
  rtsource(t.run, 4, irt, rtab, qtot, dt, time, OldRT, NewRT);
  EXPECT_EQ(irt, 3);
  EXPECT_EQ(time, 10800.0f);
  EXPECT_EQ(dt, 3600.0f);

  // 10800..25000 from the last row: nothing beyond it, its rate holds.
  time = 10800 + 14200;
  dt = 14200;
  rtsource(t.run, 4, irt, rtab, qtot, dt, time, OldRT, NewRT);
  EXPECT_EQ(irt, 4);
  EXPECT_FLOAT_EQ(NewRT, 4.0f);
  time = 40000;
  dt = 15000;  // 25000..40000 passes row 5's time
  rtsource(t.run, 4, irt, rtab, qtot, dt, time, OldRT, NewRT);
  EXPECT_EQ(irt, 4);
  EXPECT_EQ(time, 40000.0f);
  EXPECT_EQ(dt, 15000.0f);
  EXPECT_FLOAT_EQ(NewRT, 4.0f);

  // A step from before 1 h past 2 h is cut at the first of them.
  irt = 1;
  time = 9000;
  dt = 8000;
  rtsource(t.run, 4, irt, rtab, qtot, dt, time, OldRT, NewRT);
  EXPECT_EQ(irt, 1);
  EXPECT_EQ(time, 3600.0f);
  EXPECT_EQ(dt, 2600.0f);
}

}  // namespace
}  // namespace ph
