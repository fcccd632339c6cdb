// The run sequence: command line, log, flag and scratch files, monitor cells,
// then reader and forward, and the flag file that marks a finished run.
#pragma once

#include <string>
#include <vector>

#include "model/model_state.h"
#include "model/run.h"
#include "driver/forward.h"

namespace ph {

struct RunOptions {
  int startupSleepMs = 200;        // the pause before series.pr is read
  ForwardStats* counters = nullptr;  // receives the steps and sweeps made
  long long maxSteps = 0;          // above 0: stop stepping after this many steps
};

// Runs the whole program on the three arguments (project file, log, flag) and
// returns the exit status: 0 finished, 1 stopped, 2 file-layer failure.
int runProgram(Run& run, const std::vector<std::string>& args, const RunOptions& options = {});

}  // namespace ph
