// Writing to the letter: every number edit of a table of ties and near ties,
// and where a free-form record ends its lines.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "record/freeform.h"
#include "record/numfmt.h"

namespace ph {
namespace {

TEST(ExactWriting, EveryEditOfTheTable) {
  std::ifstream table(POURHEAT_SOURCE_DIR "/tests/record/exact_edits.txt");
  ASSERT_TRUE(table) << "exact_edits.txt";
  int cases = 0;
  for (std::string line; std::getline(table, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream in(line);
    std::string edit, value;
    in >> edit >> value;
    const float v = std::strtof(value.c_str(), nullptr);
    const std::string want = line.substr(line.find('|') + 1, line.rfind('|') - line.find('|') - 1);
    std::string got;
    if (edit == "free") {
      got = freeReal(v);
    } else {
      const int w = std::atoi(edit.c_str() + 1), d = std::atoi(std::strchr(edit.c_str(), '.') + 1);
      (edit[0] == 'F' ? appendF : edit[0] == 'E' ? appendE : appendG)(got, v, w, d);
    }
    EXPECT_EQ(got, want) << line;
    ++cases;
  }
  EXPECT_GT(cases, 20);
}

using Lines = std::vector<std::string>;

TEST(ExactWriting, LineBreaks) {
  const std::string x73(73, 'x'), x74(74, 'x'), x75(75, 'x');
  // A real claims its whole text: " " + 74 + "  1.5" would make 80.
  EXPECT_EQ(formatFree({x74, 1.5f}), (Lines{" " + x74, "  1.5"}));
  EXPECT_EQ(formatFree({x73, 1.5f}), (Lines{" " + x73 + "  1.5"}));
  EXPECT_EQ(formatFree({x74, -1.5f}), (Lines{" " + x74, " -1.5"}));
  // An integer claims its sign and digits: a line may reach 80.
  EXPECT_EQ(formatFree({x74, 1234}), (Lines{" " + x74 + " 1234"}));
  EXPECT_EQ(formatFree({x75, 1234}), (Lines{" " + x75, " 1234"}));
  EXPECT_EQ(formatFree({x74, -123}), (Lines{" " + x74 + " -123"}));
  // A line feed is a one-character item of the record's line: after the
  // 81 characters of a project name it starts a line, with its blank, and
  // the log name follows it on that record line.
  const std::string infile = std::string("a.prj").append(75, ' ');
  EXPECT_EQ(formatFree({infile, "\n", "run.log "}), (Lines{" " + infile, " ", "run.log "}));
  // Characters after a line feed still count towards the record's line.
  EXPECT_EQ(formatFree({"ab\n" + x73, 1.5f}), (Lines{" ab", x73, "  1.5"}));
}

}  // namespace
}  // namespace ph
