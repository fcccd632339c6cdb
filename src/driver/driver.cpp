#include "driver/driver.h"

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <utility>

#include "input/keyword.h"
#include "input/reader.h"
#include "driver/forward.h"
#include "record/interrupt.h"
#include "results/concrete.h"
#include "results/result_files.h"

namespace ph {

// The flag is deleted and the log emptied before anything is read, and the
// results are written into the working directory: the log and the flag may
// not name the project file, series.pr, a result file or each other, or the
// run would destroy its own input or results.
static void refuseClashingNames(Run& run, const std::string& project, const std::string& log,
                                const std::string& flag) {
  const std::pair<std::string, std::string> inputs[] = {{project, "the project file"},
                                                        {"series.pr", "series.pr"}};
  for (const auto& [name, role] : inputs) {
    if (FileTable::sameFile(log, name)) run.reject("Problem: the log file '" + log + "' would replace " + role);
    if (FileTable::sameFile(flag, name))
      run.reject("Problem: the flag file '" + flag + "' would replace " + role);
  }
  if (FileTable::sameFile(flag, log))
    run.reject("Problem: the flag file and the log file have the same name '" + log + "'");
  std::vector<std::string> results;
  for (const ResultFile& f : resultFiles())
    if (f.name) results.push_back(f.name);
  results.push_back(kLockName);
  for (const std::string& file : results) {
    if (FileTable::sameFile(log, file))
      run.reject("Problem: the log file '" + log + "' is the file " + file + "; give it a name of its own");
    if (FileTable::sameFile(flag, file))
      run.reject("Problem: the flag file '" + flag + "' is the file " + file + "; give it a name of its own");
  }
  // The project file is read before the results are written, but would be
  // lost to them.
  for (const std::string& file : results)
    if (FileTable::sameFile(project, file))
      run.reject("Problem: the project file '" + project + "' is the file " + file +
                 "; give it a name of its own");
}

static std::string workingDirectory() {
  std::error_code ec;
  const std::filesystem::path dir = std::filesystem::current_path(ec);
  return ec ? std::string(".") : dir.string();
}

// Whether the file is a flag of an earlier run: a plain file holding Finished.
static bool earlierFlag(const std::string& name) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(name, ec))) return false;
  std::ifstream in(name, std::ios::binary);
  char text[16];
  in.read(text, sizeof text);
  return std::string(text, std::size_t(in.gcount())) == " Finished\n";
}

// A project name cut to its field would run whatever file has the cut name;
// the log and flag names keep their cut, which callers may look for, and the
// terminal says which names are used. The flag is deleted when the run
// starts, so a cut flag name may not take a file the user never named, unless
// it is the flag of an earlier run.
static void checkNameLengths(Run& run, const std::vector<std::string>& args, const std::string& logname,
                             const std::string& flagname) {
  auto given = [&](std::size_t n) {
    const std::string& a = n < args.size() ? args[n] : std::string();
    std::size_t first = 0, last = a.size();
    while (first < last && static_cast<unsigned char>(a[first]) <= 32) ++first;
    while (last > first && static_cast<unsigned char>(a[last - 1]) <= 32) --last;
    return std::pair(a.substr(first, last - first), last);
  };
  if (given(0).second > 80)
    run.reject("Problem: the project file name is longer than 80 characters: '" + given(0).first +
               "'; run in its folder or give a shorter path");
  if (given(1).first.size() > 8)
    run.free(kTerminal, {"the log file is " + rtrimmed(logname) + " (the name " + given(1).first +
                         " is cut to 8 characters)"});
  if (given(2).first.size() > 12) {
    const std::string cut = rtrimmed(flagname);
    run.free(kTerminal, {"the flag file is " + cut + " (the name " + given(2).first + " is cut to 12 characters)"});
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(cut, ec)) && !earlierFlag(cut))
      run.reject("Problem: the flag file name " + given(2).first + " is cut to " + cut + ", and " + cut +
                 " is a file that is not the flag of an earlier run; give a flag name of at most 12 characters");
  }
}

