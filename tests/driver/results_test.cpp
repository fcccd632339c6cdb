// The result files and the run's last lines, byte for byte.
#include <gtest/gtest.h>

#include <sstream>

#include "support/readers.h"

namespace ph::test {

TEST(Results, UniformFieldInTheLogTheHistoriesAndTheField) {
  // A closed block that releases no heat (Rho = 0) stays at 20 degrees.
  ProjectFile p = closedBlock();
  p.times = "0.7 0.0 2.0 1.0 1e-5 20";
  TempDir dir;
  // 128 series points, cycling through the grid.
  std::ostringstream series;
  series << "128\n";
  for (int n = 0; n < 128; ++n) series << 1 + n % 6 << " " << 1 + n / 6 % 6 << " " << 1 + n / 36 << "\n";
  dir.write("series.pr", series.str());
  const auto st = runSteps(dir, p);
  ASSERT_GE(st.size(), 3u);
  for (const Step& s : st)  // nothing released, no spread
    EXPECT_EQ((std::vector{s.percent, s.rms, s.max, s.min}), (std::vector<double>{0, 0, 20, 20})) << s.time;
  EXPECT_EQ(numbers(dir.read("field.out")), std::vector<double>(216, 20.0));

  // 20 C is 68.0 F; a spread of 0 is written through cf as 32.0.
  const auto tmax = dir.lines("TMAX.OUT");
  ASSERT_EQ(tmax.size(), st.size());
  for (const auto& l : tmax) EXPECT_EQ(l.substr(8), "   68.0   68.0   68.0   32.0   68.0") << l;
  EXPECT_EQ(tmax.front().substr(0, 8), "     0.0");  // the first step ends at the start
  EXPECT_EQ(tmax.back().substr(0, 8), "     2.0");   // the last one at the end
  const auto center = dir.lines("Center.out");
  ASSERT_EQ(center.size(), 2 * tmax.size());
  for (std::size_t r = 0; r < tmax.size(); ++r) {
    EXPECT_EQ(center[2 * r], tmax[r].substr(0, 8) + repeat("   68.0", 99)) << "record " << r;
    EXPECT_EQ(center[2 * r + 1], repeat("   68.0", 29)) << "record " << r;
  }
}

TEST(Results, FinalFieldInBlocksOfLayers) {
  // nx = 3, ny = 2, nz = 2 has no interior cell, so the field keeps its
  // start: six boundary materials, each starting at its own temperature.
  ProjectFile p;
  p.times = "1.0 0.0 0.5 1.0 0.001 10";
  p.nx = "3", p.ny = "2", p.nz = "2";
  for (const char* t : {"11", "12", "13", "14", "15", "-5"}) {
    auto& b = p.boundaries.emplace_back();
    b.dirichlet = "False", b.number = std::to_string(p.boundaries.size()), b.initTemp = t;
  }
  p.materials.assign(6, ProjectFile::Material{});
  p.sections = {"1 2 3 4 5 6", "6 5 4 3 2 1"};
  p.laysec = {"1", "2"};
  TempDir dir;
  runSteps(dir, p);
  EXPECT_EQ(dir.lines("field.out"), (std::vector<std::string>{"   11.00      12.00      13.00    ",
                                                              "   14.00      15.00     -5.000    ", "",
                                                              "  -5.000      15.00      14.00    ",
                                                              "   13.00      12.00      11.00    ", ""}));
}

TEST(Results, EndBeforeStartMakesNoStep) {
  // Once the operator lets the run go on, no step is computed and the end
  // line shows the start time, no step, no error.
  ProjectFile late = closedBlock();
  late.times = "1.0 2.0 1.0 1.0 0.001 10";
  TempDir dir;
  dir.write("project.prj", late.text());
  const Outcome o = runOnTerminal(dir, standardArgs(), "go");
  ASSERT_EQ(o.status, 0) << o.out;
  EXPECT_NE(o.out.find("starttime is later than endtime"), std::string::npos);
  const std::string end = "\n               TIME =  2.000       DT=   0.0000  ERROR= .00E+00\n\n";
  for (const std::string& text : {o.out, dir.read("run.log")}) EXPECT_NE(text.find(end), std::string::npos) << text;
  EXPECT_TRUE(dir.lines("TMAX.OUT").empty());
  EXPECT_EQ(dir.read("done.flg"), " Finished\n");
}

}  // namespace ph::test
