// Keyword primitives: forward-only substring search on 128-column lines.
#include <gtest/gtest.h>

#include "input/deck_fixture.h"
#include "input/keyword.h"

namespace ph::test {
namespace {

TEST(Keyword, ValuesBehindKeys) {
  DeckRun d(
      "nx = 40\n"
      "nx=41\n"
      "seriesFlag=True\n"
      "   the flag=False\n"
      "dx=0.05 cell size\n"
      "number=3,4\n"
      "output=  final field.txt  \n"
      "dx=0.05 cell size\n");
  // A blank before the equals sign: that line does not hold the key.
  EXPECT_EQ(getint(d.run, kProject, "nx="), 41);
  EXPECT_EQ(getstrg(d.run, kProject, "seriesFlag=", 5), "True ");
  // "lag=" has been passed on the seriesFlag line: the next line holding it.
  EXPECT_EQ(getstrg(d.run, kProject, "lag=", 5), "False");
  EXPECT_EQ(getval(d.run, kProject, "dx="), 0.05f);
  EXPECT_EQ(getint(d.run, kProject, "number="), 3);
  EXPECT_EQ(getstrg(d.run, kProject, "output=", 80), fixedText("final field.txt", 80));
  EXPECT_EQ(getstrg(d.run, kProject, "dx=", 20), fixedText("0.05 cell size", 20));
  // Nothing is searched above the current line.
  EXPECT_THROW(getint(d.run, kProject, "nx="), RunEnd);
  EXPECT_NE(d.terminal().find(" 10 problem finding nx="), std::string::npos);
}

TEST(Keyword, LineIsCutAt128Columns) {
  DeckRun d(std::string(124, ' ') + "number=7" + std::string(19, ' ') + "\n" +  // columns 125-131
            std::string(125, ' ') + "dx=1.5\n" +                                  // key ends in 128
            std::string(121, ' ') + "dx=2.5\n" + "number=8\n");
  try {
    getval(d.run, kProject, "dx=");
    FAIL() << "a key that ends in column 128 has no value";
  } catch (const FileFailure& e) {
    EXPECT_NE(std::string(e.what()).find("no value behind the key 'dx=' at line 2"), std::string::npos);
  }
  EXPECT_EQ(getval(d.run, kProject, "dx="), 2.5f);
  DeckRun again(std::string(124, ' ') + "number=7\nnumber=8\n");
  EXPECT_EQ(getint(again.run, kProject, "number="), 8);
}

TEST(Keyword, TrimAndLeadingBlankPause) {
  DeckRun d("x\n", "go");
  EXPECT_EQ(trim(d.run, "  run.log", 8), "run.log ");
  EXPECT_EQ(trim(d.run, "abcdefghijk", 8), "abcdefgh");
  EXPECT_EQ(trim(d.run, "   ", 8), "        ");  // paused, resumed, blank
  EXPECT_NE(d.errors().find("PAUSE  getstrg: leading b statement executed"), std::string::npos);
  std::string s = "abc";
  makblank(s);
  EXPECT_EQ(s, "   ");

  // A value starting beyond column 120 pauses once per column scanned there.
  DeckRun far(std::string(115, ' ') + "key=   v\n", "go");
  EXPECT_EQ(getstrg(far.run, kProject, "key=", 4), "v   ");
  const std::string errs = far.errors();
  std::size_t pauses = 0;
  for (std::size_t p = 0; (p = errs.find("leading b", p)) != std::string::npos; ++p) ++pauses;
  EXPECT_EQ(pauses, 3u);  // columns 121, 122 and 123
}

}  // namespace
}  // namespace ph::test
