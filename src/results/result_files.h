// The files a run writes into the working directory besides the log and the
// flag, one row each, in the order the usage text and the run's summary name
// them. The checks of the names a run is given, the opening and closing of
// the files and those lists all read this table: a new result file is one
// more row and its writer.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "model/model_state.h"
#include "model/run.h"
#include "model/stats.h"
#include "results/concrete.h"
#include "results/heat_file.h"

namespace ph {

// What decides which of the files a run writes.
struct RunShape {
  bool monitors = false;  // the run has monitor cells
  bool physics = false;   // its project has a [Physics] block
  std::span<const NamedPoint> points;  // the points its [Physics] block names
  bool section = false;                // the block has section=
};

// When a file is written.
enum class Written {
  eachStep,              // a line per step, from the first step on
  eachStepWithMonitors,  // the same, by runs that have monitor cells (series.pr)
  eachStepWithPhysics,   // the same, by runs whose project has a [Physics] block
  eachStepWithPoints,    // the same, by runs whose [Physics] block names points
  whenSectionImproves,   // its header when the steps start, then whole anew after each step that
                         // finds a new peak or difference (section= of the [Physics] block)
  atEnd,                 // once, when the steps are done
  byTools,               // never: the tools' list of the files they wrote for a run
};

struct ResultFile {
  const char* name;       // in the working directory; nullptr: the name output= gives
  int unit;               // its file number while it is written
  const char* role;       // what it holds, as the usage text says
  const char* units;      // of the temperatures in it
  Written when;
  void (*header)(Run&, const RunShape&);  // its first lines, written when it is opened; or nullptr
};

std::span<const ResultFile> resultFiles();

bool writes(const ResultFile& file, const RunShape& shape);
// Why a run of this shape does not write the file ("" where it does).
std::string notWrittenWhy(const ResultFile& file, const RunShape& shape);

// The file's name, the final field's from output=.
std::string fileName(const ResultFile& file, const std::string& outFile);

// The files the tools wrote for an earlier run, as their list (the byTools
// row) names them, and the list itself: removed when a run starts, so that
// no picture or page of an earlier run stands beside this run's results.
// Only plain files and links directly in the working directory go, and never
// the project file, series.pr or the lock. Returns the names removed; a file
// that cannot be removed ends the run (status 2).
std::vector<std::string> removeToolFiles(const std::string& project);

// Opens the files written step by step, each with its header; closes them.
void openStepFiles(Run& run, const RunShape& shape);
void closeStepFiles(Run& run);

// The lines of the step ending at `time` (seconds) in the files written step
// by step: `st` holds the statistics of the field, `record` the concrete's
// figures of the run so far, brought up to date, and `heat` (where the
// project has a [Physics] block) the heat of the run so far, `points` (where
// it names points) their temperatures. Then the step is
// on disk: these files and the log are flushed, and the line an interruption
// writes names the step.
void writeStepLines(Run& run, float time, const ModelState& s, const SeriesPoints& pts, const Stats& st,
                    ConcreteRecord& record, const HeatFigures* heat = nullptr,
                    const std::vector<double>* points = nullptr);

}  // namespace ph
