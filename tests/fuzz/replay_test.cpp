// Replays the fuzz targets' inputs through the same bounded in-process run:
// every seed is a valid project that finishes, and every input that once
// broke the program ends cleanly now (status 0, 1 or 2, the flag file only
// after a finished run, no half-written file).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "fuzz/harness.h"

namespace ph::fuzz {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> inputs(const std::string& sub) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(fs::path(POURHEAT_FUZZ_DIR) / sub, ec))
    if (e.is_regular_file()) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::string bytesOf(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

Result replay(const std::string& sub, const fs::path& file) {
  const std::string bytes = bytesOf(file);
  return sub.ends_with("series") ? runSeries(bytes) : runProject(bytes);
}

TEST(FuzzReplay, SeedsFinish) {
  for (const std::string sub : {"corpus/project", "corpus/series"}) {
    const auto files = inputs(sub);
    EXPECT_FALSE(files.empty()) << sub;
    for (const auto& f : files) {
      const Result r = replay(sub, f);
      EXPECT_FALSE(r.skipped) << f;
      EXPECT_EQ(r.status, 0) << f;
      EXPECT_EQ(r.problem, "") << f;
    }
  }
}

TEST(FuzzReplay, RegressionsEndCleanly) {
  for (const std::string sub : {"regressions/project", "regressions/series"})
    for (const auto& f : inputs(sub)) {
      const Result r = replay(sub, f);
      if (r.skipped) continue;
      EXPECT_GE(r.status, 0) << f;
      EXPECT_LE(r.status, 2) << f;
      EXPECT_EQ(r.problem, "") << f;
    }
}

TEST(FuzzReplay, HarnessReadsSizesAsTheReaderDoes) {
  // The first [times] line holds a word where maxits belongs: the reader
  // goes on to the next [times] header.
  const std::string p =
      "[times]\n1 0 24 6 0.001 many\n[times]\n1 0 24 6 0.001 250\n"
      "[parameters]\nnx = 9\nnx=12 cells\nny=7\nnz=3,4\n";
  const Size s = estimateSize(p);
  EXPECT_EQ(s.cells, 12 * 7 * 3);
  EXPECT_EQ(s.maxits, 250);
  EXPECT_EQ(estimateSize("[times]\n1 0 24 6 0.001 5\n[parameters]\nnx=81\nny=1\nnz=1\n").cells, 0);
  EXPECT_TRUE(writesOutsideWorkDir("[Files]\noutput=../x\n"));
  EXPECT_TRUE(writesOutsideWorkDir("output=/etc/x"));
  EXPECT_FALSE(writesOutsideWorkDir("output=field.out\n/ elsewhere\n"));
}

}  // namespace
}  // namespace ph::fuzz