// One run at a time in a directory: two would write the same result files.
static void lockDirectory(Run& run) {
  std::string why;
  switch (run.lock.take(why)) {
    case DirLock::Outcome::Taken: return;
    case DirLock::Outcome::Busy:
      run.reject("Problem: another run of pourheat is working in the directory " + workingDirectory() +
                 "; one run at a time may work in a directory");
    case DirLock::Outcome::Failed:
      throw RunEnd(kExitFileFailure, "pourheat: cannot lock the directory " + workingDirectory() +
                                         " for this run (" + why + ")");
  }
}

// A file of an earlier run that this run does not write must go, or it would
// stand beside this run's results as if it were one of them.
static void removeEarlierFile(const std::string& name, const std::string& role) {
  std::error_code ec;
  if (!FileTable::exists(name)) return;
  std::filesystem::remove(name, ec);
  if (ec)
    throw RunEnd(kExitFileFailure, "pourheat: cannot delete " + role + " '" + name +
                                       "' left by an earlier run (" + ec.message() +
                                       "); the run does not go on with it in place");
}

// The final field is written as a plain file in the run's folder: output=
// may not leave the working directory (an absolute path, "..", a link on the
// way) nor take the place of anything but a plain file (or a folder, which
// the reader refuses).
static void refuseOutputPlace(Run& run, const std::string& outFile) {
  namespace fs = std::filesystem;
  const fs::path path(outFile);
  auto refuse = [&](const std::string& why) {
    run.reject("Problem: output= '" + outFile + "' " + why +
               "; the final field is written only as a plain file in the working directory");
  };
  if (path.is_absolute()) refuse("is an absolute path");
  for (const fs::path& part : path)
    if (part == "..") refuse("goes up through ..");
  fs::path walked;
  for (const fs::path& part : path) {
    walked /= part;
    struct stat st {};
    if (lstat(walked.c_str(), &st) != 0) return;
    if (S_ISLNK(st.st_mode))
      refuse(walked == path ? "is a symbolic link" : "leads through the symbolic link '" + walked.string() + "'");
    if (walked == path && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) refuse("is a device, a pipe or a socket");
  }
}

// The final field is written over any file of its name: it must not take
// the place of another file of the run, which would then be lost. Checked on
// the name looked up before anything is written, and on the name read.
static void refuseOutputName(Run& run, const std::string& outFile, const std::string& project,
                             const std::string& logFile, const std::string& flagFile, const RunShape& shape) {
  if (!outFile.empty()) refuseOutputPlace(run, outFile);
  std::vector<std::pair<std::string, std::string>> others{{logFile, "the log"}, {flagFile, "the flag file"}};
  for (const ResultFile& f : resultFiles())
    if (f.name && (writes(f, shape) || f.when == Written::byTools)) others.emplace_back(f.name, f.name);
  others.insert(others.end(),
                {{project, "the project file"}, {"series.pr", "series.pr"}, {kLockName, "the lock file"}});
  for (const auto& [name, role] : others)
    if (!name.empty() && FileTable::sameFile(outFile, name))
      run.reject("Problem: output= '" + outFile + "' would write the final field over " + role +
                 "; give it a name of its own");
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
  checkNameLengths(run, args, logname, flagname);
  refuseClashingNames(run, rtrimmed(state->infile), rtrimmed(logname), rtrimmed(flagname));
  // Before series.pr is read the run counts as one without monitor cells.
  refuseOutputName(run, peekOutputName(rtrimmed(state->infile)), rtrimmed(state->infile),
                   rtrimmed(logname), rtrimmed(flagname), RunShape{});
  lockDirectory(run);
  // Nothing the tools made of an earlier run may stand beside this one's
  // results, whether it finishes or not.
  const std::vector<std::string> toolFiles = removeToolFiles(rtrimmed(state->infile));

  // A flag left by an earlier run goes first, so a run that fails leaves none.
  const std::string flagFile = rtrimmed(flagname);
  removeEarlierFile(flagFile, "the flag file");

  const std::string logFile = rtrimmed(logname);
  if (auto unit = run.files.unitOf(logFile)) run.files.close(*unit);
  run.files.openWrite(kLog, logFile);
  reportInterruptTo(run.files.descriptor(kLog));
  setInterruptLine(" run interrupted before its first step by signal ", "; no step was computed");
  for (const std::string& name : toolFiles) run.free(kLog, {"removed " + name + " of an earlier run: a tool wrote it"});

  const bool haveSeries = FileTable::exists("series.pr");
  if (options.startupSleepMs > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(options.startupSleepMs));
  if (haveSeries) {
    run.files.openRead(kProject, "series.pr");
    readSeriesPoints(run, points);
    run.files.close(kProject);
  }

  if (!FileTable::exists(rtrimmed(state->infile))) {
    const std::string where = "Problem: there is no project file '" + rtrimmed(state->infile) +
                              "' (working directory " + workingDirectory() + ")";
    run.free(kTerminal, {where});
    run.free(kLog, {where});
    run.pause("PROBLEM: INFILE NOT IN PROJECT FILE");
    run.free(kTerminal, {state->infile});
    run.free(kTerminal, {"stopping due to stupid instructions"});
    run.stop();
  }

  reader(run, *state);
  run.free(kTerminal, {"back from reader()"});

  // Everything that can be refused without a step is refused before the
  // result files are opened, so a refused run leaves an earlier run's
  // results as they were.
  const std::string outFile = rtrimmed(state->outfile);
  const RunShape shape{.monitors = points.ipts > 0, .physics = state->physics.present, .points = state->physics.points,
                        .section = !state->physics.section.empty()};
  refuseOutputName(run, outFile, rtrimmed(state->infile), logFile, flagFile, shape);
  checkBeforeStepping(run, *state, points);
  for (const ResultFile& f : resultFiles()) {
    if (f.when == Written::byTools || writes(f, shape) || !FileTable::exists(f.name)) continue;
    removeEarlierFile(f.name, f.name);
    run.free(kLog, {"removed " + std::string(f.name) + " of an earlier run: " + notWrittenWhy(f, shape)});
  }

  openStepFiles(run, shape);
  const ForwardRecord record = forward(run, *state, points, options.counters, options.maxSteps);
  // Every result file is complete on disk before the flag says so, and
  // before the summary names it.
  closeStepFiles(run);
  std::vector<std::string> written;
  for (const ResultFile& f : resultFiles())
    if (writes(f, shape)) written.push_back(fileName(f, outFile));
  writeConcreteSummary(run, record.concrete, written);
  if (state->physics.present) writePhysicsLines(run, *state, record.heat, record.warning);
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

// Words wrapped onto lines of at most `width` characters.
static std::string wrapped(const std::string& text, std::size_t width) {
  std::string out, line;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find(' ', at), text.size());
    const std::string word = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      out += line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
  }
  return out + line + "\n";
}

