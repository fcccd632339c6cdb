// Replays the fuzz targets' inputs through the same bounded in-process run:
// every seed is a valid project that finishes, and every input that once
// broke the program ends cleanly now.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fuzz/harness.h"

namespace ph::fuzz {
namespace {

namespace fs = std::filesystem;

TEST(FuzzReplay, SeedsFinishAndRegressionsEndCleanly) {
  for (const std::string sub : {"corpus/project", "corpus/series", "regressions/project", "regressions/series"}) {
    std::vector<fs::path> files;
    std::error_code none;  // regressions/series may not exist
    for (const auto& e : fs::directory_iterator(fs::path(POURHEAT_FUZZ_DIR) / sub, none))
      files.push_back(e.path());
    EXPECT_TRUE(!files.empty() || sub.starts_with("regressions")) << sub;
    for (const auto& f : files) {
      std::ifstream in(f, std::ios::binary);
      const std::string bytes(std::istreambuf_iterator<char>(in), {});
      const Result r = sub.ends_with("series") ? runSeries(bytes) : runProject(bytes);
      EXPECT_EQ(r.problem, "") << f;
      EXPECT_TRUE(sub.starts_with("regressions") || (!r.skipped && r.status == 0)) << f;
    }
  }
}

}  // namespace
}  // namespace ph::fuzz
