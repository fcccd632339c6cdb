// Whole runs of the program in this process, each in a temporary working
// directory with its terminal and error stream captured, and a bare run
// object for the tests of single routines.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "support/readers.h"

namespace ph::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  void write(const std::string& name, std::string_view content) const;
  std::string read(const std::string& name) const { return readFile(path_ / name); }
  bool exists(const std::string& name) const { return std::filesystem::exists(path_ / name); }

 private:
  std::filesystem::path path_;
};

// A run whose terminal and error stream go to temporary files and whose
// pauses get `answer` (none: there is no console).
struct TestRun {
  explicit TestRun(std::optional<std::string> answer = std::nullopt);
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> term, errs;
  Run run;
  long seen = 0;
  // What the terminal got since the last call.
  std::string terminal();
  std::string errors();
};

struct Outcome {
  int status = -1;
  std::string out, err;  // terminal and error stream
};

struct RunSetup {
  std::vector<std::string> args{"project.prj", "run.log", "done.flg"};
  std::optional<std::string> answer;  // to every pause; none: no console
  bool earlier = false;               // the earlier build's plan mask
  ForwardStats* counters = nullptr;
  std::vector<std::string> full;      // files whose writes fail as on a full disk
};

// The whole program on `setup.args` in `dir`, without the start-up sleep.
Outcome runIn(const TempDir& dir, const RunSetup& setup = {});

// The program `binary` in a child process in `dir`, with standard input from
// /dev/null, no controlling terminal and no core file; args[0] is its first
// argument. start() leaves it running, finish() waits for it (a status above
// 128 is 128 + the signal that ended it).
pid_t start(const TempDir& dir, const std::string& binary, std::vector<std::string> args);
Outcome finish(const TempDir& dir, pid_t pid);
inline Outcome spawn(const TempDir& dir, const std::string& binary, std::vector<std::string> args) {
  return finish(dir, start(dir, binary, std::move(args)));
}

}  // namespace ph::test
