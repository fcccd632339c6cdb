// The bundled large project (examples/large: 80 x 80 x 80 cells, fourteen
// days, hydration model) end to end.
//
// LargeRun/binary runs the real program in a scratch copy of the project and
// reports its wall time and peak resident memory (getrusage of the child).
// LargeRun/in_process runs the same program through runProgram, which counts
// the steps and sweeps; it reports sweeps per step and the wall time per sweep.
// Each is run once: a run takes tens of seconds.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "driver/driver.h"

extern char** environ;

namespace ph {
namespace {

namespace fs = std::filesystem;

// A fresh copy of the project in a scratch directory.
fs::path scratchCopy(const char* tag) {
  const fs::path dir = fs::temp_directory_path() / ("pourheat-large-" + std::string(tag) + "-" +
                                                    std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const auto& e : fs::directory_iterator(POURHEAT_LARGE_DIR))
    fs::copy_file(e.path(), dir / e.path().filename());
  return dir;
}

bool finished(const fs::path& dir) {
  std::ifstream f(dir / "done.flg");
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str().find("Finished") != std::string::npos;
}

void BM_LargeRunBinary(benchmark::State& state) {
  const fs::path dir = scratchCopy("binary");
  for (auto _ : state) {
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
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  rusage ru{};
  getrusage(RUSAGE_CHILDREN, &ru);
  state.counters["peak_rss_MiB"] = double(ru.ru_maxrss) / 1024.0;
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

BENCHMARK(BM_LargeRunBinary)->Name("LargeRun/binary")->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_LargeRunInProcess)
    ->Name("LargeRun/in_process")
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace ph

BENCHMARK_MAIN();
