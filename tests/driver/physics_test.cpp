// Whole runs of the program against physics: conduction in a slab against
// its Fourier series, symmetry, and the heat balance of a closed block.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "support/readers.h"

namespace ph::test {
namespace {

// The final field of an nx by ny grid: cell (i, j, k) from 1.
struct Field {
  int nx, ny;
  std::vector<double> v;
  Field(const TempDir& dir, int nx, int ny) : nx(nx), ny(ny), v(numbers(dir.read("field.out"))) {}
  double operator()(int i, int j, int k) const { return v.at(i - 1 + nx * (j - 1 + ny * (k - 1))); }
};

TEST(Physics, SlabBetweenFixedFacesFollowsFourierSeries) {
  // Layers 1 and 13 are a boundary material held at 10 degrees; layers 2 to
  // 12 a slab starting at 20; the four sides are mirrors, so the problem is
  // one-dimensional along z. The held temperatures sit at the centres of
  // layers 1 and 13, so the slab is L = 12 cells wide with its nodes at
  // z = (k - 1) h. D = sig / A = 1/3600 m^2/s with h = 1 m.
  ProjectFile p;
  p.times = "0.5 0.0 15.0 1.0 1e-7 200";  // Crank-Nicolson
  p.nz = "13";
  p.bound = "NNNNDD";
  p.rho = "0";  // the slab "produces" only so that it starts at 20
  p.boundaries = {ProjectFile::Boundary{}};  // material 2, held at 10 degrees
  p.sections = {"25*1", "25*2"};
  p.laysec = {"2", "11*1", "2"};
  p.materials = {{"1", "3600", "1", "1"}, {"1", "3600", "1", "0"}};
  TempDir dir;
  const auto st = runSteps(dir, p);
  ASSERT_GE(st.size(), 3u);
  EXPECT_NEAR(st.back().time, 15.0, 1e-6);
  // The clock starts one step before the start time.
  const double t = (st.back().time - (st.front().time - st.front().dt)) * 3600;
  const double D = 1.0 / 3600, L = 12;
  const Field f(dir, 5, 5);
  for (int k = 1; k <= 13; ++k) {
    double sum = 0;
    for (int n = 1; n < 2000; n += 2)
      sum += 4 / (n * M_PI) * std::sin(n * M_PI * (k - 1) / L) * std::exp(-n * n * M_PI * M_PI * D * t / (L * L));
    // Nodes 1 / L apart: the lowest mode decays 0.7 % slower than in the
    // continuum and starts 0.65 % smaller; Crank-Nicolson with steps of
    // about 1/11 of its decay time adds under 0.1 %. Together about 0.01
    // degrees on the 10-degree difference, plus 0.005 of output rounding.
    EXPECT_NEAR(f(3, 3, k), 10 + 10 * sum, 0.03) << "layer " << k << " after " << t << " s";
  }
}

TEST(Physics, HalfModelBehindMirrorMatchesFullModel) {
  // A heat-producing block of 7 x 5 x 5 cells in a ring of soil held at 10
  // degrees. The full model is symmetric about the plane i = 5; the half
  // model keeps i = 1..5 and mirrors the face i = nx = 6, whose copy of
  // plane 4 puts the symmetry plane on plane 5 again.
  ProjectFile p;
  p.times = "0.7 0.0 30.0 1.0 1e-6 100";
  p.ny = p.nz = "7";
  p.dx = p.dy = p.dz = "0.2";
  p.rho = "300";
  p.cementitious = "400";
  p.boundaries = {ProjectFile::Boundary{}};  // material 2, held at 10 degrees
  p.laysec = {"2", "5*1", "2"};
  p.materials = {{"2.4", "1000", "2400", "1"}, {"2.4", "1000", "2400", "0"}};
  ProjectFile half = p;
  p.nx = "9";
  p.sections = {"9*2 2 7*1 2 2 7*1 2 2 7*1 2 2 7*1 2 2 7*1 2 9*2", "63*2"};
  half.nx = "6";
  half.bound = "DDNDDD";
  half.sections = {"6*2 2 5*1 2 5*1 2 5*1 2 5*1 2 5*1 6*2", "42*2"};
  TempDir fullDir, halfDir;
  const auto fs = runSteps(fullDir, p), hs = runSteps(halfDir, half);
  ASSERT_EQ(fs.size(), hs.size());
  for (std::size_t n = 0; n < fs.size(); ++n) ASSERT_EQ(fs[n].dt, hs[n].dt) << "step " << n;
  const Field full(fullDir, 9, 7), cut(halfDir, 6, 7);
  double hottest = 0;
  for (int k = 1; k <= 7; ++k)
    for (int j = 1; j <= 7; ++j)
      for (int i = 1; i <= 5; ++i) {
        hottest = std::max(hottest, full(i, j, k));
        // Both iterate to 1e-6 of the field's spread in different orders;
        // the output keeps two decimals.
        EXPECT_NEAR(cut(i, j, k), full(i, j, k), 0.015) << i << "," << j << "," << k;
        EXPECT_NEAR(full(10 - i, j, k), full(i, j, k), 0.015) << i << "," << j << "," << k;
      }
  EXPECT_GT(hottest, 25.0);  // the comparison is not between two flat fields
}

TEST(Physics, ClosedBlockHeatsByTheTableHeat) {
  // No heat leaves. A = 10, qtot = 1000: each step raises the block by
  // rate x qtot x dt / A, the rate of the row the step lies in (steps are
  // cut onto the table times, so none spans two rows). The field stays
  // uniform, so the iteration measures its changes in degrees against 1e-6
  // per step: 1e-3 covers the steps with room.
  ProjectFile p = closedBlock("10", "10");
  p.times = "1.0 0.0 12.0 1.0 1e-6 200";
  p.rho = p.cementitious = "1";
  p.seriesFlag = "True";
  p.ratePoints = "3";
  p.rateRows = {"0 1", "2 3", "5 2"};
  // The table gains a row at 2.3 x 5 - 1.3 x 2 = 8.9 h with a third of the
  // last rate and is scaled by its integral up to 32 days (2 764 800 s):
  // 1 x 7200/2 + 3 x 18000/2 + 2 x 24840/2 + (2764800 - 32040) x (2/3)/4.
  const double rowTime[] = {0, 7200, 18000, 32040}, rate[] = {1, 3, 2, 2.0 / 3}, S = 510900;
  TempDir dir;
  const auto st = runSteps(dir, p);
  ASSERT_GE(st.size(), 5u);
  double T = 20;
  int endsOnRow[4] = {};
  for (const Step& s : st) {
    const double end = s.time * 3600, begin = end - s.dt * 3600;
    int row = 0;
    for (int r = 0; r < 4; ++r) {
      EXPECT_FALSE(begin < rowTime[r] - 0.01 && rowTime[r] + 0.01 < end) << "step " << begin << ".." << end;
      endsOnRow[r] += std::fabs(end - rowTime[r]) < 0.036;
      if (rowTime[r] <= begin + 0.01) row = r;
    }
    T += rate[row] / S * 1000 * (end - begin) / 10;
    EXPECT_NEAR(s.avg, T, 1e-3) << "step ending at " << s.time << " h";
    EXPECT_NEAR(s.max - s.min, 0.0, 1e-4);
  }
  EXPECT_EQ(std::vector<int>(endsOnRow + 1, endsOnRow + 4), std::vector<int>(3, 1));  // 2, 5 and 8.9 h
  EXPECT_NEAR(st.back().time, 12.0, 1e-6);
  EXPECT_GT(T - 20, 5.0);
}

TEST(Physics, ClosedBlockHeatsByTheHydrationCurve) {
  // tmodel with P1 = 6 h, P2 = 36 h, P3 = 1: the fraction still to hydrate
  // is p(t) = 1 / (1 + exp((t - 36) / 6)). Over 0..96 h the block gains
  // qtot (p(0) - p(96 h)) / A = 40 x 0.99748 degrees. The program evaluates
  // the rate at an equivalent age 0.34 % past the run time (and applies the
  // per-age-hour rate per run-hour, so 0.34 % less heat comes out) and at
  // the middle of a window shifted by one step; with steps of at most 1.5 h
  // on a 6-hour curve that is flat at both ends the quadrature adds under
  // 0.1 %. Tolerance: 0.5 % of qtot / A.
  ProjectFile p = closedBlock("25", "25");
  p.times = "1.0 0.0 96.0 1.0 1e-6 200";
  p.rho = p.cementitious = "1";
  p.P1 = "6", p.P2 = "36", p.P3 = "1";
  TempDir dir;
  const auto st = runSteps(dir, p);
  ASSERT_FALSE(st.empty());
  EXPECT_NEAR(st.back().time, 96.0, 1e-5);
  auto remaining = [](double h) { return 1 / (1 + std::exp((h - 36) / 6)); };
  EXPECT_NEAR(st.back().avg - 20, 40 * (remaining(0) - remaining(96)), 0.2);
  EXPECT_NEAR(st.back().max - st.back().min, 0.0, 1e-4);
}

TEST(Physics, FootingExampleWarmsItsCore) {
  // The shape of its result files is checked by the tools' example test.
  TempDir dir;
  namespace fs = std::filesystem;
  for (const auto& e : fs::directory_iterator(fs::path(POURHEAT_SOURCE_DIR) / "examples/footing"))
    fs::copy_file(e.path(), dir.path() / e.path().filename());
  const Outcome o = runProgram(dir, {"footing.prj", "run.log", "done.flg"});
  ASSERT_EQ(o.status, 0) << o.out << o.err;
  EXPECT_NE(dir.read("run.log").find("leaving forward, closed footing.out"), std::string::npos);
  // The hottest cell, from 20 degrees at placement. A 1.8 m pour holds most
  // of its heat through the peak at a day; it cannot pass the adiabatic rise
  // qtot / A = 330 x 380 000 / (950 x 2400) = 55 degrees.
  double hottest = -1e9;
  for (const auto& l : dir.lines("TMAX.OUT")) hottest = std::max(hottest, (numbers(l).at(2) - 32) / 1.8);
  EXPECT_GT(hottest - 20, 25.0);
  EXPECT_LT(hottest - 20, 55.0);
}

}  // namespace
}  // namespace ph::test
