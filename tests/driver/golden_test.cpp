// Golden projects: each folder of tests/golden holds the input files of a run
// and, in expected/, every file the run must leave behind, byte for byte, with
// its terminal (stdout), error stream (stderr) and exit status (status). The
// run's arguments are in `args`, one a line (default: project.prj run.log
// done.flg), and a file `binary` may name pourheat-earlier instead of
// pourheat. The run is the built program in a child process with no terminal,
// so a pause finds no console. NOTES.md says how the figures were checked by
// hand. The log's date line is masked. POURHEAT_GOLDEN_UPDATE=1 rewrites
// expected/ from the program's output, for a deliberate change that is then
// read as a diff.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

#include "support/e2e.h"

namespace ph::test {
namespace {

namespace fs = std::filesystem;

const fs::path kGolden = fs::path(POURHEAT_SOURCE_DIR) / "tests" / "golden";

// The log's date line: a blank, then "Www Mmm dd hh:mm:ss yyyy".
std::string maskDate(const std::string& text) {
  std::string out;
  for (const std::string& line : splitLines(text)) {
    const bool date = line.size() == 25 && line[0] == ' ' && line[4] == ' ' && line[8] == ' ' &&
                      line[14] == ':' && line[17] == ':' && line[20] == ' ' && std::isupper(static_cast<unsigned char>(line[1])) &&
                      std::isdigit(static_cast<unsigned char>(line[21]));
    out += (date ? std::string(" <date>") : line) + "\n";
  }
  if (!text.ends_with('\n') && !out.empty()) out.pop_back();
  return out;
}

std::vector<std::string> cases() {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(kGolden))
    if (e.is_directory()) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class Golden : public testing::TestWithParam<std::string> {};

TEST_P(Golden, EveryFileAsExpected) {
  const fs::path src = kGolden / GetParam();
  TempDir dir;
  std::vector<std::string> args = RunSetup().args;
  std::string binary = POURHEAT_BIN;
  std::set<std::string> inputs;
  for (const auto& e : fs::directory_iterator(src)) {
    const std::string name = e.path().filename().string();
    if (name == "expected" || name == "NOTES.md") continue;
    if (name == "args") args = splitLines(readFile(e.path()));
    if (name == "binary") binary = readFile(e.path()).starts_with("pourheat-earlier") ? POURHEAT_EARLIER_BIN : POURHEAT_BIN;
    if (name == "args" || name == "binary") continue;
    fs::copy(e.path(), dir.path() / name);
    inputs.insert(name);
  }
  const Outcome run = spawn(dir, binary, args);
  std::map<std::string, std::string> produced{
      {"stdout", run.out}, {"stderr", run.err}, {"status", std::to_string(run.status) + "\n"}};
  for (const auto& e : fs::directory_iterator(dir.path())) {
    const std::string name = e.path().filename().string();
    if (!inputs.count(name)) produced[name] = readFile(e.path());
  }
  for (auto& [name, text] : produced) text = maskDate(text);

  const fs::path expected = src / "expected";
  if (std::getenv("POURHEAT_GOLDEN_UPDATE")) {
    fs::remove_all(expected);
    fs::create_directories(expected);
    for (const auto& [name, text] : produced) std::ofstream(expected / name, std::ios::binary) << text;
    return;
  }
  std::set<std::string> wanted;
  for (const auto& e : fs::directory_iterator(expected)) wanted.insert(e.path().filename().string());
  for (const auto& [name, text] : produced) {
    EXPECT_TRUE(wanted.count(name)) << GetParam() << ": the run left an unexpected file " << name;
    if (wanted.count(name)) {
      EXPECT_EQ(text, readFile(expected / name)) << GetParam() << ": " << name;
    }
  }
  for (const auto& name : wanted)
    EXPECT_TRUE(produced.count(name)) << GetParam() << ": the run did not leave " << name;
}

INSTANTIATE_TEST_SUITE_P(Projects, Golden, testing::ValuesIn(cases()),
                         [](const auto& info) {
                           std::string id = info.param;
                           for (char& c : id)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return id;
                         });

}  // namespace
}  // namespace ph::test
