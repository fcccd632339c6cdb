#include "driver/driver.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>
#include <utility>

#include "hydration/model.h"
#include "input/keyword.h"
#include "input/reader.h"
#include "driver/forward.h"
#include "results/concrete.h"

namespace ph {

void readSeriesPoints(Run& run, SeriesPoints& points) {
  std::string first(80, ' ');
  const ReadTarget firstTarget = ReadTarget::text(first, 80);
  run.files.readFreeOrFail(kProject, std::span(&firstTarget, 1));
  if (isBlank(first)) return;
  run.files.rewind(kProject);
  int count = 0;
  const ReadTarget countTarget = ReadTarget::integer(count);
  run.files.readFreeOrFail(kProject, std::span(&countTarget, 1));
  if (count < 0 || count > ptscap)
    run.reject("Problem: series.pr announces " + std::to_string(count) +
               " series points; it may hold 0 to " + std::to_string(ptscap));
  points.ipts = count;
  if (count > 0) {
    std::vector<ReadTarget> targets;
    for (int p = 1; p <= count; ++p) {
      targets.push_back(ReadTarget::integer(points.ix[p]));
      targets.push_back(ReadTarget::integer(points.iy[p]));
      targets.push_back(ReadTarget::integer(points.iz[p]));
    }
    run.files.readFreeOrFail(kProject, targets);
  }
  run.free(kLog, {points.ipts, "= series points"});
  std::vector<FmtValue> indices;
  for (int p = 1; p <= count; ++p) {
    indices.emplace_back(points.ix[p]);
    indices.emplace_back(points.iy[p]);
    indices.emplace_back(points.iz[p]);
  }
  run.free(kLog, indices);
}

// The flag is deleted and the log emptied before anything is read: neither
// may name the project file, series.pr or each other, or the run would
// destroy its own input.
static void refuseClashingNames(Run& run, const std::string& project, const std::string& log,
                                const std::string& flag) {
  namespace fs = std::filesystem;
  auto same = [](const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    std::error_code ec;
    if (fs::equivalent(a, b, ec)) return true;
    return fs::path(a).lexically_normal() == fs::path(b).lexically_normal();
  };
  const std::pair<std::string, std::string> inputs[] = {{project, "the project file"},
                                                        {"series.pr", "series.pr"}};
  for (const auto& [name, role] : inputs) {
    if (same(log, name)) run.reject("Problem: the log file '" + log + "' would replace " + role);
    if (same(flag, name)) run.reject("Problem: the flag file '" + flag + "' would replace " + role);
  }
  if (same(flag, log)) run.reject("Problem: the flag file and the log file have the same name '" + log + "'");
}

static void runSequence(Run& run, const std::vector<std::string>& args, const RunOptions& options) {
  auto state = std::make_unique<ModelState>();
  SeriesPoints points;
  run.files.openScratch(kScratch);

  auto argument = [&](std::size_t n) {
    return fixedText(n < args.size() ? args[n] : std::string(), 80);
  };
  state->infile = trim(run, argument(0), 80);
  const std::string logname = trim(run, argument(1), 8);
  const std::string flagname = trim(run, argument(2), 12);
  run.free(kTerminal, {state->infile, "\n", logname});
  refuseClashingNames(run, rtrimmed(state->infile), rtrimmed(logname), rtrimmed(flagname));

  // A flag left by an earlier run goes first, so a run that fails leaves none.
  const std::string flagFile = rtrimmed(flagname);
  if (FileTable::exists(flagFile)) {
    std::error_code ec;
    std::filesystem::remove(flagFile, ec);
  }

  const std::string logFile = rtrimmed(logname);
  if (auto unit = run.files.unitOf(logFile)) run.files.close(*unit);
  run.files.openWrite(kLog, logFile);

  const bool haveSeries = FileTable::exists("series.pr");
  if (options.startupSleepMs > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(options.startupSleepMs));
  if (haveSeries) {
    run.files.openRead(kProject, "series.pr");
    readSeriesPoints(run, points);
    run.files.close(kProject);
  }

  if (!FileTable::exists(rtrimmed(state->infile))) {
    run.pause("PROBLEM: INFILE NOT IN PROJECT FILE");
    run.free(kTerminal, {state->infile});
    run.free(kTerminal, {"stopping due to stupid instructions"});
    run.stop();
  }

  reader(run, *state);
  run.free(kTerminal, {"back from reader()"});

  // The final field is written over any file of its name: it must not take
  // the place of another file of the run, which would then be lost.
  const std::string outFile = rtrimmed(state->outfile);
  const std::pair<std::string, std::string> others[] = {
      {logFile, "the log"}, {flagFile, "the flag file"}, {"TMAX.OUT", "TMAX.OUT"},
      {points.ipts > 0 ? "Center.out" : "", "Center.out"},
      {"concrete.csv", "concrete.csv"}};
  for (const auto& [name, role] : others)
    if (!name.empty() && std::filesystem::path(outFile).lexically_normal() ==
                             std::filesystem::path(name).lexically_normal())
      run.reject("Problem: output= '" + outFile + "' would write the final field over " + role +
                 "; give it a name of its own");

  run.files.openWrite(kTmax, "TMAX.OUT");
  if (points.ipts > 0) run.files.openWrite(kCenter, "Center.out");
  run.files.openWrite(kConcrete, "concrete.csv");
  writeConcreteHeader(run);

  const ConcreteRecord concrete = forward(run, *state, points, options.counters, options.maxSteps);

  // Every result file is complete on disk before the flag says so, and
  // before the summary names it.
  run.files.close(kTmax);
  run.files.close(kCenter);
  run.files.close(kConcrete);
  std::vector<std::string> written{"TMAX.OUT"};
  if (points.ipts > 0) written.push_back("Center.out");
  written.push_back("concrete.csv");
  written.push_back(outFile);
  writeConcreteSummary(run, concrete, written);
  run.files.close(kLog);
  run.files.openWrite(kFlag, flagFile, true);
  run.free(kFlag, {"Finished"});
  run.files.close(kFlag);
  run.files.close(kScratch);
}

// The end of a stopped or failed run: its report, if any, on the error
// stream, and every file closed without leaving a partial one.
static int endRun(Run& run, const RunEnd& end) {
  std::fflush(run.terminal);
  if (!end.report.empty()) {
    std::fputs(end.report.c_str(), run.errors);
    std::fputc('\n', run.errors);
    std::fflush(run.errors);
  }
  run.files.abandonAll();
  return end.status;
}

int runProgram(Run& run, const std::vector<std::string>& args, const RunOptions& options) {
  resetWorkspc();
  try {
    runSequence(run, args, options);
    std::fflush(run.terminal);
    return kExitFinished;
  } catch (const RunEnd& end) {
    return endRun(run, end);
  } catch (const FileFailure& failure) {
    return endRun(run, RunEnd(kExitFileFailure, failure.what()));
  } catch (const std::exception& e) {
    // Nothing should get here; if it does, the run still ends cleanly.
    return endRun(run, RunEnd(kExitFileFailure, std::string("pourheat: internal error: ") + e.what()));
  }
}

}  // namespace ph
