// The run object: what one program run owns besides the model state — its
// open files, the terminal and error streams, and the operator console that
// answers pauses. Passed down by reference so that tests can run many runs in
// one process and answer pauses themselves.
#pragma once

#include <cstdio>
#include <exception>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "record/dirlock.h"
#include "record/files.h"
#include "record/layout.h"
#include "record/values.h"

namespace ph {

// Exit statuses of a run.
inline constexpr int kExitFinished = 0;
inline constexpr int kExitStopped = 1;    // the program's own stop, or a pause not resumed
inline constexpr int kExitFileFailure = 2;  // the file layer failed

// Ends a run: thrown by a stop, an unresumed pause or a file-layer failure and
// caught at the top of the run. `report` goes to the error stream when set.
struct RunEnd : std::exception {
  int status;
  std::string report;
  RunEnd(int s, std::string r = {}) : status(s), report(std::move(r)) {}
  const char* what() const noexcept override { return report.c_str(); }
};

// Answers a pause: the operator's line, or nothing when there is no console.
using Console = std::function<std::optional<std::string>()>;

// The terminal when standard input is one, otherwise the console device.
Console systemConsole();

struct Run {
  explicit Run(std::FILE* terminal = stdout, std::FILE* errors = stderr,
               Console console = systemConsole());

  std::FILE* const terminal;  // also the file table's number 6: fixed for the run
  std::FILE* const errors;
  Console console;
  FileTable files;
  DirLock lock;              // the working directory, held while the run works in it
  bool earlierMask = false;  // the earlier build's plan-mask rule

  // Pause: the message goes to the error stream and the operator decides.
  // "go" resumes; anything else, or no console, ends the run (status 1).
  void pause(std::string_view message);

  // Stop silently (status 1).
  [[noreturn]] void stop();
  // Stop on bad input: the message goes to the terminal and, when it is open,
  // to the log, then the run ends with status 1.
  [[noreturn]] void reject(const std::string& message);
  // A warning: one line on the terminal and, when it is open, in the log;
  // the run goes on.
  void warn(const std::string& message);

  // One free-form record, or one record in a layout, on a file number.
  void free(int unit, std::initializer_list<FmtValue> items);
  void free(int unit, std::span<const FmtValue> items);
  void put(int unit, const Layout& layout, std::initializer_list<FmtValue> items);
  void put(int unit, const Layout& layout, std::span<const FmtValue> items);
};

// A real as a free-form record writes it, without the blanks around it.
std::string numberText(float v);

// File numbers of the program.
inline constexpr int kTerminal = 6;
inline constexpr int kProject = 10;
inline constexpr int kOutput = 30;
inline constexpr int kLog = 50;
inline constexpr int kTmax = 51;
inline constexpr int kCenter = 52;
inline constexpr int kConcrete = 53;
inline constexpr int kHeat = 54;
inline constexpr int kFlag = 55;
inline constexpr int kPoints = 56;
inline constexpr int kSections = 57;
inline constexpr int kWeather = 58;  // a weather file, while it is read
inline constexpr int kScratch = 79;

}  // namespace ph
