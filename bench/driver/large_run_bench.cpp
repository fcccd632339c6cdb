// The bundled large project (examples/large: 80 x 80 x 80 cells, fourteen
// days, hydration model) end to end.
//
// LargeRun/binary/cpus:N runs the real program in a scratch copy of the
// project on N processors (1: one thread, as the program takes for itself
// when it may use one processor; 2: the sweeps on two threads) and reports
// its wall time and peak resident memory (getrusage of the child). The end
// of the run prints the ratio of the two.
// LargeRun/in_process runs the same program through runProgram, which counts
// the steps and sweeps; it reports sweeps per step and the wall time per sweep.
// Each is run once: a run takes tens of seconds.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "scratch_copy.h"
#include "driver/driver.h"

extern char** environ;

namespace ph {
namespace {

namespace fs = std::filesystem;

bool finished(const fs::path& dir) {
  std::ifstream f(dir / "done.flg");
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str().find("Finished") != std::string::npos;
}

std::map<int, double> wallByCpus;

// Restricts this process (and so the children it starts) to the first n
// processors it may use; the destructor gives the rest back.
struct OnCpus {
  cpu_set_t all{};
  explicit OnCpus(int n) {
    sched_getaffinity(0, sizeof all, &all);
    cpu_set_t some;
    CPU_ZERO(&some);
    for (int c = 0, taken = 0; c < CPU_SETSIZE && taken < n; ++c)
      if (CPU_ISSET(c, &all)) CPU_SET(c, &some), ++taken;
    sched_setaffinity(0, sizeof some, &some);
  }
  ~OnCpus() { sched_setaffinity(0, sizeof all, &all); }
};

void BM_LargeRunBinary(benchmark::State& state) {
  const int cpus = int(state.range(0));
  const fs::path dir = scratchCopy("binary");
  double seconds = 0;
  for (auto _ : state) {
    const OnCpus on(cpus);
    const auto t0 = std::chrono::steady_clock::now();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, (dir / "terminal.txt").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const std::string bin = POURHEAT_BIN;
    std::vector<std::string> args{bin, "large.prj", "run.log", "done.flg"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const fs::path here = fs::current_path();
    fs::current_path(dir);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, bin.c_str(), &actions, nullptr, argv.data(), environ);
    fs::current_path(here);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (rc != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        !finished(dir)) {
      state.SkipWithError("the program did not finish the large project");
      break;
    }
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    state.SetIterationTime(seconds);
  }
  wallByCpus[cpus] = seconds;
  rusage ru{};
  getrusage(RUSAGE_CHILDREN, &ru);
  state.counters["peak_rss_MiB"] = double(ru.ru_maxrss) / 1024.0;  // the largest child so far
  fs::remove_all(dir);
}

void BM_LargeRunInProcess(benchmark::State& state) {
  const fs::path dir = scratchCopy("inproc");
  ForwardStats stats;
  double seconds = 0;
  for (auto _ : state) {
    stats = ForwardStats{};
    std::FILE* terminal = std::fopen((dir / "terminal.txt").c_str(), "w");
    Run run(terminal, stderr, [] { return std::optional<std::string>{}; });
    RunOptions options;
    options.startupSleepMs = 0;
    options.counters = &stats;
    const fs::path here = fs::current_path();
    fs::current_path(dir);
    const auto t0 = std::chrono::steady_clock::now();
    const int status = runProgram(run, {"large.prj", "run.log", "done.flg"}, options);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    fs::current_path(here);
    std::fclose(terminal);
    if (status != 0 || !finished(dir)) {
      state.SkipWithError("the large project did not finish in process");
      break;
    }
    state.SetIterationTime(seconds);
  }
  state.counters["steps"] = double(stats.steps);
  state.counters["sweeps"] = double(stats.sweeps);
  state.counters["sweeps_per_step"] = stats.steps ? double(stats.sweeps) / double(stats.steps) : 0.0;
  state.counters["ms_per_sweep"] = stats.sweeps ? seconds * 1e3 / double(stats.sweeps) : 0.0;
  fs::remove_all(dir);
}

BENCHMARK(BM_LargeRunBinary)
    ->Name("LargeRun/binary")
    ->ArgName("cpus")
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_LargeRunInProcess)
    ->Name("LargeRun/in_process")
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace ph

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const auto& w = ph::wallByCpus;
  if (w.count(1) && w.count(2) && w.at(2) > 0)
    std::printf("\nexamples/large: %.2f s on one processor, %.2f s on two: one / two = %.2f\n", w.at(1), w.at(2),
                w.at(1) / w.at(2));
  return 0;
}
