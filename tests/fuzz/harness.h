// The in-process run behind the fuzz targets and their replay test: one input
// becomes the project file (or series.pr beside series-project.prj) of a run
// of the whole program, bounded to a few steps, in a private working
// directory. Pauses never wait: an input of odd length meets no console, so a
// pause ends the run; one of even length meets an operator who answers go.
#pragma once

#include <string>
#include <string_view>

namespace ph::fuzz {

struct Result {
  bool skipped = false;  // not run: too slow to be worth it, or it would write outside
  int status = -1;
  std::string problem;  // set when the run broke a promise that every run keeps
};

// The input as the project file; no series.pr. Skipped when its cells times
// (3 steps of maxits sweeps + 20) pass 6 million, or output= names a path.
Result runProject(std::string_view bytes);
// The input as series.pr beside the fixed 8 x 8 x 8 project.
Result runSeries(std::string_view bytes);

// The targets' start-up (crash reports go to the starting directory unless
// the arguments say otherwise), and the end of one input: an abort, with the
// problem on the error stream, when its run broke a promise.
void startTarget(int* argc, char*** argv);
int finishInput(const Result& r);

}  // namespace ph::fuzz