static std::string usage() {
  std::string files = "the log";
  for (const ResultFile& f : resultFiles())
    if (f.when != Written::byTools)
      files += std::string(", ") + (f.name ? f.name : f.role) + " (" +
               (f.name ? f.role : "output= of the project file") + ", " + f.units + ")";
  return "Usage: pourheat <project file> <log file> <flag file>\n"
         "       pourheat --help | --version\n"
         "\n"
         "Predicts the temperature history of freshly placed concrete.\n"
         "\n"
         "  project file  the project to run (a name of at most 80 characters)\n"
         "  log file      the run log to write (the name is cut to 8 characters)\n"
         "  flag file     receives Finished when the run has completed (the name is\n"
         "                cut to 12 characters); it is deleted when the run starts\n"
         "\n" +
         wrapped("Reads series.pr (monitor cells) when the working directory holds one, and writes into the "
                 "working directory: " + files + " and the flag file. One run at a time may work in a "
                 "directory (it holds " + kLockName + " while it runs).", 76) +
         "\n"
         "Exit status: 0 finished; 1 stopped on a problem in the input or the command\n"
         "line, or a pause that was not resumed; 2 a file could not be read or\n"
         "written. Only the flag file tells a finished run from a failed one.\n"
         "A value that cannot be read as a number (nx=4x) ends with 2, as a file that\n"
         "cannot be read does.\n";
}

int runProgram(Run& run, const std::vector<std::string>& args, const RunOptions& options) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "--version")) {
    std::fputs(args[0] == "--help" ? usage().c_str() : "pourheat " POURHEAT_VERSION "\n", run.terminal);
    std::fflush(run.terminal);
    return kExitFinished;
  }
  if (args.size() != 3) {
    std::fputs(usage().c_str(), run.terminal);
    std::fflush(run.terminal);
    return kExitStopped;
  }
  // The directory is free again however the run ends.
  struct Unlock {
    Run& run;
    ~Unlock() { run.lock.release(); }
  } unlock{run};
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
