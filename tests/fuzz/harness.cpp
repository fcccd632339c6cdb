#include "fuzz/harness.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "driver/driver.h"
#include "input/keyword.h"
#include "record/freeform.h"

namespace ph::fuzz {

namespace fs = std::filesystem;

namespace {

fs::path workDir;

void leaveWorkDir() {
  if (workDir.empty()) return;
  std::error_code ec;
  fs::current_path("/", ec);
  fs::remove_all(workDir, ec);
}

std::FILE* nullStream() {
  static std::FILE* f = std::fopen("/dev/null", "w");
  return f;
}

void writeFile(const char* name, std::string_view bytes) {
  std::ofstream(name, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Leaves the working directory empty: every run starts from nothing.
void clearWorkDir() {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(".", ec)) fs::remove_all(entry.path(), ec);
}

std::string readAll(const char* name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The promises of a run that ended, whatever its input: a known exit status,
// the flag exactly when the run finished, no half-written file left behind.
std::string check(int status) {
  if (status < 0 || status > 2) return "exit status " + std::to_string(status);
  const bool flag = fs::exists("done.flg");
  if (status == 0 && !flag) return "finished run without a flag file";
  if (status == 0 && readAll("done.flg") != " Finished\n") return "flag file does not say Finished";
  if (status != 0 && flag) return "stopped run (status " + std::to_string(status) + ") left a flag file";
  if (status == 0) {
    // A finished run's history and log are its own: one 43-column line per
    // step, and the log ends where forward leaves, then the summary.
    if (!fs::is_regular_file("TMAX.OUT")) return "finished run without TMAX.OUT";
    const std::string tmax = readAll("TMAX.OUT");
    for (std::size_t at = 0; at < tmax.size();) {
      const std::size_t end = tmax.find('\n', at);
      if (end == std::string::npos || end - at != 43) return "TMAX.OUT holds a line that is not a step";
      at = end + 1;
    }
    std::string log = readAll("run.log");
    const std::size_t summary = log.rfind("\n Summary");
    if (summary == std::string::npos) return "the log of a finished run has no summary";
    log.resize(summary);
    if (log.compare(log.rfind('\n') + 1, 24, "leaving forward, closed ") != 0)
      return "the log of a finished run does not end after forward";
  }
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(".", ec))
    if (entry.path().extension() == ".partial")
      return "a half-written file is left: " + entry.path().filename().string();
  return {};
}

// Half the inputs (those of even length) meet an operator who resumes every
// pause, so the paths behind the pauses are fuzzed too; the others meet no
// console, and a pause ends the run. Neither ever waits.
Result run(std::string_view input) {
  const bool resume = input.size() % 2 == 0;
  Run r(nullStream(), nullStream(), [resume] {
    return resume ? std::optional<std::string>("go") : std::optional<std::string>();
  });
  RunOptions options;
  options.startupSleepMs = 0;
  options.maxSteps = kMaxSteps;
  Result result;
  result.status = runProgram(r, {"project.prj", "run.log", "done.flg"}, options);
  result.problem = check(result.status);
  return result;
}

bool tooSlow(std::string_view project) {
  const Size size = estimateSize(project);
  const long long sweeps = size.maxits < 1 ? 1 : size.maxits;
  // Reading, logging and writing the final field touch every cell a few
  // times more.
  const long long perCell = sweeps > kSweepBudget ? kSweepBudget : sweeps * kMaxSteps + 20;
  return size.cells > 0 && size.cells * perCell > kSweepBudget;
}

std::vector<std::string> splitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    lines.emplace_back(text.substr(start, stop - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace

const char* const kSeriesProject = R"(fixed project of the series.pr target
[times]
0.7 0.0 24.0 6.0 0.001 8
[parameters]
nx=8
ny=8
nz=8
dx=0.3
dy=0.3
dz=0.3
sectionformat=rectangular
[hydration]
seriesFlag=False
modelFlag=False
Rho=330
placement=20.0
cementitious=380
P1=6.0
P2=24.0
P3=1.0
points=0

[End Sources]
[Boundaries]
DDDDNN
materialboundaries=1
initial=12.0
[boundary]
Dirichlet=True
number=2
density=1900
initTemp=12
points=2
0 12
24 18
[End Boundaries]
[Files]
output=field.out
sectionfiles=1
[submodel]
8*1
[Sectiongeometry]
[section]
8*2
2 6*1 2
2 6*1 2
2 6*1 2
2 6*1 2
2 6*1 2
2 6*1 2
8*2
[Materials]
Materials=2
[Material]
conductivity=2.6
specificheat=950
density=2400
production=1.0
[Material]
conductivity=1.5
specificheat=850
density=1900
production=0.0
)";

void enterWorkDir() {
  if (!workDir.empty()) return;
  std::string pattern = (fs::temp_directory_path() / "pourheat-fuzz-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::perror("pourheat fuzz: mkdtemp");
    std::abort();
  }
  workDir = pattern;
  fs::current_path(workDir);
  std::atexit(leaveWorkDir);
}

void absoluteArguments(int* argc, char*** argv) {
  static std::vector<std::string> texts;
  static std::vector<char*> pointers;
  const std::string options[] = {"-dict=", "-artifact_prefix=", "-exact_artifact_path="};
  bool prefix = false;
  texts.assign(*argv, *argv + *argc);
  for (std::size_t a = 1; a < texts.size(); ++a) {
    std::string& arg = texts[a];
    if (arg.empty()) continue;
    if (arg[0] != '-') {
      arg = fs::absolute(arg).string();
      continue;
    }
    for (const std::string& option : options)
      if (arg.starts_with(option) && arg.size() > option.size()) {
        arg = option + fs::absolute(arg.substr(option.size())).string();
        prefix = prefix || option == "-artifact_prefix=";
      }
  }
  if (!prefix) texts.push_back("-artifact_prefix=" + fs::current_path().string() + "/");
  pointers.clear();
  for (std::string& t : texts) pointers.push_back(t.data());
  pointers.push_back(nullptr);
  *argc = static_cast<int>(texts.size());
  *argv = pointers.data();
}

Size estimateSize(std::string_view project) {
  const std::vector<std::string> lines = splitLines(project);
  std::size_t pos = 0;
  // The line holding `key` from pos on, as the keyword search finds it.
  auto find = [&](std::string_view key) -> std::optional<std::size_t> {
    for (; pos < lines.size(); ++pos)
      if (line128(lines[pos]).find(key) != std::string::npos) return pos++;
    return std::nullopt;
  };
  auto integerBehind = [&](std::string_view key) -> std::optional<int> {
    const auto at = find(key);
    if (!at) return std::nullopt;
    const std::string line = line128(lines[*at]);
    const std::string rest[1] = {line.substr(line.find(key) + key.size())};
    std::size_t p = 0;
    int v = 0;
    const ReadTarget t = ReadTarget::integer(v);
    if (readFree(rest, p, std::span(&t, 1)).status != ReadStatus::Ok) return std::nullopt;
    return v;
  };

  float reals[5] = {};
  int maxits = 0;
  const ReadTarget times[] = {ReadTarget::real(reals[0]), ReadTarget::real(reals[1]),
                              ReadTarget::real(reals[2]), ReadTarget::real(reals[3]),
                              ReadTarget::real(reals[4]), ReadTarget::integer(maxits)};
  for (;;) {
    if (!find("[times]")) return {};
    const ReadResult r = readFree(lines, pos, times);
    if (r.status == ReadStatus::Ok) break;
    if (r.status == ReadStatus::End) return {};
  }
  if (!find("[parameters]")) return {};
  long long cells = 1;
  for (const char* key : {"nx=", "ny=", "nz="}) {
    const auto n = integerBehind(key);
    if (!n || *n < 1 || *n > 80) return {};
    cells *= *n;
  }
  return {cells, maxits};
}

bool writesOutsideWorkDir(std::string_view project) {
  for (const std::string& line : splitLines(project))
    if (line.find("output=") != std::string::npos && line.find('/') != std::string::npos) return true;
  return false;
}

void startTarget(int* argc, char*** argv) {
  absoluteArguments(argc, argv);
  enterWorkDir();
}

int finishInput(const Result& r) {
  if (!r.problem.empty()) {
    std::fprintf(stderr, "pourheat fuzz: %s\n", r.problem.c_str());
    std::abort();
  }
  return 0;
}

Result runProject(std::string_view bytes) {
  if (writesOutsideWorkDir(bytes) || tooSlow(bytes)) {
    Result skipped;
    skipped.skipped = true;
    return skipped;
  }
  enterWorkDir();
  clearWorkDir();
  writeFile("project.prj", bytes);
  return run(bytes);
}

Result runSeries(std::string_view bytes) {
  enterWorkDir();
  clearWorkDir();
  writeFile("project.prj", kSeriesProject);
  writeFile("series.pr", bytes);
  return run(bytes);
}

}  // namespace ph::fuzz
