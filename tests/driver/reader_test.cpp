// The project file reader seen through the log and the terminal of whole
// runs, and the inputs it rejects.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/e2e.h"

namespace ph::test {
namespace {

ProjectFile smallProject() {
  ProjectFile p;
  p.times = "1.0 0.0 1.0 1.0 0.001 5";
  return p;
}

void rateTable(ProjectFile& p, std::initializer_list<const char*> rows) {
  p.seriesFlag = "True";
  p.ratePoints = std::to_string(rows.size());
  for (const char* r : rows) p.rateRows.emplace_back(r);
}

std::size_t indexOf(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<std::size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}

TEST(Reader, FaceCodesAndBoundaryTemperatures) {
  ProjectFile p = smallProject();
  p.bound = "dlnNDd";
  p.nx = "4";
  p.ny = "1";
  p.nz = "1";
  p.materials.assign(4, ProjectFile::Material{});
  p.sections = {"1 2 3 4"};
  p.boundaries.resize(3);
  const char* temps[] = {"21.7", "-3.5", "-0.5"};
  for (int b = 0; b < 3; ++b) {
    p.boundaries[b].number = std::to_string(b + 2);
    p.boundaries[b].initTemp = temps[b];
    p.boundaries[b].dirichlet = "False";
  }
  TempDir dir;
  dir.write("project.prj", p.text());
  const Outcome o = runProgram(dir, standardArgs());
  EXPECT_NE(o.out.find(" BOUND IS DLNNDD\n"), std::string::npos);
  const auto log = dir.lines("run.log");
  const std::size_t at = indexOf(log, "BOUND IS ");
  ASSERT_LT(at + 6, log.size());
  EXPECT_EQ(log[at + 1] + log[at + 2] + log[at + 3] + log[at + 4] + log[at + 5] + log[at + 6], "DLNNDD");
  // Truncated toward zero: 21.7 -> 21, -3.5 -> -3, -0.5 -> 0; material 1 makes
  // no heat and is no boundary, so it starts at zero.
  const std::size_t m = indexOf(log, " writing matrices ");
  ASSERT_LT(m + 2, log.size());
  EXPECT_EQ(log[m + 1], " 1  2  3  4 ");
  EXPECT_EQ(log[m + 2], "  0.  21. -3.  0.");
  // A Dirichlet= value without True stores no series points.
  EXPECT_EQ(log[indexOf(log, " bndymaters= 3 initTemp=  10.") + 1], " 2 0");
}

TEST(Reader, SeriesFlagRules) {
  struct Case {
    const char* flag;
    bool pauses;  // the flag says table mode but no table was read
  };
  for (const Case c : {Case{"true", true}, Case{"True", true}, Case{"TRUE", false}, Case{"False", false}}) {
    ProjectFile p = smallProject();
    p.seriesFlag = c.flag;
    TempDir dir;
    dir.write("project.prj", p.text());
    const Outcome o = runProgram(dir, standardArgs());
    EXPECT_EQ(o.err.find("RTSFLAG IS NOT CONSISTENT W/ SOURCE") != std::string::npos, c.pauses) << c.flag;
    EXPECT_EQ(o.status, c.pauses ? 1 : 0) << c.flag;
  }
}

TEST(Reader, RejectsWithTheReasonOnTerminalAndLog) {
  struct Case {
    std::string name;
    void (*edit)(ProjectFile&);
    std::string message;
  };
  // The counts beyond the tables are rows of the malformed-input table;
  // these are the rejections that table does not hold.
  const Case cases[] = {
      {"rate times not increasing",
       [](ProjectFile& p) { rateTable(p, {"0 1", "5 2", "5 1"}); },
       "Problem: the times of the rate table must increase (row 3)"},
      {"rate time beyond the clock",
       [](ProjectFile& p) { rateTable(p, {"0 1", "1e36 1"}); },
       "Problem: the time of rate table row 2, in seconds, is not a finite number"},
      {"layer naming no section", [](ProjectFile& p) { p.laysec = {"1", "1", "0", "1", "1"}; },
       "Problem: cell (1,1,3) has material 0"},
      {"infinite placement", [](ProjectFile& p) { p.placement = "-inf"; },
       "Problem: the value of ment= at line"},
      {"zero cell size", [](ProjectFile& p) { p.dy = "0.0"; },
       "Problem: the cell sizes dx=, dy=, dz= must be above 0"},
  };
  for (const auto& c : cases) {
    ProjectFile p = smallProject();
    c.edit(p);
    TempDir dir;
    dir.write("project.prj", p.text());
    const Outcome o = runProgram(dir, standardArgs());
    EXPECT_EQ(o.status, 1) << c.name << "\n" << o.out << o.err;
    EXPECT_NE(o.out.find(c.message), std::string::npos) << c.name << "\n" << o.out;
    EXPECT_NE(dir.read("run.log").find(c.message), std::string::npos) << c.name;
    EXPECT_FALSE(dir.exists("done.flg")) << c.name;
  }
}

}  // namespace
}  // namespace ph::test
