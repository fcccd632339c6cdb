// Inputs that make a run long: a tolerance below zero, which no sweep can
// meet, costs maxits sweeps in every step, even on a field at rest. (An end
// time the clock cannot reach is a row of the malformed-input table.)
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <optional>

#include "driver/driver.h"
#include "support/e2e.h"

namespace ph::test {
namespace {

// Runs the program in-process in `dir` and counts its steps and sweeps.
ForwardStats countedRun(const TempDir& dir, int& status) {
  const auto home = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  std::FILE* null = std::fopen("/dev/null", "w");
  ForwardStats stats;
  {
    Run run(null, null, [] { return std::optional<std::string>(); });
    RunOptions options;
    options.startupSleepMs = 0;
    options.counters = &stats;
    status = runProgram(run, standardArgs(), options);
  }
  std::fclose(null);
  std::filesystem::current_path(home);
  return stats;
}

TEST(BoundedWork, NegativeToleranceSweepsMaxitsTimesEveryStep) {
  ProjectFile p;
  p.times = "1.0 0.0 3.0 1.0 -1.0 1000";
  TempDir dir;
  // One material, no heat, no boundary: the field rests at zero, and the
  // sweeps change nothing.
  dir.write("project.prj", p.text());
  int status = -1;
  ForwardStats s = countedRun(dir, status);
  EXPECT_EQ(status, 0);
  EXPECT_GE(s.steps, 2);
  EXPECT_EQ(s.sweeps, 1000 * s.steps);

  // A boundary at 10 degrees around a block at 0.
  p.times = "1.0 0.0 3.0 1.0 -1.0 7";
  p.materials.push_back(ProjectFile::Material{});
  p.sections = {"5*2 2 1 1 1 2 2 1 1 1 2 2 1 1 1 2 5*2"};
  p.boundaries.emplace_back();  // material 2, held at 10
  dir.write("project.prj", p.text());
  s = countedRun(dir, status);
  EXPECT_EQ(status, 0);
  EXPECT_GE(s.steps, 2);
  EXPECT_EQ(s.sweeps, 7 * s.steps);
}

}  // namespace
}  // namespace ph::test
