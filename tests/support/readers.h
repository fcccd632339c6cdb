// Small readers and builders shared by the tests: the log's TIME records and
// the numbers of a result file, a project run in one call, and a run in this
// process whose terminal can be read back.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/run.h"
#include "support/e2e.h"

namespace ph::test {

// One "TIME" record of the run log: the step's end and length in hours, and
// the field's statistics in degrees Celsius.
struct Step {
  double time, err, dt, percent, rms, max, min, avg;
};
// The records of run.log in `dir`; a record may run on over several lines.
std::vector<Step> timeRecords(const TempDir& dir);

// Every number of a text, in order (a result file written in any layout).
std::vector<double> numbers(const std::string& text);

std::string repeat(std::string_view s, int n);

// Writes `p` as project.prj in `dir` and runs the program on it.
Outcome runProject(const TempDir& dir, const ProjectFile& p);
// The same for a run that must finish; its TIME records.
std::vector<Step> runSteps(const TempDir& dir, const ProjectFile& p);

// A 6 x 6 x 6 block of 60 m cells, every face a mirror, so no heat leaves.
// Material 1 produces, so it starts at the placement temperature (20) as a
// boundary names a material: material 2, absent from the grid, no series.
ProjectFile closedBlock(const std::string& sig = "1", const std::string& heat = "1");

// Calls f(i, j, k) for every cell of an nx by ny by nz grid, i fastest.
template <class F>
void eachCell(int nx, int ny, int nz, F f) {
  for (int k = 1; k <= nz; ++k)
    for (int j = 1; j <= ny; ++j)
      for (int i = 1; i <= nx; ++i) f(i, j, k);
}

// A run whose terminal goes to a temporary file, whose error stream is
// dropped and whose pauses nobody answers.
struct TestRun {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> term{std::tmpfile(), &std::fclose},
      errs{std::fopen("/dev/null", "w"), &std::fclose};
  Run run{term.get(), errs.get(), [] { return std::optional<std::string>{}; }};
  long seen = 0;
  // What the terminal got since the last call.
  std::string terminal();
  // Every line of a unit (such as a scratch file), from its start.
  std::vector<std::string> lines(int unit);
};

}  // namespace ph::test
