// Helpers of the end-to-end tests: a temporary working directory, running
// the built program in it (with or without a terminal), and a project file
// builder whose values are texts, so tests can put anything in them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ph::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  void write(const std::string& name, const std::string& content) const;
  std::string read(const std::string& name) const;
  std::vector<std::string> lines(const std::string& name) const;
  bool exists(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

struct Outcome {
  int status = -1;  // exit status, or 128 + signal
  std::string out;  // standard output (the terminal records)
  std::string err;  // error stream (pauses, file-layer reports)
};

// Runs the program in `dir` with standard input from /dev/null and no
// controlling terminal, so a pause cannot be answered.
Outcome runProgram(const TempDir& dir, const std::vector<std::string>& args,
                   const std::string& binary = POURHEAT_BIN);

// Runs the program on a pseudo-terminal and types `answer` at every pause;
// everything the program writes is in `out`.
Outcome runOnTerminal(const TempDir& dir, const std::vector<std::string>& args,
                      const std::string& answer, const std::string& binary = POURHEAT_BIN);

// The usual three arguments: project.prj, run.log, done.flg.
std::vector<std::string> standardArgs();

std::vector<std::string> splitLines(const std::string& text);
// Lines of `text` that begin with `prefix` (after leading blanks).
std::vector<std::string> linesStarting(const std::string& text, const std::string& prefix);

struct ProjectFile {
  std::string times = "1.0 0.0 24.0 6.0 0.0001 30";
  std::string nx = "5", ny = "5", nz = "5";
  std::string dx = "1.0", dy = "1.0", dz = "1.0";
  std::string format = "rectangular";
  std::string seriesFlag = "False", modelFlag = "False";
  std::string rho = "0", placement = "20", cementitious = "0";
  std::string P1 = "6", P2 = "24", P3 = "1";
  std::string ratePoints = "0";
  std::vector<std::string> rateRows;  // lines after points=
  std::string bound = "DDDDDD";
  struct Boundary {
    std::string dirichlet = "True", number = "2", density = "1", initTemp = "10";
    std::string points;                 // empty: the number of series lines
    std::vector<std::string> series{"0 10"};
  };
  std::vector<Boundary> boundaries;
  std::string boundaryCount;  // empty: the number of boundaries
  std::string initial = "10";
  std::string output = "field.out";
  std::string sectionCount;         // empty: the number of sections
  std::vector<std::string> laysec;  // empty: every layer section 1
  std::vector<std::string> sections;  // map texts; empty: one section of material 1
  struct Material {
    std::string conductivity = "1", heat = "1", density = "1", production = "0";
  };
  std::vector<Material> materials{Material{}};
  std::string materialCount;  // empty: the number of materials

  std::string text() const;
};

}  // namespace ph::test
