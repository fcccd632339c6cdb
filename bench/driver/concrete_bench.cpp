// The concrete's figures of a step (the pass behind concrete.csv) on the grid
// of the bundled large project, against a step of that project.
//
// Concrete/pass: one concreteFigures over the 80 x 80 x 80 grid read from
// examples/large, its field given a warm core as in a run.
// Concrete/large_step: a step of the large project in process, as the time of
// a run bounded to 12 steps less that of a run bounded to 2, over 10 steps;
// its counters put the pass beside the step and beside one sweep. The goal:
// the pass under 2 % of a step.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

#include "scratch_copy.h"
#include "driver/driver.h"
#include "input/keyword.h"
#include "input/reader.h"
#include "results/concrete.h"

namespace ph {
namespace {

namespace fs = std::filesystem;

double passSeconds = 0;

// A fresh copy of the project in a scratch directory, made the working one
// while `work` runs.
template <typename Work>
void inScratchCopy(const char* tag, Work work) {
  const fs::path dir = scratchCopy(tag);
  const fs::path here = fs::current_path();
  fs::current_path(dir);
  work();
  fs::current_path(here);
  fs::remove_all(dir);
}

std::unique_ptr<ModelState> largeState() {
  auto s = std::make_unique<ModelState>();
  inScratchCopy("read", [&] {
    std::FILE* terminal = std::fopen("terminal.txt", "w");
    Run run(terminal, stderr, [] { return std::optional<std::string>{}; });
    run.files.openScratch(kScratch);
    run.files.openWrite(kLog, "run.log");
    s->infile = fixedText("large.prj", 80);
    reader(run, *s);
    run.files.close(kLog);
    std::fclose(terminal);
  });
  // A warm core and cooler skins, so that the highest and lowest move about.
  for (int k = 1; k <= s->nz; ++k)
    for (int j = 1; j <= s->ny; ++j)
      for (int i = 1; i <= s->nx; ++i)
        s->hnew[cell(i, j, k)] += float(20.0 * std::sin(3.14159 * i / s->nx) * std::sin(3.14159 * j / s->ny) *
                                        std::sin(3.14159 * k / s->nz));
  return s;
}

void BM_ConcretePass(benchmark::State& state) {
  const std::unique_ptr<ModelState> s = largeState();
  long long cells = 0;
  const auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state) {
    const ConcreteFigures f = concreteFigures(s->nx, s->ny, s->nz, s->imat, s->prod, s->bound, s->hnew);
    benchmark::DoNotOptimize(f);
    cells = f.cells;
  }
  passSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() /
                double(state.iterations());
  state.counters["concrete_cells"] = double(cells);
  state.counters["ns_per_cell"] = passSeconds * 1e9 / (double(s->nx) * s->ny * s->nz);
}

void BM_LargeStep(benchmark::State& state) {
  ForwardStats stats[2];
  auto timed = [&](long long steps, ForwardStats& counted) {
    double seconds = 0;
    inScratchCopy("steps", [&] {
      std::FILE* terminal = std::fopen("terminal.txt", "w");
      Run run(terminal, stderr, [] { return std::optional<std::string>{}; });
      RunOptions options;
      options.startupSleepMs = 0;
      options.maxSteps = steps;
      options.counters = &counted;
      const auto t0 = std::chrono::steady_clock::now();
      const int status = runProgram(run, {"large.prj", "run.log", "done.flg"}, options);
      seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      std::fclose(terminal);
      if (status != 0) seconds = -1;
    });
    return seconds;
  };
  double step = 0, sweepsPerStep = 0;
  for (auto _ : state) {
    stats[0] = stats[1] = ForwardStats{};
    const double t2 = timed(2, stats[0]), t12 = timed(12, stats[1]);
    if (t2 < 0 || t12 < 0) {
      state.SkipWithError("the bounded runs of the large project did not finish");
      break;
    }
    step = (t12 - t2) / 10.0;
    sweepsPerStep = double(stats[1].sweeps - stats[0].sweeps) / 10.0;
    state.SetIterationTime(step);
  }
  state.counters["sweeps_per_step"] = sweepsPerStep;
  state.counters["pass_pct_of_step"] = step > 0 ? 100.0 * passSeconds / step : 0.0;
  state.counters["pass_pct_of_sweep"] = step > 0 ? 100.0 * passSeconds * sweepsPerStep / step : 0.0;
}

BENCHMARK(BM_ConcretePass)->Name("Concrete/pass")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LargeStep)->Name("Concrete/large_step")->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ph

BENCHMARK_MAIN();
