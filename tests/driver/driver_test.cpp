// The run sequence seen from outside: terminal records, the missing-project
// pause, the flag file, series.pr and the cut of over-long names.
#include <gtest/gtest.h>

#include "support/e2e.h"

namespace ph::test {
namespace {

std::string rstrip(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

TEST(Driver, FirstTerminalRecordAndMissingProject) {
  TempDir dir;
  dir.write("done.flg", " Finished\n");  // left by an earlier run
  Outcome o = runProgram(dir, {"  nothere.prj", "run.log", "done.flg"});
  const auto out = splitLines(o.out);
  ASSERT_GE(out.size(), 3u);
  EXPECT_EQ(rstrip(out[0]), " nothere.prj");
  EXPECT_EQ(out[1], " ");  // the line feed item, with the blank of a new line
  EXPECT_EQ(out[2], "run.log ");
  // No terminal to answer the pause: the run ends with status 1.
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("PAUSE  PROBLEM: INFILE NOT IN PROJECT FILE statement executed"), std::string::npos);
  EXPECT_FALSE(dir.exists("done.flg"));
  EXPECT_TRUE(dir.exists("run.log"));
  EXPECT_FALSE(dir.exists("TMAX.OUT"));

  o = runOnTerminal(dir, {"nothere.prj", "run.log", "done.flg"}, "go");
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.out.find("Execution resumes after PAUSE."), std::string::npos);
  EXPECT_NE(o.out.find(" stopping due to stupid instructions"), std::string::npos);

  o = runOnTerminal(dir, {"nothere.prj", "run.log", "done.flg"}, "quit");
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.out.find("STOP"), std::string::npos);
  EXPECT_EQ(o.out.find("stupid instructions"), std::string::npos);
}

TEST(Driver, FinishedRunWritesFlagAndCutsNames) {
  TempDir dir;
  ProjectFile p;
  p.times = "1.0 0.0 2.0 1.0 0.001 10";
  dir.write("project.prj", p.text());
  const Outcome o = runProgram(dir, {"project.prj", "longlogname.txt", "finished.flag.txt"});
  EXPECT_EQ(o.status, 0) << o.out << o.err;
  const auto out = splitLines(o.out);
  EXPECT_EQ(out[2], "longlogn");
  EXPECT_TRUE(dir.exists("longlogn"));
  EXPECT_EQ(dir.read("finished.fla"), " Finished\n");
  EXPECT_TRUE(dir.exists("TMAX.OUT"));
  EXPECT_FALSE(dir.exists("Center.out"));  // no series.pr
  EXPECT_NE(o.out.find(" back from reader()"), std::string::npos);
}

TEST(Driver, NamesThatWouldDestroyTheInputAreRefused) {
  TempDir dir;
  const std::string project = ProjectFile().text();
  dir.write("p.prj", project);
  dir.write("series.pr", "0\n");
  const std::vector<std::vector<std::string>> clashes{
      {"p.prj", "p.prj", "done.flg"}, {"p.prj", "run.log", "./p.prj"},
      {"p.prj", "run.log", "series.pr"}, {"p.prj", "same", "same"}};
  for (const auto& args : clashes) {
    const Outcome o = runProgram(dir, args);
    EXPECT_EQ(o.status, 1) << args[1] << " " << args[2];
    EXPECT_NE(o.out.find("Problem: the "), std::string::npos) << o.out;
    EXPECT_EQ(dir.read("p.prj"), project);
    EXPECT_EQ(dir.read("series.pr"), "0\n");
  }
}

TEST(Driver, SeriesPointsAreLogged) {
  ProjectFile p;
  p.nx = p.ny = "30";
  p.times = "1.0 0.0 1.0 1.0 0.001 5";
  struct Case {
    std::string series;
    std::vector<std::string> log;
  };
  const Case cases[] = {
      {"2\n10 10 5 20 20 5\n", {" 2= series points", " 10 10 5 20 20 5"}},
      // Values after the count on its line are skipped.
      {"2 10 10 5\n20 20 5 30 30 5\n", {" 2= series points", " 20 20 5 30 30 5"}},
      {"0\n", {" 0= series points", ""}},
  };
  for (const auto& c : cases) {
    TempDir dir;
    dir.write("project.prj", p.text());
    dir.write("series.pr", c.series);
    const Outcome o = runProgram(dir, standardArgs());
    EXPECT_EQ(o.status, 0) << o.out << o.err;
    const auto log = dir.lines("run.log");
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], c.log[0]);
    EXPECT_EQ(log[1], c.log[1]);
    EXPECT_EQ(dir.exists("Center.out"), c.series[0] != '0');
  }
}

TEST(Driver, SeriesFileProblems) {
  ProjectFile p;
  TempDir dir;
  dir.write("project.prj", p.text());
  dir.write("series.pr", "129\n");
  Outcome o = runProgram(dir, standardArgs());
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.out.find("series.pr announces 129 series points; it may hold 0 to 128"), std::string::npos);
  EXPECT_FALSE(dir.exists("done.flg"));

  dir.write("series.pr", "2\n1 1 1\n");  // fewer values than announced
  o = runProgram(dir, standardArgs());
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("end of file"), std::string::npos);
  EXPECT_NE(o.err.find("series.pr"), std::string::npos);

  dir.write("series.pr", "1\n9 1 1\n");  // outside the 5 x 5 x 5 grid
  o = runProgram(dir, standardArgs());
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.out.find("series point 1 (9,1,1) in series.pr lies outside the grid of 5 x 5 x 5 cells"),
            std::string::npos);
}

}  // namespace
}  // namespace ph::test
