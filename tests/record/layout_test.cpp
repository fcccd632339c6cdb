#include "record/layout.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "support/readers.h"

namespace ph {
namespace {

using Lines = std::vector<std::string>;
using test::repeat;

Lines writeReals(std::string_view layout, int n, float v) {
  Lines lines;
  Layout(layout).write(std::vector<FmtValue>(std::size_t(n), FmtValue(v)), lines);
  return lines;
}

TEST(Layout, SeriesLinesStopAndRevert) {
  const Layout series("(1X,100(1X,F6.1))");
  EXPECT_EQ(series.format({1.5f, 68.0f, 86.0f, 77.0f, 35.6f, 82.4f}),
            Lines{"     1.5   68.0   86.0   77.0   35.6   82.4"});
  EXPECT_EQ(writeReals("(1X,100(1X,F6.1))", 100, 1.0f), Lines{" " + repeat("    1.0", 100)});
  EXPECT_EQ(writeReals("(1X,100(1X,F6.1))", 150, 1.0f),
            (Lines{" " + repeat("    1.0", 100), repeat("    1.0", 50)}));
  EXPECT_EQ(writeReals("(1x,100(g11.4))", 2, 0.0f), Lines{" " + repeat("  0.000    ", 2)});

  EXPECT_EQ(Layout("(80(I2,1X))").format({1, 1, 2}), Lines{" 1  1  2 "});
  EXPECT_EQ(Layout("(80(I2,1X))").format({100}), Lines{"** "});
  // Without a group the whole layout is used again; with one, the last group.
  EXPECT_EQ(Layout("(a)").format({"BOUND IS ", "D", "L", "N", "N", "D", "D"}),
            (Lines{"BOUND IS ", "D", "L", "N", "N", "D", "D"}));
  EXPECT_EQ(Layout("('a',2(I1),'b')").format({1, 2, 3, 4, 5}), (Lines{"a12b", "34b", "5"}));
  // A group without values is repeated in full.
  EXPECT_EQ(Layout("(2(I1,2('-'),'|'))").format({1}), Lines{"1--|"});
}

TEST(Layout, TextsAndLiterals) {
  const std::string name = "run.out" + std::string(73, ' ');
  EXPECT_EQ(Layout("(a10,a20)").format({"Infile=", name}),
            Lines{"   Infile=run.out" + std::string(13, ' ')});
  EXPECT_EQ(Layout("(200(a1))").format({"T", "F", "T"}), Lines{"TFT"});
  EXPECT_EQ(Layout("(A2,A)").format({"abc", "x y "}), Lines{"abx y "});
  EXPECT_EQ(Layout("(i3,2x,'''q''')").format({42}), Lines{" 42  'q'"});
  EXPECT_EQ(Layout("(15X,'TIME =',F7.3,5X,'  DT=',F9.4,'  ERROR= ',E7.2,/)")
                .format({48.0f, 1.5f, 0.00123f}),
            (Lines{"               TIME = 48.000       DT=   1.5000  ERROR= .12E-02", ""}));
  EXPECT_EQ(Layout("(I1/'x'//2I2)").format({1, 2, 3}), (Lines{"1", "x", "", " 2 3"}));
  // A value of the wrong kind is a slip, shown as asterisks.
  EXPECT_EQ(Layout("(I3,F4.1)").format({1.5f, 7}), Lines{"*******"});
}

TEST(Layout, MalformedLayoutsThrow) {
  for (const char* bad : {"I2", "(F6)", "(E9.)", "(I2,,I3)", "(I2,)", "(,I2)", "(I2 I3)",
                          "(1X", "(Q5)", "(0(I2))", "('open)", "(3'x')", "(A0)", "(I2))"})
    EXPECT_THROW(Layout{bad}, std::invalid_argument) << bad;
  EXPECT_THROW(Layout("('x')").format({1}), std::invalid_argument);
  try {
    Layout("(I2,F6)");
    ADD_FAILURE() << "no exception";
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find("column 5"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace ph
