#include "fuzz/harness.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "driver/driver.h"
#include "input/keyword.h"
#include "input/reader.h"

namespace ph::fuzz {

namespace fs = std::filesystem;

namespace {

constexpr long long kMaxSteps = 3, kSweepBudget = 6'000'000;

std::FILE* nullStream() {
  static std::FILE* f = std::fopen("/dev/null", "w");
  return f;
}

std::string readAll(const char* name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A private directory, empty at the start of every run and removed at exit.
fs::path workDir() {
  static char name[4096];  // outlives every static, for the removal at exit
  static const fs::path dir = [] {
    std::snprintf(name, sizeof name, "%s", (fs::temp_directory_path() / "pourheat-fuzz-XXXXXX").c_str());
    if (!mkdtemp(name)) std::abort();
    std::atexit([] {
      std::error_code ec;
      fs::remove_all(name, ec);
    });
    return fs::path(name);
  }();
  for (const auto& entry : fs::directory_iterator(dir)) fs::remove_all(entry.path());
  return dir;
}

// What every run keeps to, whatever its input: a known exit status, the flag
// exactly when it finished, no half-written file left behind; a finished run
// has a history of 43-column step lines and a log that ends after forward.
std::string check(int status) {
  if (status < 0 || status > 2) return "exit status " + std::to_string(status);
  const bool flag = fs::exists("done.flg");
  if (flag != (status == 0)) return "status " + std::to_string(status) + (flag ? " with" : " without") + " a flag file";
  if (status == 0 && readAll("done.flg") != " Finished\n") return "flag file does not say Finished";
  for (const auto& entry : fs::directory_iterator("."))
    if (entry.path().extension() == ".partial") return "a half-written file is left: " + entry.path().string();
  if (status != 0) return {};
  const std::string tmax = readAll("TMAX.OUT");
  for (std::size_t at = 0, end; at < tmax.size(); at = end + 1)
    if ((end = tmax.find('\n', at)) == std::string::npos || end - at != 43) return "TMAX.OUT holds a line that is not a step";
  // The log ends where forward leaves, then its warnings and the summary.
  std::string log = readAll("run.log");
  const std::size_t summary = log.rfind("\n Summary");
  if (summary == std::string::npos) return "the log of a finished run has no summary";
  log.resize(summary);
  while (log.compare(log.rfind('\n') + 1, 9, " Warning:") == 0) log.resize(log.rfind('\n'));
  if (log.compare(log.rfind('\n') + 1, 24, "leaving forward, closed ") != 0)
    return "the log of a finished run does not end after forward";
  return {};
}

// Reads project.prj as the run would and tells whether the run is worth it.
bool worthRunning() {
  auto s = std::make_unique<ModelState>();
  s->infile = fixedText("project.prj", 80);
  Run r(nullStream(), nullStream(), [] { return std::optional<std::string>("go"); });
  r.files.openScratch(kLog);
  try {
    reader(r, *s);
  } catch (...) {
    return true;  // the run ends as soon
  }
  const double cells = double(s->nx) * s->ny * s->nz;
  return rtrimmed(s->outfile).find('/') == std::string::npos &&
         cells * (std::max(s->maxits, 1) * double(kMaxSteps) + 20) <= kSweepBudget;
}

Result run(std::string_view input, const std::string& project, const char* series) {
  const fs::path home = fs::current_path();
  fs::current_path(workDir());
  std::ofstream("project.prj", std::ios::binary) << project;
  if (series) std::ofstream("series.pr", std::ios::binary) << input;
  Result result;
  result.skipped = !series && !worthRunning();
  if (!result.skipped) {
    const bool resume = input.size() % 2 == 0;
    Run r(nullStream(), nullStream(), [resume] { return resume ? std::optional<std::string>("go") : std::nullopt; });
    RunOptions options;
    options.startupSleepMs = 0;
    options.maxSteps = kMaxSteps;
    result.status = runProgram(r, {"project.prj", "run.log", "done.flg"}, options);
    result.problem = check(result.status);
  }
  fs::current_path(home);
  return result;
}

}  // namespace

Result runProject(std::string_view bytes) { return run(bytes, std::string(bytes), nullptr); }

Result runSeries(std::string_view bytes) {
  static const std::string project = readAll(POURHEAT_FUZZ_DIR "/series-project.prj");
  return run(bytes, project, "series.pr");
}

void startTarget(int* argc, char*** argv) {
  static std::vector<std::string> args(*argv, *argv + *argc);
  static std::vector<char*> pointers;
  bool named = false;
  for (std::string& a : args)
    for (const std::string option : {"-artifact_prefix=", "-exact_artifact_path="})
      if (a.starts_with(option)) a = option + fs::absolute(a.substr(option.size())).string(), named = true;
  if (!named) args.push_back("-artifact_prefix=" + fs::current_path().string() + "/");
  for (std::string& a : args) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  *argc = int(args.size());
  *argv = pointers.data();
}

int finishInput(const Result& r) {
  if (r.problem.empty()) return 0;
  std::fprintf(stderr, "pourheat fuzz: %s\n", r.problem.c_str());
  std::abort();
}

}  // namespace ph::fuzz
