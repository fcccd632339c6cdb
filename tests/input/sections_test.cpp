// Plan masks, section maps, materials and starting temperatures, read from
// small decks in this process and checked against the log.
#include <gtest/gtest.h>

#include <numeric>

#include "input/deck_fixture.h"
#include "input/reader.h"

namespace ph::test {
namespace {

int countColumns(const std::vector<int>& mask) { return std::accumulate(mask.begin(), mask.end(), 0); }

TEST(PlanMask, RectangularCircularAndEarlierBuild) {
  {
    DeckRun d("");
    std::vector<int> mask(ijcap * ijcap, 0);
    getflag(d.run, "rectangular", 9, 9, mask);
    EXPECT_EQ(countColumns(mask), 49);
    const auto log = d.log();
    ASSERT_EQ(log.size(), 9u);
    EXPECT_EQ(log[0], "FFFFFFFFF");
    EXPECT_EQ(log[1], "FTTTTTTTF");
  }
  {
    DeckRun d("");
    std::vector<int> mask(ijcap * ijcap, 0);
    getflag(d.run, "centered", 9, 9, mask);
    EXPECT_EQ(countColumns(mask), 45);
    EXPECT_EQ(mask[column(1, 5)], 0);  // exactly at the radius 4
    EXPECT_EQ(mask[column(2, 5)], 1);
    const auto log = d.log();
    ASSERT_EQ(log.size(), 9u);
    EXPECT_EQ(log[0], "FFFFFFFFF");  // i = 1: every column at distance 4 or more
    EXPECT_EQ(log[4], "FTTTTTTTF");  // i = 5
  }
  {
    DeckRun d("");
    d.run.earlierMask = true;
    std::vector<int> mask(ijcap * ijcap, 7);
    getflag(d.run, "rectangular", 9, 9, mask);
    EXPECT_EQ(countColumns(mask), 7 * ijcap * ijcap);  // untouched
    EXPECT_TRUE(d.log().empty());
  }
  {
    DeckRun d("");
    d.run.earlierMask = true;
    std::vector<int> mask(ijcap * ijcap, 0);
    getflag(d.run, "percent", 9, 9, mask);  // holds "cent"
    EXPECT_EQ(countColumns(mask), 45);
    EXPECT_EQ(d.terminal(), "  4.  5.  5.\n");
  }
}

TEST(SectionMaps, LayersRepeatsAndLog) {
  DeckRun d(
      "[section] 9 9 9\n1 1 2 3 3 4\n"
      "[section]\n5 5 5\n6,6,100\n");
  IntField imat(cellCount, 0);
  const std::vector<int> laysec{0, 1, 1, 2, 1};  // layers 1..4
  int maxmat = 0;
  readsec(d.run, 3, 2, 4, 1, laysec, imat, maxmat);
  readsec(d.run, 3, 2, 4, 2, laysec, imat, maxmat);
  for (int k : {1, 2, 4}) {
    EXPECT_EQ(imat[cell(3, 1, k)], 2);
    EXPECT_EQ(imat[cell(1, 2, k)], 3);
    EXPECT_EQ(imat[cell(3, 2, k)], 4);
  }
  EXPECT_EQ(imat[cell(1, 1, 3)], 5);
  EXPECT_EQ(imat[cell(3, 2, 3)], 100);
  EXPECT_EQ(maxmat, 100);
  const std::vector<std::string> expected{" 1  1  2 ", " 3  3  4 ", " [section]  1 4 3 2 4",
                                          " 5  5  5 ", " 6  6 ** ", " [section]  2 100 3 2 4"};
  EXPECT_EQ(d.log(), expected);

  DeckRun wide("[section]\n40*1 40*2\n");
  IntField row(cellCount, 0);
  readsec(wide.run, 80, 1, 1, 1, {0, 1}, row, maxmat);
  EXPECT_EQ(row[cell(40, 1, 1)], 1);
  EXPECT_EQ(row[cell(41, 1, 1)], 2);
  EXPECT_EQ(row[cell(80, 1, 1)], 2);

  DeckRun shortMap("[section]\n1 2 3\n");
  EXPECT_THROW(readsec(shortMap.run, 3, 2, 1, 1, {0, 1}, row, maxmat), RunEnd);
  EXPECT_EQ(shortMap.terminal(), " readsec: ERROR READING  1\n");
}

std::string materialBlock(const char* sig, const char* heat, const char* dens, const char* prod) {
  return std::string("[Material]\nconductivity=") + sig + "\nspecificheat=" + heat + "\ndensity=" + dens +
         "\nproduction=" + prod + "\n";
}

TEST(Materials, TablesFactorsAndLog) {
  struct Case {
    std::vector<const char*> prods;
    std::vector<float> factors;
  };
  const Case cases[] = {{{"10", "5", "0"}, {1.0f, 0.5f, 0.0f}},
                        {{"2", "-5"}, {-0.4f, -5.0f}},
                        {{"0", "0"}, {0.0f, 0.0f}},
                        {{"-4", "4"}, {-4.0f, -1.0f}}};  // equal magnitudes: the first is the divisor
  for (const auto& c : cases) {
    std::string deck = "[Materials]\nMaterials=" + std::to_string(c.prods.size()) + "\n";
    for (const char* p : c.prods) deck += materialBlock("2", "1000", "2400", p);
    DeckRun d(deck);
    IntField imat(cellCount, 0);
    imat[cell(1, 1, 1)] = 1;
    int nmat = 0;
    MatTable A{}, prod{}, sig{};
    readmats(d.run, 1, 1, 1, nmat, imat, A, prod, sig);
    EXPECT_EQ(nmat, static_cast<int>(c.prods.size()));
    for (std::size_t m = 0; m < c.factors.size(); ++m) EXPECT_FLOAT_EQ(prod[m + 1], c.factors[m]);
    EXPECT_EQ(A[1], 2400000.0f);
    const auto log = d.log();
    EXPECT_EQ(log[0], " Material  1");
    EXPECT_EQ(log[1], "  2.");
    EXPECT_EQ(log[2], "  2400000.  2400.");
    EXPECT_EQ(d.terminal(), " K= 1\n");
  }
}

TEST(Materials, BadPropertiesPause) {
  const std::string deck = "[Materials]\nMaterials=2\n" + materialBlock("2", "1000", "2400", "1") +
                           materialBlock("0", "1000", "2400", "0");
  DeckRun d(deck, "go");
  IntField imat(cellCount, 0);
  imat[cell(1, 1, 1)] = 1;
  imat[cell(1, 1, 2)] = 2;
  imat[cell(1, 1, 3)] = 2;
  int nmat = 0;
  MatTable A{}, prod{}, sig{};
  readmats(d.run, 1, 1, 3, nmat, imat, A, prod, sig);
  const std::string errs = d.errors();
  EXPECT_NE(errs.find("PAUSE  material read error"), std::string::npos);
  // One pause per offending cell, each after the K= line of its layer.
  EXPECT_EQ(d.terminal(), " K= 1\n K= 2\n K= 3\n");
  std::size_t pauses = 0;
  for (std::size_t p = 0; (p = errs.find("readsec:sig=0", p)) != std::string::npos; ++p) ++pauses;
  EXPECT_EQ(pauses, 2u);
}

TEST(StartingTemperatures, BoundariesAndBlends) {
  IntField imat(cellCount, 0);
  for (int i = 1; i <= 5; ++i) imat[cell(i, 1, 1)] = i;
  MatTable prod{};
  prod[1] = 1.0f;
  prod[2] = 0.5f;
  int bcp[bndcap + 1][4] = {};
  bcp[1][1] = 3;
  bcp[1][3] = 15;
  bcp[2][1] = 4;
  bcp[2][3] = 25;
  RealField hnew(cellCount, 0.0f);
  placet(5, 1, 1, imat, hnew, prod, 30.0f, bcp);
  EXPECT_EQ(hnew[cell(1, 1, 1)], 30.0f);
  EXPECT_EQ(hnew[cell(2, 1, 1)], 27.5f);  // blended with the last boundary
  EXPECT_EQ(hnew[cell(3, 1, 1)], 15.0f);
  EXPECT_EQ(hnew[cell(4, 1, 1)], 25.0f);
  EXPECT_EQ(hnew[cell(5, 1, 1)], 0.0f);

  // No boundary with a material: nothing starts at the placement temperature.
  int none[bndcap + 1][4] = {};
  RealField cold(cellCount, 0.0f);
  placet(5, 1, 1, imat, cold, prod, 30.0f, none);
  EXPECT_EQ(cold[cell(1, 1, 1)], 0.0f);
}

}  // namespace
}  // namespace ph::test
