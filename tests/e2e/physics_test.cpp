// Whole runs of the program against physics: conduction in a slab against
// its Fourier series, symmetry, and the heat balance of a closed block.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "support/e2e.h"

namespace ph::test {
namespace {

// One "TIME" line of the run log: the step's end and length in hours, and
// the field's statistics in degrees Celsius.
struct Step {
  double time, err, dt, percent, rms, max, min, avg;
};

std::vector<Step> steps(const TempDir& dir) {
  // A free-form record may run on over several lines: read word by word.
  std::istringstream log(dir.read("run.log"));
  std::vector<std::string> words;
  for (std::string w; log >> w;) words.push_back(w);
  std::vector<Step> all;
  for (std::size_t n = 0; n + 8 < words.size(); ++n) {
    std::string record;
    for (std::size_t w = n + 1; w <= n + 8; ++w) record += words[w] + " ";
    std::istringstream values(record);
    Step s{};
    if (words[n] == "TIME" && values >> s.time >> s.err >> s.dt >> s.percent >> s.rms >> s.max >> s.min >> s.avg)
      all.push_back(s);
  }
  return all;
}

// The final field of an nx by ny grid: cell (i, j, k) from 1.
struct Field {
  int nx, ny;
  std::vector<double> v;
  double operator()(int i, int j, int k) const { return v.at(i - 1 + nx * (j - 1 + ny * (k - 1))); }
};

Field finalField(const TempDir& dir, int nx, int ny) {
  Field f{nx, ny, {}};
  std::istringstream in(dir.read("field.out"));
  for (double x; in >> x;) f.v.push_back(x);
  return f;
}

Outcome run(const TempDir& dir, const ProjectFile& p) {
  dir.write("project.prj", p.text());
  return runProgram(dir, standardArgs());
}

ProjectFile::Material material(const std::string& sig, const std::string& heat,
                               const std::string& production) {
  ProjectFile::Material m;
  m.conductivity = sig;
  m.heat = heat;
  m.production = production;
  return m;
}

// A producing material 1 starts at the placement temperature when some
// boundary names a material; material 2 is that boundary, absent from the
// grid and without a series.
ProjectFile closedBlock(const std::string& sig, const std::string& heat) {
  ProjectFile p;
  p.nx = p.ny = p.nz = "6";
  p.dx = p.dy = p.dz = "60";
  p.bound = "NNNNNN";
  p.placement = "20";
  ProjectFile::Boundary b;
  b.dirichlet = "False";
  p.boundaries = {b};
  p.materials = {material(sig, heat, "1"), material(sig, heat, "0")};
  return p;
}

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
  ProjectFile::Boundary b;
  b.initTemp = "10";
  b.series = {"0 10"};
  p.boundaries = {b};
  p.sections = {"25*1", "25*2"};
  p.laysec = {"2", "11*1", "2"};
  p.materials = {material("1", "3600", "1"), material("1", "3600", "0")};
  TempDir dir;
  const Outcome o = run(dir, p);
  ASSERT_EQ(o.status, 0) << o.out << o.err;
  const auto st = steps(dir);
  ASSERT_GE(st.size(), 3u);
  EXPECT_NEAR(st.back().time, 15.0, 1e-6);
  // The clock starts one step before the start time.
  const double t = (st.back().time - (st.front().time - st.front().dt)) * 3600;
  const double D = 1.0 / 3600, L = 12;
  const Field f = finalField(dir, 5, 5);
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

TEST(Physics, MirroredBlockWithoutHeatStaysUniform) {
  ProjectFile p = closedBlock("1", "1");
  p.times = "0.7 0.0 6.0 1.0 1e-5 20";
  p.rho = "0";
  TempDir dir;
  const Outcome o = run(dir, p);
  ASSERT_EQ(o.status, 0) << o.out << o.err;
  const auto st = steps(dir);
  ASSERT_GE(st.size(), 3u);
  for (const Step& s : st) {
    EXPECT_EQ(s.rms, 0.0);
    EXPECT_EQ(s.min, 20.0);
    EXPECT_EQ(s.max, 20.0);
    EXPECT_EQ(s.percent, 0.0);  // no heat at all: nothing released
  }
  const Field f = finalField(dir, 6, 6);
  ASSERT_EQ(f.v.size(), 216u);
  for (int k = 1; k <= 6; ++k)
    for (int j = 1; j <= 6; ++j)
      for (int i = 1; i <= 6; ++i) EXPECT_EQ(f(i, j, k), 20.0);
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
  ProjectFile::Boundary b;
  b.initTemp = "10";
  b.series = {"0 10"};
  p.boundaries = {b};
  p.laysec = {"2", "5*1", "2"};
  p.materials = {material("2.4", "1000", "1"), material("2.4", "1000", "0")};
  p.materials[0].density = p.materials[1].density = "2400";
  ProjectFile half = p;
  p.nx = "9";
  p.sections = {"9*2 2 7*1 2 2 7*1 2 2 7*1 2 2 7*1 2 2 7*1 2 9*2", "63*2"};
  half.nx = "6";
  half.bound = "DDNDDD";
  half.sections = {"6*2 2 5*1 2 5*1 2 5*1 2 5*1 2 5*1 6*2", "42*2"};
  TempDir fullDir, halfDir;
  Outcome o = run(fullDir, p);
  ASSERT_EQ(o.status, 0) << o.out << o.err;
  o = run(halfDir, half);
  ASSERT_EQ(o.status, 0) << o.out << o.err;
  const auto fs = steps(fullDir), hs = steps(halfDir);
  ASSERT_EQ(fs.size(), hs.size());
  for (std::size_t n = 0; n < fs.size(); ++n) ASSERT_EQ(fs[n].dt, hs[n].dt) << "step " << n;
  const Field full = finalField(fullDir, 9, 7), cut = finalField(halfDir, 6, 7);
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

// Scaled rate of the table row in force at time t (seconds), by the
// trapezoid-like rule of the table's integral up to 32 days.
struct RateCurve {
  std::vector<double> t, r;
  double S = 0;
  RateCurve(std::vector<double> hours, std::vector<double> rates) : r(std::move(rates)) {
    for (double h : hours) t.push_back(h * 3600);
    const std::size_t n = t.size();
    t.push_back(2.3 * t[n - 1] - 1.3 * t[n - 2]);
    r.push_back(r[n - 1] / 3);
    S = r[0] * t[1] / 2;
    for (std::size_t i = 1; i + 1 < t.size(); ++i) S += r[i] * (t[i + 1] - t[i - 1]) / 2;
    S += (2764800 - t.back()) * r.back() / 4;
  }
  double at(double time) const {
    std::size_t i = 0;
    while (i + 1 < t.size() && t[i + 1] <= time) ++i;
    return r[i] / S;
  }
};

TEST(Physics, ClosedBlockHeatsByTheTableHeat) {
  // All faces mirrored: no heat leaves. A = 10, qtot = 1000: each step
  // raises the block by rate x qtot x dt / A, the rate of the row the step
  // lies in (steps are cut onto the table times, so none spans two rows).
  // The field stays uniform, so the iteration measures its changes in
  // degrees against 1e-6 per step: 1e-3 covers the steps with room.
  ProjectFile p = closedBlock("10", "10");
  p.times = "1.0 0.0 12.0 1.0 1e-6 200";
  p.rho = "1";
  p.cementitious = "1";
  p.seriesFlag = "True";
  p.ratePoints = "3";
  p.rateRows = {"0 1", "2 3", "5 2"};
  const RateCurve curve({0, 2, 5}, {1, 3, 2});
  TempDir dir;
  const Outcome o = run(dir, p);
  ASSERT_EQ(o.status, 0) << o.out << o.err;
  const auto st = steps(dir);
  ASSERT_GE(st.size(), 5u);
  double T = 20;
  std::vector<double> ends;
  for (const Step& s : st) {
    const double end = s.time * 3600, begin = end - s.dt * 3600;
    for (double tt : curve.t)  // no step spans a table time
      EXPECT_FALSE(begin < tt - 0.01 && tt + 0.01 < end) << "step " << begin << ".." << end;
    T += curve.at(begin + 0.01) * 1000 * (end - begin) / 10;
    ends.push_back(s.time);
    EXPECT_NEAR(s.avg, T, 1e-3) << "step ending at " << s.time << " h";
    EXPECT_NEAR(s.max - s.min, 0.0, 1e-4);
  }
  for (double h : {2.0, 5.0, 8.9})  // every table time is a step end
    EXPECT_TRUE(std::any_of(ends.begin(), ends.end(), [&](double e) { return std::fabs(e - h) < 1e-5; }))
        << h << " h";
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
  p.rho = "1";
  p.cementitious = "1";
  p.P1 = "6";
  p.P2 = "36";
  p.P3 = "1";
  TempDir dir;
  const Outcome o = run(dir, p);
  ASSERT_EQ(o.status, 0) << o.out << o.err;
  const auto st = steps(dir);
  ASSERT_FALSE(st.empty());
  EXPECT_NEAR(st.back().time, 96.0, 1e-5);
  auto remaining = [](double h) { return 1 / (1 + std::exp((h - 36) / 6)); };
  const double rise = 40 * (remaining(0) - remaining(96));
  EXPECT_NEAR(st.back().avg - 20, rise, 0.2);
  EXPECT_NEAR(st.back().max - st.back().min, 0.0, 1e-4);
}

TEST(Physics, FootingExampleRunsAndWarmsItsCore) {
  TempDir dir;
  namespace fs = std::filesystem;
  for (const auto& e : fs::directory_iterator(fs::path(POURHEAT_SOURCE_DIR) / "examples/footing"))
    fs::copy_file(e.path(), dir.path() / e.path().filename());
  const Outcome o = runProgram(dir, {"footing.prj", "run.log", "done.flg"});
  ASSERT_EQ(o.status, 0) << o.out << o.err;
  EXPECT_EQ(dir.read("done.flg"), " Finished\n");
  const auto tmax = dir.lines("TMAX.OUT");
  ASSERT_FALSE(tmax.empty());
  EXPECT_EQ(dir.lines("Center.out").size(), tmax.size());
  EXPECT_EQ(dir.lines("footing.out").size(), 12u * 17u);  // 12 blocks of 16 rows and a blank
  EXPECT_NE(dir.read("run.log").find("leaving forward, closed footing.out"), std::string::npos);
  // The hottest cell, from 20 degrees at placement. A 1.8 m pour holds most
  // of its heat through the peak at a day; it cannot pass the adiabatic rise
  // qtot / A = 330 x 380 000 / (950 x 2400) = 55 degrees.
  double hottest = -1e9;
  for (const auto& l : tmax) {
    std::istringstream in(l);
    double h, mn, mx;
    in >> h >> mn >> mx;
    hottest = std::max(hottest, (mx - 32) / 1.8);
  }
  EXPECT_GT(hottest - 20, 25.0);
  EXPECT_LT(hottest - 20, 55.0);
}

}  // namespace
}  // namespace ph::test
