// No wrong answer under a success flag: the cases of tests/data/trust-cases.txt
// (warnings, refusals, messages), and a run interrupted by a signal, watched
// with a second real process.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <map>
#include <thread>

#include "support/e2e.h"

namespace ph::test {
namespace {

namespace fs = std::filesystem;
const fs::path kData = fs::path(POURHEAT_SOURCE_DIR) / "tests" / "data";

// "NAME => TEXT", with \t and \n in either side for a tab and a line end.
std::pair<std::string, std::string> split(const std::string& v) {
  const auto unescape = [](const std::string& s) { return replaceAll(replaceAll(s, "\\t", "\t"), "\\n", "\n"); };
  const std::size_t at = v.find(" =>");
  return {unescape(v.substr(0, at)), at == std::string::npos ? "" : unescape(v.substr(std::min(at + 4, v.size())))};
}

using Case = std::map<std::string, std::vector<std::string>>;

std::vector<Case> readCases() {
  std::vector<Case> cases(1);
  std::ifstream in(kData / "trust-cases.txt");
  for (std::string line; std::getline(in, line);) {
    if (line.empty() && !cases.back().empty()) cases.emplace_back();
    if (line.empty() || line[0] == '#') continue;
    const std::size_t colon = line.find(':');
    cases.back()[line.substr(0, colon)].push_back(line.substr(std::min(colon + 2, line.size())));
  }
  if (cases.back().empty()) cases.pop_back();
  return cases;
}

bool holdsLine(const std::string& text, const std::string& line) {
  for (const auto& l : splitLines(text))
    if (l == line || (line.ends_with("...") && l.starts_with(line.substr(0, line.size() - 3)))) return true;
  return false;
}

TEST(Trust, EveryCaseOfTheTable) {
  const std::vector<Case> cases = readCases();
  ASSERT_GE(cases.size(), 20u);
  for (Case c : cases) {
    const std::string what = c["case"].at(0);
    TempDir dir;
    std::string project = readFile(kData / "trust-base.prj");
    for (const auto& r : c["replace"]) {
      const auto [from, to] = split(r);
      const std::size_t at = project.find(from);
      ASSERT_NE(at, std::string::npos) << what;
      project.replace(at, from.size(), to);
    }
    dir.write("project.prj", project);
    for (const auto& f : c["file"]) {
      const auto [name, text] = split(f);
      fs::create_directories((dir.path() / name).parent_path());
      dir.write(name, text);
    }
    for (const auto& l : c["link"]) fs::create_symlink(split(l).second, dir.path() / split(l).first);
    for (const auto& l : c["hard"]) fs::create_hard_link(dir.path() / split(l).second, dir.path() / split(l).first);
    for (const auto& f : c["fifo"]) mkfifo((dir.path() / f).c_str(), 0644);
    for (const auto& g : c["grow"]) fs::resize_file(dir.path() / split(g).first, std::stoull(split(g).second));
    std::map<std::string, std::string> before;
    for (const auto& name : c["same"]) before[name] = dir.read(name);
    RunSetup setup;
    std::vector<std::string>& args = setup.args;
    if (c.count("args")) {
      args.clear();
      std::string rest = c["args"].at(0);
      for (std::size_t at = 0; !rest.empty(); rest = at == std::string::npos ? "" : rest.substr(at + 3))
        args.push_back(rest.substr(0, at = rest.find(" | ")));
    }
    const Outcome o = runIn(dir, setup);
    const std::string log = dir.read("run.log");
    auto expand = [&](const std::string& s) {
      return replaceAll(replaceAll(s, "@DIR@", dir.path().string()), "@VERSION@", POURHEAT_VERSION);
    };
    EXPECT_EQ(o.status, std::stoi(c["status"].at(0))) << what << "\n" << o.out << o.err;
    for (const auto& l : c["out"]) EXPECT_TRUE(holdsLine(o.out, expand(l))) << what << ": " << l << "\n" << o.out;
    for (const auto& l : c["log"]) EXPECT_TRUE(holdsLine(log, expand(l))) << what << ": " << l << "\n" << log;
    for (const auto& l : c["both"]) {
      EXPECT_TRUE(holdsLine(o.out, expand(l))) << what << ": " << l << "\n" << o.out;
      EXPECT_TRUE(holdsLine(log, expand(l))) << what << ": " << l << "\n" << log;
    }
    for (const auto& e : c["err"]) EXPECT_NE(o.err.find(e), std::string::npos) << what << ": " << o.err;
    for (const auto& [name, text] : before) EXPECT_EQ(dir.read(name), text) << what << ": " << name;
    for (const auto& name : c["gone"]) EXPECT_FALSE(dir.exists(name)) << what << ": " << name;
  }
}

// A run of a long project, once some of its steps are on disk, meets a
// second run (refused: the directory is locked) and then a signal. It keeps
// every step it finished, in every file alike, says where it stopped, and
// leaves no flag, side file or lock.
TEST(Trust, AnInterruptedRunKeepsItsStepsAndSaysSo) {
  const std::pair<int, std::string> signals[] = {{SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}, {SIGHUP, "SIGHUP"}, {SIGQUIT, "SIGQUIT"}};
  for (const auto& [sig, name] : signals) {
    TempDir dir;
    dir.write("project.prj", readFile(kData / "long-run.prj"));
    dir.write("done.flg", " Finished\n");
    const pid_t pid = start(dir, POURHEAT_BIN, {"project.prj", "run.log", "done.flg"});
    for (int i = 0; i < 20000 && splitLines(dir.read("TMAX.OUT")).size() < 3; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (sig == SIGTERM) {
      dir.write("other.flg", " Finished\n");
      const Outcome second = spawn(dir, POURHEAT_BIN, {"project.prj", "other.log", "other.flg"});
      EXPECT_EQ(second.status, 1);
      EXPECT_TRUE(holdsLine(second.out, " Problem: another run of pourheat is working in the directory " +
                                            dir.path().string() + "; one run at a time may work in a directory"))
          << second.out;
      EXPECT_EQ(dir.read("other.flg"), " Finished\n");
      EXPECT_FALSE(dir.exists("other.log"));
    }
    kill(pid, sig);
    const Outcome o = finish(dir, pid);
    EXPECT_EQ(o.status, 128 + sig) << name;
    const std::vector<std::string> log = splitLines(dir.read("run.log"));
    std::vector<std::string> times;  // of the steps in the log, as it writes them
    for (const std::string& l : log)
      if (l.starts_with(" TIME  ")) times.push_back(l.substr(7, l.find(' ', 7) - 7));
    ASSERT_GE(times.size(), 3u) << name;
    const std::string said = " run interrupted at t= " + times.back() + " h by signal " + name + "; results up to there";
    EXPECT_EQ(log.back(), said);
    EXPECT_EQ(splitLines(o.out).back(), said);
    EXPECT_EQ(splitLines(dir.read("TMAX.OUT")).size(), times.size()) << name;
    EXPECT_EQ(splitLines(dir.read("concrete.csv")).size(), times.size() + 1) << name;
    for (const char* gone : {"done.flg", "field.out", "field.out.partial", ".pourheat.lock"})
      EXPECT_FALSE(dir.exists(gone)) << name << ": " << gone;
  }
}

}  // namespace
}  // namespace ph::test
