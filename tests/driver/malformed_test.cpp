// Hand-edited project files gone wrong: every row is a run of the built
// program on a broken input, which must end by itself with the stated exit
// status and a message that names what was wrong, and leave no flag file.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>

#include "support/e2e.h"

namespace ph::test {
namespace {

// The project every row starts from: valid, with one boundary block.
ProjectFile base() {
  ProjectFile p;
  p.times = "1.0 0.0 2.0 1.0 0.001 10";
  p.boundaries.emplace_back();
  return p;
}

std::string edit(const std::function<void(ProjectFile&)>& change) {
  ProjectFile p = base();
  change(p);
  return p.text();
}

// The base project up to (without) the first occurrence of `marker`.
std::string cutBefore(const std::string& marker) {
  const std::string t = base().text();
  const std::size_t at = t.find(marker);
  EXPECT_NE(at, std::string::npos) << marker;
  return t.substr(0, at);
}

// The base project up to and including the first occurrence of `marker`.
std::string cutAfter(const std::string& marker) {
  const std::string t = base().text();
  const std::size_t at = t.find(marker);
  EXPECT_NE(at, std::string::npos) << marker;
  return t.substr(0, at + marker.size());
}

// The base project with the first occurrence of `from` replaced by `to`.
std::string replaced(const std::string& from, const std::string& to) {
  std::string t = base().text();
  const std::size_t at = t.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return t.replace(at, from.size(), to);
}

struct Row {
  std::string what;
  std::string project;
  int status;
  std::string message;  // found in the terminal or the error stream
  std::optional<std::string> series = std::nullopt;
  std::function<void(const TempDir&)> prepare = nullptr;
};

TEST(Malformed, EveryBrokenInputEndsWithItsMessage) {
  static const char kGarbage[] = "\x7f" "ELF\x02\x01\x00\xff\xfe[tim\x00" "es]\n\x80\x81 nx=\x00\x01\n";
  const std::string garbage(kGarbage, sizeof kGarbage - 1);
  const std::string wide(140, ' ');
  const Row rows[] = {
      // Truncated at each block and key.
      {"empty file", "", 1, " 10 problem finding [times]"},
      {"no [times] values", cutAfter("[times]\n"), 2, "end of file while reading [times]"},
      {"cut before [parameters]", cutBefore("[parameters]"), 1, "problem finding [parameters]"},
      {"cut before ny=", cutBefore("ny="), 1, "problem finding ny="},
      {"cut before the format", cutBefore("sectionformat="), 1, "problem finding ormat="},
      {"cut before [hydration]", cutBefore("[hydration]"), 1, "problem finding ydration]"},
      {"cut before seriesFlag=", cutBefore("seriesFlag="), 1, "problem finding seriesFlag="},
      {"cut before the rate points=", cutBefore("points=0"), 1, "problem finding points="},
      {"cut before [End Sources]", cutBefore("[End Sources]"), 1, "problem finding [End Sources]"},
      {"cut before [Boundaries]", cutBefore("[Boundaries]"), 1, "problem finding [Boundaries]"},
      {"no face codes line", cutAfter("[Boundaries]\n"), 1, " ERROR READING \n project.prj"},
      {"cut before materialboundaries=", cutBefore("materialboundaries="), 1,
       "problem finding materialboundaries="},
      {"cut before [boundary]", cutBefore("[boundary]"), 1, "problem finding [boundary]"},
      {"cut before initTemp=", cutBefore("initTemp="), 1, "problem finding initTemp="},
      {"boundary series cut", cutAfter("points=1\n"), 2, "end of file during a read, file number 10"},
      {"cut before [End Boundaries]", cutBefore("[End Boundaries]"), 1, "problem finding [End"},
      {"cut before [Files]", cutBefore("[Files]"), 1, "problem finding [Files]"},
      {"cut before output=", cutBefore("output="), 1, "problem finding output="},
      {"cut before sectionfiles=", cutBefore("sectionfiles="), 1, "problem finding sectionfiles="},
      {"cut before [submodel]", cutBefore("[submodel]"), 1, "problem finding [submodel]"},
      {"no layer list", cutAfter("[submodel]\n"), 1, " ERROR READING \n project.prj"},
      {"cut before [Sectiongeometry]", cutBefore("[Sectiongeometry]"), 1, "problem finding [Sectiongeometry]"},
      {"no section map", cutAfter("[section]\n"), 1, "readsec: ERROR READING  1"},
      {"section map cut short", cutAfter("[section]\n") + "1 1 1\n", 1, "readsec: ERROR READING  1"},
      {"cut before [Materials]", cutBefore("[Materials]"), 1, "problem finding [Materials]"},
      {"cut before [Material]", cutBefore("[Material]\n"), 1, "problem finding aterial]"},
      {"cut before production=", cutBefore("production="), 1, "problem finding production="},

      // Keys missing or out of order.
      {"ny= before nx=", replaced("nx=5\nny=5", "ny=5\nnx=5"), 1, "problem finding ny="},
      {"blank before =", replaced("nx=5", "nx =5"), 1, "problem finding nx="},
      {"density= before heat=", replaced("specificheat=1\ndensity=1", "density=1\nspecificheat=1"), 1,
       "problem finding ensity="},
      {"output= above [Files]", replaced("[Files]\noutput=field.out", "output=field.out\n[Files]"), 1,
       "problem finding output="},
      {"second material missing", edit([](ProjectFile& p) { p.materialCount = "2"; }), 1,
       "problem finding aterial]"},

      // Values of the wrong kind.
      {"word for nx=", edit([](ProjectFile& p) { p.nx = "five"; }), 2,
       "'five' behind the key 'nx=' at line 5 is not an integer"},
      {"word for dx=", edit([](ProjectFile& p) { p.dx = "abc"; }), 2, "'abc' behind the key 'dx=' at line 8 is not a real"},
      {"nothing behind nx=", edit([](ProjectFile& p) { p.nx = ""; }), 2, "no value behind the key 'nx='"},
      {"real for maxits", edit([](ProjectFile& p) { p.times = "1.0 0.0 2.0 1.0 0.001 10.5"; }), 1,
       "problem finding [times]"},
      {"word for a boundary number=", edit([](ProjectFile& p) { p.boundaries[0].number = "two"; }), 2,
       "'two' behind the key 'number='"},
      {"word for Materials=", edit([](ProjectFile& p) { p.materialCount = "two"; }), 2,
       "'two' behind the key 'terials='"},
      {"letter in a map", edit([](ProjectFile& p) { p.sections = {"24*1 x"}; }), 2,
       "in the map of section 1: 'x' is not an integer"},
      {"letter in the layers", edit([](ProjectFile& p) { p.laysec = {"1", "1", "one", "1", "1"}; }), 2,
       "in [submodel]: 'one' is not an integer"},
      {"blank face codes", edit([](ProjectFile& p) { p.bound = "DDDD"; }), 1,
       "PAUSE  trouble with bound statement executed"},

      // Counts out of range.
      {"nx=0", edit([](ProjectFile& p) { p.nx = "0"; }), 1, "nx= 0 is outside 1 to 80"},
      {"nx=81", edit([](ProjectFile& p) { p.nx = "81"; }), 1, "nx= 81 is outside 1 to 80"},
      {"nz=-3", edit([](ProjectFile& p) { p.nz = "-3"; }), 1, "nz= -3 is outside 1 to 80"},
      {"ny beyond an integer", edit([](ProjectFile& p) { p.ny = "99999999999"; p.sections = {"25*1"}; }), 2,
       "'99999999999' behind the key 'ny=' at line 6 is not an integer"},
      {"maxits beyond an integer", edit([](ProjectFile& p) { p.times = "1 0 2 1 0.001 2147483648"; }), 1,
       "problem finding [times]"},
      {"no materials", edit([](ProjectFile& p) { p.materialCount = "0"; }), 1,
       "Materials= 0 is outside 1 to 100"},
      {"too many materials", edit([](ProjectFile& p) { p.materialCount = "101"; }), 1,
       "Materials= 101 is outside 1 to 100"},
      {"seven boundaries", edit([](ProjectFile& p) { p.boundaryCount = "7"; }), 1,
       "materialboundaries= 7 is outside 0 to 6"},
      {"negative boundaries", edit([](ProjectFile& p) { p.boundaryCount = "-1"; }), 1,
       "materialboundaries= -1 is outside 0 to 6"},
      {"51 series points", edit([](ProjectFile& p) { p.boundaries[0].points = "51"; }), 1,
       "points= of boundary 1 51 is outside 0 to 50"},
      {"negative series points", edit([](ProjectFile& p) { p.boundaries[0].points = "-2"; }), 1,
       "points= of boundary 1 -2 is outside 0 to 50"},
      {"rate table too long",
       edit([](ProjectFile& p) { p.seriesFlag = "True"; p.ratePoints = "50"; }), 1,
       "points= 50 in the hydration block; a rate table holds 2 to 49 rows"},
      {"rate table of one row",
       edit([](ProjectFile& p) { p.seriesFlag = "True"; p.ratePoints = "1"; p.rateRows = {"0 1"}; }), 1,
       "points= 1 in the hydration block"},
      {"a million section blocks", edit([](ProjectFile& p) { p.sectionCount = "1000000"; }), 1,
       "problem finding [section]"},
      {"negative section count", edit([](ProjectFile& p) { p.sectionCount = "-5"; }), 1,
       "cell (1,1,1) has material 0; materials are numbered 1 to 1"},
      {"material index beyond the table", edit([](ProjectFile& p) { p.sections = {"24*1 2"}; }), 1,
       "cell (5,5,1) has material 2; materials are numbered 1 to 1"},

      // Empty maps.
      {"empty section map", replaced("[section]\n25*1\n", "[section]\n\n"), 2,
       "'[Materials]' is not an integer"},
      {"empty layer list", replaced("[submodel]\n5*1\n", "[submodel]\n"), 2,
       "'[Sectiongeometry]' is not an integer"},
      {"empty Materials=", edit([](ProjectFile& p) { p.materialCount = " "; }), 2,
       "no value behind the key 'terials='"},

      // Over-long lines and binary garbage.
      {"key beyond column 128", replaced("nx=5", wide + "nx=5"), 1, "problem finding nx="},
      {"format beyond column 120", replaced("sectionformat=rectangular", "sectionformat=" + wide + "rect"), 1,
       "PAUSE  getstrg: leading b statement executed"},
      {"blank output name", edit([](ProjectFile& p) { p.output = ""; }), 1, "PAUSE  getstrg: leading b"},
      {"binary garbage", garbage, 1, " 10 problem finding [times]"},
      {"control bytes in nx=", edit([](ProjectFile& p) { p.nx = std::string("\x01\x02", 2); }), 2,
       "no value behind the key 'nx='"},

      // Numbers that are not finite.
      {"NaN cell size", edit([](ProjectFile& p) { p.dx = "NaN"; }), 1, "the value of dx= at line 8 is not a finite number"},
      {"cell size beyond a real", edit([](ProjectFile& p) { p.dz = "1e39"; }), 1, "the value of dz= at line 10 is not a finite"},
      {"negative cell size", edit([](ProjectFile& p) { p.dy = "-1"; }), 1, "the cell sizes dx=, dy=, dz= must be above 0"},
      {"infinite end time", edit([](ProjectFile& p) { p.times = "1.0 0.0 inf 1.0 0.001 10"; }), 1,
       "endtime in [times] is not a finite number"},
      {"infinite conductivity", edit([](ProjectFile& p) { p.materials[0].conductivity = "-Infinity"; }), 1,
       "the value of conductivity= at line"},
      {"NaN in a boundary series", edit([](ProjectFile& p) { p.boundaries[0].series = {"0 nan"}; }), 1,
       "the series of boundary 1 point 1 is not a finite number"},
      {"hydration heat beyond a real",
       edit([](ProjectFile& p) { p.rho = "1e30"; p.cementitious = "1e30"; }), 1,
       "Rho= times cementitious= times 1000 is not a finite number"},
      {"heat capacity beyond a real",
       edit([](ProjectFile& p) { p.materials[0].heat = "1e30"; p.materials[0].density = "1e30"; }), 1,
       "heat= times density= of material 1 is not a finite number"},
      {"initTemp beyond an integer", edit([](ProjectFile& p) { p.boundaries[0].initTemp = "3e9"; }), 1,
       "initTemp= of boundary 1 is out of range"},
      {"end time the clock cannot reach", edit([](ProjectFile& p) { p.nx = p.ny = p.nz = "3"; p.times = "1 0 1e9 1 0.001 5"; }),
       1, "the clock can no longer count a time step"},

      // series.pr.
      {"empty series.pr", base().text(), 2, "end of file during a read, file number 10, file 'series.pr'", ""},
      {"series.pr short of values", base().text(), 2, "end of file during a read, file number 10, file 'series.pr'",
       "2\n1 1 1 2 2\n"},
      {"word in series.pr", base().text(), 2, "'two' is not an integer", "two\n"},
      {"negative series point count", base().text(), 1, "series.pr announces -1 series points", "-1\n"},

      // Output names that cannot be written.
      {"output in a missing folder", edit([](ProjectFile& p) { p.output = "nosuch/field.out"; }), 2,
       "the folder of output= 'nosuch/field.out' does not exist"},
      {"output names a folder", edit([](ProjectFile& p) { p.output = "results"; }), 2,
       "output= names a folder, 'results'", std::nullopt,
       [](const TempDir& d) { std::filesystem::create_directory(d.path() / "results"); }},
      {"output over TMAX.OUT", edit([](ProjectFile& p) { p.output = "TMAX.OUT"; }), 1,
       "output= 'TMAX.OUT' would write the final field over TMAX.OUT; give it a name of its own"},
      {"output over the log", edit([](ProjectFile& p) { p.output = "./run.log"; }), 1,
       "would write the final field over the log"},
      {"output over the flag", edit([](ProjectFile& p) { p.output = "done.flg"; }), 1,
       "would write the final field over the flag file"},
      {"output over Center.out", edit([](ProjectFile& p) { p.output = "Center.out"; }), 1,
       "would write the final field over Center.out", "1\n2 2 2\n"},
      {"NUL in the output name", edit([](ProjectFile& p) { p.output = std::string("field\0out", 9); }), 2,
       "the output= name holds a NUL byte"},
  };
  EXPECT_GE(std::size(rows), 40u);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TempDir dir;
    dir.write("project.prj", row.project);
    if (row.series) dir.write("series.pr", *row.series);
    if (row.prepare) row.prepare(dir);
    const Outcome o = runProgram(dir, standardArgs());
    EXPECT_EQ(o.status, row.status) << o.out << o.err;
    EXPECT_NE((o.out + o.err).find(row.message), std::string::npos) << o.out << o.err;
    EXPECT_FALSE(dir.exists("done.flg"));
  }
}

}  // namespace
}  // namespace ph::test
