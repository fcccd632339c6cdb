// A result file that cannot be written ends the run with status 2 and no
// flag, and the output file never appears half-written under its name.
// Writes fail for real by sending a file to /dev/full through a symbolic
// link (the tests run as root, so permissions cannot make them fail).
#include <gtest/gtest.h>

#include <filesystem>

#include "support/e2e.h"

namespace ph::test {
namespace {

namespace fs = std::filesystem;

void folder(const TempDir& d, const std::string& name) { fs::create_directory(d.path() / name); }
void full(const TempDir& d, const std::string& name) { fs::create_symlink("/dev/full", d.path() / name); }

TEST(ResultFiles, AFailedWriteEndsTheRunWithoutFlag) {
  struct Row {
    std::string what;
    void (*make)(const TempDir&, const std::string&);
    std::string name;     // made a folder, or a link to /dev/full
    std::string message;  // on the error stream
  };
  const Row rows[] = {
      {"TMAX.OUT is a folder", folder, "TMAX.OUT",
       "pourheat: cannot write a file over a folder, file number 51, file 'TMAX.OUT'"},
      {"Center.out is a folder", folder, "Center.out",
       "pourheat: cannot write a file over a folder, file number 52, file 'Center.out'"},
      {"the log is a folder", folder, "run.log",
       "pourheat: cannot write a file over a folder, file number 50, file 'run.log'"},
      {"TMAX.OUT on a full disk", full, "TMAX.OUT", "pourheat: write error, file number 51, file 'TMAX.OUT'"},
      {"Center.out on a full disk", full, "Center.out",
       "pourheat: write error, file number 52, file 'Center.out'"},
      {"the log on a full disk", full, "run.log", "pourheat: write error, file number 50, file 'run.log'"},
      {"the output file on a full disk", full, "field.out.partial",
       "pourheat: write error, file number 30, file 'field.out'"},
      {"the flag on a full disk", full, "done.flg.partial",
       "pourheat: write error, file number 55, file 'done.flg'"},
  };
  ProjectFile p;
  p.times = "1.0 0.0 3.0 1.0 0.001 10";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TempDir dir;
    dir.write("project.prj", p.text());
    dir.write("series.pr", "2\n2 2 2 3 3 3\n");
    dir.write("field.out", "from an earlier run\n");
    row.make(dir, row.name);
    const Outcome o = runProgram(dir, standardArgs());
    EXPECT_EQ(o.status, 2) << o.out << o.err;
    EXPECT_NE(o.err.find(row.message), std::string::npos) << o.err;
    EXPECT_FALSE(dir.exists("done.flg"));
    // The output file is whole or absent: a failed write leaves the earlier
    // one as it was, and no side file.
    const std::string field = dir.read("field.out");
    EXPECT_TRUE(field == "from an earlier run\n" || field.ends_with("\n\n")) << field;
    EXPECT_FALSE(fs::is_regular_file(dir.path() / "field.out.partial"));
    EXPECT_FALSE(fs::is_regular_file(dir.path() / "done.flg.partial"));
  }
}

}  // namespace
}  // namespace ph::test
