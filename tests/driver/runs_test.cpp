// Whole runs on edited inputs, one a row of the tables in tests/driver/runs:
//   status | a text of the terminal, error stream or log (log:T: of the log) | edit && edit ...
// Edits (their texts with the escapes of unescape()):
//   from:P          the project P of the folder instead of base.prj
//   cut:T, keep:T   the project up to its first T, without or with it
//   set:F=>T        the first F of the project replaced by T
//   append:T        T added at the end of the project
//   project:T       the whole project file; as:N its name (project.prj)
//   file:N=>T       a file N beside it; dir:N a folder; full:N a file whose writes fail (a full disk)
//   copy:N=>F       file F of the folder beside it as N; link:N=>T a symbolic link N to T
//   args:A B C      the arguments; answer:T the answer to every pause; earlier
//   crlf            the project's lines end in CR LF
// Every run also keeps to what any run keeps to: its inputs untouched, the
// flag exactly after a finished run, no half-written file left, and an
// output file that is whole or the earlier one.
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "support/e2e.h"

namespace ph::test {
namespace {

namespace fs = std::filesystem;
const fs::path kRuns = fs::path(POURHEAT_SOURCE_DIR) / "tests/driver/runs";

std::vector<std::string> split(const std::string& s, const std::string& sep) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  for (std::size_t next; (next = s.find(sep, at)) != std::string::npos; at = next + sep.size())
    parts.push_back(s.substr(at, next - at));
  parts.push_back(s.substr(at));
  return parts;
}

void runRow(const std::string& row) {
  const std::vector<std::string> field = split(row, " | ");
  ASSERT_EQ(field.size(), 3u);
  const std::string want = unescape(field[1]);
  std::string base = readFile(kRuns / "base.prj"), project = base;
  std::map<std::string, std::string> files;
  std::string projectName = "project.prj";
  bool crlf = false;
  RunSetup setup;
  TempDir dir;
  for (const std::string& edit : split(field[2], " && ")) {
    const std::size_t colon = edit.find(':');
    const std::string op = edit.substr(0, colon), arg = colon == std::string::npos ? "" : edit.substr(colon + 1);
    const std::vector<std::string> pair = split(arg, "=>");
    const std::size_t at = project.find(unescape(pair[0]));
    if (op == "cut" || op == "keep" || op == "set") {
      ASSERT_NE(at, std::string::npos) << edit;
    }
    if (op == "from") project = base = readFile(kRuns / arg);
    else if (op == "cut") project = base.substr(0, at);
    else if (op == "keep") project = base.substr(0, at + unescape(arg).size());
    else if (op == "set") project.replace(at, unescape(pair[0]).size(), unescape(pair.at(1)));
    else if (op == "append") project += unescape(arg);
    else if (op == "project") project = unescape(arg);
    else if (op == "as") projectName = arg;
    else if (op == "file") files[pair[0]] = unescape(pair.at(1));
    else if (op == "dir") fs::create_directory(dir.path() / arg);
    else if (op == "copy") files[pair[0]] = readFile(kRuns / pair.at(1));
    else if (op == "link") fs::create_symlink(pair.at(1), dir.path() / pair[0]);
    else if (op == "full") setup.full.push_back(arg);
    else if (op == "args") setup.args = split(arg, " ");
    else if (op == "answer") setup.answer = unescape(arg);
    else if (op == "crlf") crlf = true;
    else {
      ASSERT_EQ(op, "earlier") << edit;
    }
    setup.earlier = setup.earlier || op == "earlier";
  }
  files[projectName] = crlf ? replaceAll(project, "\n", "\r\n") : project;
  for (const auto& [name, text] : files) dir.write(name, text);
  const Outcome o = runIn(dir, setup);
  const int status = std::stoi(field[0]);
  EXPECT_EQ(o.status, status) << o.out << o.err;
  // A folder reads as nothing.
  auto read = [&](const std::string& n) { return fs::is_regular_file(dir.path() / n) ? dir.read(n) : ""; };
  const std::string log = read("run.log");
  // A text marked log: must stand in the log.
  const bool logOnly = want.starts_with("log:");
  const std::string text = want.substr(logOnly ? 4 : 0);
  auto holds = [&](const std::string& stream) { return stream.find(text) != std::string::npos; };
  EXPECT_TRUE(holds(log) || (!logOnly && (holds(o.out) || holds(o.err))))
      << "wanted: " << want << "\nterminal:\n" << o.out << "errors:\n" << o.err << "log:\n" << log;
  EXPECT_EQ(read("done.flg"), status == 0 ? " Finished\n" : "");
  for (const auto& [name, text] : files)
    EXPECT_TRUE(name == "field.out" || name == "done.flg" || read(name) == text) << name << " changed";
  const std::string out = read("field.out");
  EXPECT_TRUE(!files.count("field.out") || out == files["field.out"] || out.ends_with("\n\n")) << out;
  for (const auto& e : fs::directory_iterator(dir.path()))
    EXPECT_FALSE(e.path().extension() == ".partial" && e.is_regular_file()) << e.path();
}

TEST(Runs, EveryRowOfTheTables) {
  int rows = 0;
  for (const auto& table : fs::directory_iterator(kRuns)) {
    if (table.path().extension() != ".txt") continue;
    std::ifstream in(table.path());
    int n = 0;
    for (std::string line; std::getline(in, line);) {
      ++n;
      if (line.empty() || line[0] == '#') continue;
      SCOPED_TRACE(table.path().filename().string() + ":" + std::to_string(n) + ": " + line);
      runRow(line);
      ++rows;
    }
  }
  EXPECT_GE(rows, 100);
}

}  // namespace
}  // namespace ph::test
