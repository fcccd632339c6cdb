// The result files and the run's last lines, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "support/e2e.h"

namespace ph::test {
namespace {

// A 5 x 5 x 5 block, every face a mirror, of one material that starts at
// 20 degrees and releases no heat (Rho = 0): the field stays at 20.
ProjectFile uniformBlock() {
  ProjectFile p;
  p.times = "1.0 0.0 2.0 1.0 0.001 10";
  p.dx = p.dy = p.dz = "60";
  p.bound = "NNNNNN";
  p.rho = "0";
  p.placement = "20";
  ProjectFile::Boundary b;  // names material 2, which is not on the grid
  b.dirichlet = "False";
  p.boundaries = {b};
  ProjectFile::Material m;
  m.production = "1";
  p.materials = {m, ProjectFile::Material{}};
  return p;
}

TEST(Results, HistoryFilesOfAUniformField) {
  TempDir dir;
  dir.write("project.prj", uniformBlock().text());
  // 128 series points, cycling through the grid.
  std::ostringstream series;
  series << "128\n";
  for (int p = 0; p < 128; ++p) series << 1 + p % 5 << " " << 1 + p / 5 % 5 << " " << 1 + p / 25 % 5 << "\n";
  dir.write("series.pr", series.str());
  const Outcome o = runProgram(dir, standardArgs());
  ASSERT_EQ(o.status, 0) << o.out << o.err;

  // 20 C is 68.0 F; a spread of 0 is written through cf as 32.0.
  const auto tmax = dir.lines("TMAX.OUT");
  ASSERT_GE(tmax.size(), 2u);
  for (const auto& l : tmax) {
    EXPECT_EQ(l.size(), 43u) << l;
    EXPECT_EQ(l.substr(8), "   68.0   68.0   68.0   32.0   68.0") << l;
  }
  EXPECT_EQ(tmax.front().substr(0, 8), "     0.0");  // the first step ends at the start
  EXPECT_EQ(tmax.back().substr(0, 8), "     2.0");   // the last one at the end

  std::string rest;
  for (int p = 0; p < 99; ++p) rest += "   68.0";
  std::string second;
  for (int p = 0; p < 29; ++p) second += "   68.0";
  const auto center = dir.lines("Center.out");
  ASSERT_EQ(center.size(), 2 * tmax.size());
  for (std::size_t r = 0; r < tmax.size(); ++r) {
    EXPECT_EQ(center[2 * r].size(), 701u);
    EXPECT_EQ(center[2 * r], tmax[r].substr(0, 8) + rest) << "record " << r;
    EXPECT_EQ(center[2 * r + 1], second) << "record " << r;
  }
}

TEST(Results, FinalFieldInBlocksOfLayers) {
  // nx = 3, ny = 2, nz = 2 has no interior cell, so the field keeps its
  // start: six boundary materials, each starting at its own temperature.
  ProjectFile p;
  p.times = "1.0 0.0 0.5 1.0 0.001 10";
  p.nx = "3";
  p.ny = "2";
  p.nz = "2";
  const char* temps[6] = {"11", "12", "13", "14", "15", "-5"};
  for (int m = 1; m <= 6; ++m) {
    ProjectFile::Boundary b;
    b.dirichlet = "False";
    b.number = std::to_string(m);
    b.initTemp = temps[m - 1];
    p.boundaries.push_back(b);
  }
  p.materials.assign(6, ProjectFile::Material{});
  p.sections = {"1 2 3 4 5 6", "6 5 4 3 2 1"};
  p.laysec = {"1", "2"};
  TempDir dir;
  dir.write("project.prj", p.text());
  const Outcome o = runProgram(dir, standardArgs());
  ASSERT_EQ(o.status, 0) << o.out << o.err;
  const std::vector<std::string> want = {
      "   11.00      12.00      13.00    ",
      "   14.00      15.00     -5.000    ",
      "",
      "  -5.000      15.00      14.00    ",
      "   13.00      12.00      11.00    ",
      "",
  };
  EXPECT_EQ(dir.lines("field.out"), want);
}

TEST(Results, RunsWithoutHeatOrWithoutSteps) {
  // Rho = 0: no heat, and the released share in the log stays 0.
  TempDir dir;
  dir.write("project.prj", uniformBlock().text());
  Outcome o = runProgram(dir, standardArgs());
  ASSERT_EQ(o.status, 0) << o.out << o.err;
  std::istringstream log(dir.read("run.log"));
  std::vector<std::string> words;
  for (std::string w; log >> w;) words.push_back(w);
  int stepLines = 0;
  for (std::size_t n = 0; n + 4 < words.size(); ++n) {
    double time, err, dt, percent;
    std::istringstream v(words[n + 1] + " " + words[n + 2] + " " + words[n + 3] + " " + words[n + 4]);
    if (words[n] == "TIME" && v >> time >> err >> dt >> percent) {
      ++stepLines;
      EXPECT_EQ(percent, 0.0) << "at " << time << " h";
    }
  }
  EXPECT_GE(stepLines, 2);

  // The end before the start: once the operator lets the run go on, no step
  // is computed and the end line shows the start time, no step, no error.
  ProjectFile late = uniformBlock();
  late.times = "1.0 2.0 1.0 1.0 0.001 10";
  dir.write("project.prj", late.text());
  o = runOnTerminal(dir, standardArgs(), "go");
  ASSERT_EQ(o.status, 0) << o.out;
  EXPECT_NE(o.out.find("starttime is later than endtime"), std::string::npos);
  const std::string end = "               TIME =  2.000       DT=   0.0000  ERROR= .00E+00";
  EXPECT_NE(o.out.find("\n" + end + "\n\n"), std::string::npos) << o.out;
  const auto lines = dir.lines("run.log");
  const auto at = std::find(lines.begin(), lines.end(), end);
  ASSERT_NE(at, lines.end());
  ASSERT_NE(at + 1, lines.end());
  EXPECT_EQ(*(at + 1), "");
  EXPECT_TRUE(dir.lines("TMAX.OUT").empty());
  EXPECT_EQ(dir.read("done.flg"), " Finished\n");
}

}  // namespace
}  // namespace ph::test
