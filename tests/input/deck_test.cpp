// Keyword primitives on a project text of their own: forward-only substring
// search, values behind keys, and the texts of getstrg and trim.
#include <gtest/gtest.h>

#include "input/keyword.h"
#include "input/reader.h"
#include "support/e2e.h"

namespace ph::test {
namespace {

// A run with `text` open as the project file.
struct Deck : TestRun {
  TempDir dir;
  explicit Deck(const std::string& text, std::optional<std::string> answer = std::nullopt) : TestRun(answer) {
    dir.write("deck.prj", text);
    run.files.openRead(kProject, (dir.path() / "deck.prj").string());
    run.files.openScratch(kLog);
  }
};

TEST(Keyword, ValuesBehindKeys) {
  Deck d("nx = 40\nnx=41\nseriesFlag=True\n   the flag=False\ndx=0.05 cell size\nnumber=3,4\n"
         "output=  final field.txt  \ndx=0.05 cell size\n");
  EXPECT_EQ(getint(d.run, kProject, "nx="), 41);  // "nx = 40" does not hold the key
  EXPECT_EQ(getstrg(d.run, kProject, "seriesFlag=", 5), "True ");
  EXPECT_EQ(getstrg(d.run, kProject, "lag=", 5), "False");  // the next line holding it
  EXPECT_EQ(getval(d.run, kProject, "dx="), 0.05f);
  EXPECT_EQ(getint(d.run, kProject, "number="), 3);
  EXPECT_EQ(getstrg(d.run, kProject, "output=", 80), fixedText("final field.txt", 80));
  EXPECT_EQ(getstrg(d.run, kProject, "dx=", 9), "0.05 cell");
  EXPECT_THROW(getint(d.run, kProject, "nx="), RunEnd);  // nothing is searched above
  const std::string said = d.terminal();
  EXPECT_TRUE(said.starts_with(" 10 problem finding nx=\n searched ") &&
              said.ends_with("deck.prj for nx=: no line follows line 8, its last\n")) << said;
}

TEST(Keyword, TrimAndTheLeadingBlankPause) {
  Deck d(std::string(115, ' ') + "key=   v\n", "go");
  EXPECT_EQ(trim(d.run, "  run.log", 8), "run.log ");
  EXPECT_EQ(trim(d.run, "abcdefghijk", 8), "abcdefgh");
  EXPECT_EQ(d.errors(), "");
  EXPECT_EQ(trim(d.run, " \t ", 8), "        ");  // paused, resumed, blank
  const std::string pause =
      "PAUSE  getstrg: leading b statement executed\nTo resume execution, type go.  Other input will "
      "terminate the job.\nExecution resumes after PAUSE.\n";
  EXPECT_EQ(d.errors(), pause);
  // A value starting beyond column 120: one pause for each column scanned
  // there (121, 122 and 123).
  EXPECT_EQ(getstrg(d.run, kProject, "key=", 4), "v   ");
  EXPECT_EQ(d.errors(), pause + pause + pause + pause);
  std::string s = "abc";
  makblank(s);
  EXPECT_EQ(s, "   ");
}

TEST(Materials, ProductionFactorsAndCapacity) {
  // Each production divided by the one of largest magnitude (the first of
  // two equal ones), only where it is positive.
  const std::pair<std::vector<const char*>, std::vector<float>> cases[] = {
      {{"10", "5", "0"}, {1.0f, 0.5f, 0.0f}}, {{"2", "-5"}, {-0.4f, -5.0f}}, {{"0", "0"}, {0.0f, 0.0f}},
      {{"-4", "4"}, {-4.0f, -1.0f}}, {{"4", "-4"}, {1.0f, -4.0f}}};
  for (const auto& [prods, factors] : cases) {
    std::string deck = "[Materials]\nMaterials=" + std::to_string(prods.size()) + "\n";
    for (const char* p : prods)
      deck += std::string("[Material]\nconductivity=2\nspecificheat=1000\ndensity=2400\nproduction=") + p + "\n";
    Deck d(deck);
    IntField imat(cellCount, 1);
    int nmat = 0;
    MatTable A{}, prod{}, sig{};
    readmats(d.run, 1, 1, 1, nmat, imat, A, prod, sig);
    EXPECT_EQ(nmat, int(prods.size()));
    for (std::size_t m = 0; m < factors.size(); ++m) EXPECT_FLOAT_EQ(prod[m + 1], factors[m]) << prods[m];
    EXPECT_EQ(A[1], 2400000.0f);
    EXPECT_EQ(sig[1], 2.0f);
  }
}

}  // namespace
}  // namespace ph::test
