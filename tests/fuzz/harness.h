// The in-process run behind the fuzz targets and their replay test: one input
// becomes a project file (or series.pr beside a fixed project file) in a
// private working directory, and a bounded run of the whole program reads it
// and steps the solver a few times. Pauses never wait: an input of odd length
// meets no console, so a pause ends the run; one of even length meets an
// operator who answers go to every pause.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ph::fuzz {

// What happened to one input.
struct Result {
  bool skipped = false;  // not run: too slow to be worth it, or unsafe
  int status = -1;       // exit status of the run
  std::string problem;   // set when the run broke a promise (see check())
};

// Makes a private temporary directory the working directory, once per
// process; it is removed at exit.
void enterWorkDir();

// For the fuzz targets' start-up, before enterWorkDir: turns the corpus
// directories and the paths of -dict=, -artifact_prefix= and
// -exact_artifact_path= into absolute ones, and adds an -artifact_prefix= of
// the starting directory when there is none, so that they still name the
// same places from the working directory.
void absoluteArguments(int* argc, char*** argv);

// What both fuzz targets do: start up (absolute arguments, then the working
// directory), and end an input by aborting, with the problem on the error
// stream, when its run broke a promise.
void startTarget(int* argc, char*** argv);
int finishInput(const Result& r);

// The input as the project file; no series.pr.
Result runProject(std::string_view bytes);
// The input as series.pr beside a small valid project file.
Result runSeries(std::string_view bytes);

// The project file that runSeries runs beside its input: 8 x 8 x 8 cells.
extern const char* const kSeriesProject;

// The steps a run may take, and the cell sweeps (cells times sweeps per step
// times steps) above which an input is skipped as too slow.
inline constexpr long long kMaxSteps = 3;
inline constexpr long long kSweepBudget = 6'000'000;

// A cheap reading of the sizes that drive the run time: nx * ny * nz and
// maxits as the reader would find them; 0 and 0 when the reader would stop
// before it reaches them.
struct Size {
  long long cells = 0;
  long long maxits = 0;
};
Size estimateSize(std::string_view project);

// An input whose output= line names a path outside the working directory is
// not run: the fuzzer must not write over files of the machine.
bool writesOutsideWorkDir(std::string_view project);

}  // namespace ph::fuzz
