// Inputs that make a run long: a tolerance below zero, which no sweep can
// meet, costs maxits sweeps in every step, even on a field at rest. (An end
// time the clock cannot reach is a row of the malformed-input table.)
#include <gtest/gtest.h>

#include "support/e2e.h"

namespace ph::test {
namespace {

TEST(BoundedWork, NegativeToleranceSweepsMaxitsTimesEveryStep) {
  std::string project = readFile(std::filesystem::path(POURHEAT_SOURCE_DIR) / "tests/driver/runs/base.prj");
  auto set = [&](const std::string& from, const std::string& to) { project.replace(project.find(from), from.size(), to); };
  set("0.001 10", "-1.0 7");
  for (bool rests : {true, false}) {
    if (!rests) {  // a core at 0 in a ring of the boundary material held at 10
      set("25*1", "5*2 2 1 1 1 2 2 1 1 1 2 2 1 1 1 2 5*2");
      set("Materials=1", "Materials=2\n[Material]\nconductivity=1\nspecificheat=1\ndensity=1\nproduction=0");
    }
    TempDir dir;
    dir.write("project.prj", project);
    ForwardStats s;
    RunSetup setup;
    setup.counters = &s;
    EXPECT_EQ(runIn(dir, setup).status, 0);
    EXPECT_GE(s.steps, 2);
    EXPECT_EQ(s.sweeps, 7 * s.steps);
  }
}

}  // namespace
}  // namespace ph::test
