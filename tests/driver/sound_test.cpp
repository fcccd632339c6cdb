// Whole runs with a [Physics] block against the references of tests/physics
// (each made without the program: an exact series solution, an RK4
// integration, finite elements and the balanced finite-volume equations
// solved exactly), and the heat balance of every golden project run in the
// sound mode.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>

#include "support/e2e.h"

namespace ph::test {
namespace {

namespace fs = std::filesystem;
const fs::path kSource = POURHEAT_SOURCE_DIR;
const fs::path kPhysics = kSource / "tests/physics";

using Rows = std::vector<std::vector<double>>;

// The lines of a text that start with a number, split at commas (an empty
// field reads as nan) or else at blanks.
Rows rows(const std::string& text) {
  Rows out;
  for (const std::string& line : splitLines(text)) {
    const std::size_t at = line.find_first_not_of(' ');
    if (at == std::string::npos || !(std::isdigit(static_cast<unsigned char>(line[at])) || line[at] == '-')) continue;
    const bool csv = line.find(',') != std::string::npos;
    std::istringstream in(line);
    out.emplace_back();
    for (std::string w; std::getline(in, w, csv ? ',' : ' ');)
      if (csv || !w.empty()) out.back().push_back(w.empty() ? NAN : std::stod(w));
  }
  return out;
}

// The run's TIME records of the log: time (h) -> mean temperature (C).
std::map<double, double> meanByTime(const std::string& log) {
  std::map<double, double> mean;
  std::istringstream in(log);
  double v[8];
  for (std::string w; in >> w; in.clear())
    if (w == "TIME" && in >> v[0] >> v[1] >> v[2] >> v[3] >> v[4] >> v[5] >> v[6] >> v[7]) mean[v[0]] = v[7];
  return mean;
}

std::string edited(std::string text, const std::vector<std::pair<std::string, std::string>>& edits) {
  for (const auto& [from, to] : edits) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
  }
  return text;
}

TEST(Sound, TwoLayerColumnSettlesOnTheSeriesSolution) {
  TempDir dir;
  dir.write("project.prj", readFile(kPhysics / "column/column.prj"));
  ASSERT_EQ(runIn(dir).status, 0);
  const Rows field = rows(dir.read("column.out")), exact = rows(readFile(kPhysics / "column/expected.txt"));
  ASSERT_EQ(field.size(), 12u * 5u);
  // Row j = 3 of each layer; every column holds the same values.
  for (int k = 1; k <= 12; ++k) EXPECT_NEAR(field[(k - 1) * 5 + 2][2], exact[k - 1][2], 0.01) << "layer " << k;
}

TEST(Sound, AdiabaticCubeFollowsItsOwnHeat) {
  // The cube at the default maxstep (0.5 h) against RK4 in 60 s steps, at
  // every whole hour to 14 days.
  const std::pair<std::string, std::string> sigmoid[] = {
      {"modelFlag=True", "modelFlag=False"}, {"P1=0.75", "P1=1.083"}, {"P2=0.9", "P2=1.626"}, {"P3=14", "P3=0.05"}};
  const std::pair<std::string, std::string> table{"seriesFlag=False", "seriesFlag=True"};
  const struct {
    const char* reference;
    std::vector<std::pair<std::string, std::string>> edits;
  } cases[] = {
      {"exp-10", {}}, {"exp-30", {}},
      {"sigmoid-10", {std::begin(sigmoid), std::end(sigmoid)}}, {"sigmoid-30", {std::begin(sigmoid), std::end(sigmoid)}},
      {"table-integral-10", {table}}, {"table-integral-30", {table}},
  };
  const std::string base = readFile(kSource / "tests/driver/physics/adiabatic-maturity.prj");
  for (const auto& c : cases) {
    const std::string placing = std::string(c.reference).substr(std::string(c.reference).size() - 2);
    auto edits = c.edits;
    edits.emplace_back("placement=20", "placement=" + placing);
    TempDir dir;
    dir.write("project.prj", edited(base, edits));
    ASSERT_EQ(runIn(dir).status, 0) << c.reference;
    const std::map<double, double> mean = meanByTime(dir.read("run.log"));
    int compared = 0;
    for (const auto& r : rows(readFile(kPhysics / "adiabatic" / (std::string(c.reference) + ".csv"))))
      if (mean.count(r[0])) {
        EXPECT_NEAR(mean.at(r[0]), r[1], 0.1) << c.reference << " at " << r[0] << " h";
        ++compared;
      }
    EXPECT_EQ(compared, 337) << c.reference;
  }
}

// The monitor cells of Center.out (deg F, 0.1 F) against a history of the
// same five points (deg C) at the times both hold.
void followsHistory(const std::string& folder, const std::string& reference, double within) {
  TempDir dir;
  for (const char* name : {"block.prj", "series.pr"}) dir.write(name, readFile(kPhysics / folder / name));
  RunSetup setup;
  setup.args = {"block.prj", "run.log", "done.flg"};
  ASSERT_EQ(runIn(dir, setup).status, 0);
  std::map<long, std::vector<double>> ref;
  for (const auto& r : rows(readFile(kPhysics / reference))) ref[std::lround(r[0] * 4)] = r;
  int compared = 0;
  for (const auto& r : rows(dir.read("Center.out"))) {
    if (!ref.count(std::lround(r[0] * 4))) continue;
    ++compared;
    for (int p = 1; p <= 5; ++p)
      EXPECT_NEAR((r[p] - 32) / 1.8, ref[std::lround(r[0] * 4)][p], within) << "point " << p << " at " << r[0] << " h";
  }
  EXPECT_EQ(compared, 385);  // every 0.25 h from 0 to 96 h
}

TEST(Sound, ContrastBlockSolvesItsBalancedEquations) {
  // Less the 0.1 F of Center.out (0.028 K) and the sweep's error.
  followsHistory("block-h100", "block-h100/fv-dt0.25.txt", 0.04);
}

TEST(Sound, ContrastBlockOnTheFineGridFollowsTheFiniteElements) {
  followsHistory("block-h033", "fe/block-m4-dt300.txt", 0.35);
}

TEST(Sound, FootingPeakMovesLittleWhenTheStepIsHalved) {
  double peak[2];
  for (int n = 0; n < 2; ++n) {
    TempDir dir;
    const fs::path footing = kSource / "examples/footing";
    dir.write("series.pr", readFile(footing / "series.pr"));
    dir.write("project.prj", readFile(footing / "footing.prj") + "[Physics]\nconduction=balanced\nhydration=maturity\nmaxstep=" +
                                 (n == 0 ? "0.25" : "0.125") + "\n[End Physics]\n");
    ASSERT_EQ(runIn(dir).status, 0);
    peak[n] = 0;
    for (const auto& r : rows(dir.read("concrete.csv"))) peak[n] = std::max(peak[n], r[1]);
  }
  EXPECT_GT(peak[0], 70.0);
  EXPECT_NEAR(peak[0], peak[1], 0.1);
}

TEST(Sound, EveryGoldenProjectBalancesItsHeat) {
  // released + crossing - stored within 0.1 % of the heat released so far,
  // or, while little has been released, of the heat stored or lost if more.
  int runs = 0;
  for (const auto& golden : fs::directory_iterator(kSource / "tests/golden")) {
    if (readFile(golden.path() / "expected/status") != "0\n") continue;
    for (const char* hydration : {"legacy", "maturity"}) {
      TempDir dir;
      RunSetup setup;
      for (const auto& e : fs::directory_iterator(golden.path())) {
        const std::string name = e.path().filename().string();
        if (name == "args") setup.args = splitLines(readFile(e.path()));
        setup.earlier = setup.earlier || name == "binary";
        if (e.is_regular_file() && name != "args" && name != "binary" && name != "NOTES.md")
          dir.write(name, readFile(e.path()));
      }
      // Those with a block of their own keep their every byte in Golden.*.
      const std::string project = dir.read(setup.args[0]);
      if (project.find("[Physics]") != std::string::npos) break;
      dir.write(setup.args[0], project + "[Physics]\nconduction=balanced\nhydration=" + hydration + "\n[End Physics]\n");
      ASSERT_EQ(runIn(dir, setup).status, 0) << golden.path();
      const Rows heat = rows(dir.read("heat.csv"));
      EXPECT_GE(heat.size(), 2u) << golden.path();
      for (const auto& r : heat) {
        const double scale = std::max({r[1], std::fabs(r[3]), std::fabs(r[4])});
        EXPECT_LE(std::fabs(r[5]), 1e-3 * scale + 1e-6) << golden.path() << " " << hydration << " at " << r[0] << " h";
      }
      ++runs;
    }
  }
  EXPECT_GE(runs, 20);
}


// Every line of a heat.csv: released - lost + carried - stored within 0.1 %
// of the largest of them.
void balances(const std::string& heat, const std::string& what) {
  const Rows table = rows(heat);
  EXPECT_GE(table.size(), 10u) << what;
  for (const auto& r : table) {
    const double scale = std::max({r[1], std::fabs(r[3]), std::fabs(r[4]), std::fabs(r[12])});
    EXPECT_LE(std::fabs(r[5]), 1e-3 * scale + 1e-6) << what << " at " << r[0] << " h";
  }
}

// A project of a folder run with its monitor cells; `edits` made to it.
void runProject(TempDir& dir, const fs::path& project, const fs::path& monitors,
                const std::vector<std::pair<std::string, std::string>>& edits = {}) {
  dir.write("p.prj", edited(readFile(project), edits));
  dir.write("series.pr", readFile(monitors));
  RunSetup setup;
  setup.args = {"p.prj", "run.log", "done.flg"};
  EXPECT_EQ(runIn(dir, setup).status, 0) << project;
}

double celsius(double F) { return (F - 32) / 1.8; }

TEST(Sound, SlabFollowsItsReferenceAsTheBlanketComesOffAndTheFilmChanges) {
  // slab1d/insulation-grid.json solved by slab1d.py in 30 s steps on the
  // program's cells (the held soil's half cell its last layer): blanket off
  // at 48 h, film 10 -> 25 W/(m2 K) at 72 h. It moves 0.007 K when its step
  // is halved; Center.out holds 0.1 F. Steps of 0.0625 h keep within 0.05 K
  // of it (0.25 h: 0.16 K an hour after the blanket comes off).
  const fs::path slab = kPhysics / "slab1d/insulation";
  TempDir dir;
  runProject(dir, slab / "slab.prj", slab / "series.pr", {{"maxstep=0.25", "maxstep=0.0625"}});
  std::map<long, std::vector<double>> ref;
  for (const auto& r : rows(readFile(kPhysics / "slab1d/insulation-grid.csv"))) ref[std::lround(r[0])] = r;
  int compared = 0;
  for (const auto& r : rows(dir.read("Center.out"))) {
    if (r[0] < 0.5 || r[0] != std::round(r[0])) continue;
    ++compared;
    const auto& want = ref.at(std::lround(r[0]));
    for (int p = 1; p <= 5; ++p)  // the blanket's cell is held air once it is off
      EXPECT_NEAR(celsius(r[p]), std::isnan(want[p]) ? 15.0 : want[p], 0.08) << "point " << p << " at " << r[0] << " h";
  }
  EXPECT_EQ(compared, 96);
  const std::string log = dir.read("run.log");
  for (const char* line : {"\n event at 48 h (line 106): material 2 becomes material 4 in 32 cells\n",
                           "\n event at 72 h (line 107): the film of material 4 becomes 25 W/(m2 K)\n"})
    EXPECT_NE(log.find(line), std::string::npos) << line;
  balances(dir.read("heat.csv"), "slab");
}

TEST(Sound, LiftWaitsAsAirAndJoinsAtItsPlacingTemperature) {
  // Until 72 h the run is that of the project whose second lift is air, to
  // the last digit of heat.csv; then its 160 cells (10 layers of whole cells
  // 1 x 1 x 0.05 m by their quarter shares) join at 20 C and carry in
  // 10 x 0.05 x 2.28e6 x 20 J = 22.8 MJ; they start at an age of 0.
  const fs::path lift = kSource / "tests/driver/physics/lift.prj", monitors = lift.parent_path() / "lift.pr";
  TempDir placed, air;
  runProject(placed, lift, monitors);
  runProject(air, lift, monitors, {{"10*6 5", "11*5"}, {"at=72 lift 6 20 4\n", ""}});
  const std::vector<std::string> withLift = splitLines(placed.read("heat.csv"));
  const std::vector<std::string> without = splitLines(air.read("heat.csv"));
  ASSERT_EQ(withLift.size(), without.size());
  const Rows heat = rows(placed.read("heat.csv"));
  for (std::size_t n = 0; n < heat.size(); ++n) {
    const double t = heat[n][0];
    if (t <= 72) {
      EXPECT_EQ(withLift[n + 1], without[n + 1]);
    }
    EXPECT_NEAR(heat[n][12], t <= 72 ? 0.0 : 22.8, 1e-6) << t << " h";
    if (t == 72.25) {
      EXPECT_LT(heat[n][7], 1e-5);  // the least released fraction: the new cells'
    }
  }
  for (const auto& r : rows(placed.read("Center.out"))) {
    // The lift's middle cell: held air (15 C) before, then the placing temperature.
    if (r[0] > 0 && r[0] < 72) {
      EXPECT_EQ(r[1], 59.0) << r[0] << " h";
    } else if (r[0] == 72.2) {
      EXPECT_NEAR(celsius(r[1]), 20.0, 0.06);
    }
  }
  const std::string said = "\n event at 72 h (line 113): the lift of material 6 is placed at 20 C in 160 cells\n";
  EXPECT_NE(placed.read("run.log").find(said), std::string::npos);
  balances(placed.read("heat.csv"), "lift");
}

}  // namespace
}  // namespace ph::test
