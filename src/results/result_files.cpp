#include "results/result_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "record/interrupt.h"
#include "results/points_file.h"
#include "results/results.h"
#include "results/sections_file.h"

namespace ph {

namespace {

void concreteHeader(Run& run, const RunShape&) { writeConcreteHeader(run); }
void heatHeader(Run& run, const RunShape&) { writeHeatHeader(run); }
void pointsHeader(Run& run, const RunShape& shape) { writePointsHeader(run, shape.points); }
void sectionsHeader(Run& run, const RunShape&) { writeSectionsHeader(run); }

const ResultFile kFiles[] = {
    {"TMAX.OUT", kTmax, "field statistics per step", "deg F", Written::eachStep, nullptr},
    {"Center.out", kCenter, "monitor cells per step", "deg F", Written::eachStepWithMonitors, nullptr},
    {"concrete.csv", kConcrete, "the concrete's highest, lowest and mean temperature per step", "deg C",
     Written::eachStep, concreteHeader},
    {"heat.csv", kHeat, "the heat released, stored and lost per step, with a [Physics] block", "MJ",
     Written::eachStepWithPhysics, heatHeader},
    {"points.csv", kPoints, "the temperature of each point the [Physics] block names, per step", "deg C",
     Written::eachStepWithPoints, pointsHeader},
    {kSectionsName, kSections,
     "the planes through the section= point at its peak and at its largest difference to the other points",
     "deg C", Written::whenSectionImproves, sectionsHeader},
    {nullptr, kOutput, "the final field", "deg C", Written::atEnd, nullptr},
    {".pourheat-artefacts", 0, "the files the tools wrote for a run, one name a line", "", Written::byTools,
     nullptr},
};

}  // namespace

std::span<const ResultFile> resultFiles() { return kFiles; }

bool writes(const ResultFile& file, const RunShape& shape) {
  if (file.when == Written::eachStepWithMonitors) return shape.monitors;
  if (file.when == Written::eachStepWithPhysics) return shape.physics;
  if (file.when == Written::eachStepWithPoints) return !shape.points.empty();
  if (file.when == Written::whenSectionImproves) return shape.section;
  return file.when == Written::eachStep || file.when == Written::atEnd;
}

std::string notWrittenWhy(const ResultFile& file, const RunShape& shape) {
  if (writes(file, shape)) return "";
  if (file.when == Written::eachStepWithPoints) return "this project names no points";
  if (file.when == Written::whenSectionImproves) return "this project has no section=";
  return file.when == Written::eachStepWithPhysics ? "this project has no [Physics] block"
                                                    : "this run has no monitor cells";
}

std::string fileName(const ResultFile& file, const std::string& outFile) {
  return file.name ? file.name : outFile;
}

std::vector<std::string> removeToolFiles(const std::string& project) {
  std::vector<std::string> removed;
  for (const ResultFile& f : kFiles) {
    if (f.when != Written::byTools) continue;
    struct stat list {};
    if (lstat(f.name, &list) != 0 || !(S_ISREG(list.st_mode) || S_ISLNK(list.st_mode))) continue;
    std::vector<std::string> names;
    if (S_ISREG(list.st_mode) && std::uintmax_t(list.st_size) <= kMaxReadBytes) {
      std::ifstream in(f.name, std::ios::binary);
      for (std::string line; std::getline(in, line);) {
        if (line.ends_with('\r')) line.pop_back();
        names.push_back(line);
      }
    }
    names.push_back(f.name);  // the list goes last
    for (const std::string& name : names) {
      if (name.empty() || name == "." || name == ".." || name.find_first_of(std::string("/\0", 2)) != std::string::npos ||
          name == "series.pr" || name == kLockName || FileTable::sameFile(name, project))
        continue;
      struct stat st {};
      if (lstat(name.c_str(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode))) continue;
      if (unlink(name.c_str()) != 0)
        throw RunEnd(kExitFileFailure, "pourheat: cannot delete '" + name + "', which " + f.name +
                                           " lists as written by a tool for an earlier run (" +
                                           std::strerror(errno) + "); the run does not go on with it in place");
      removed.push_back(name);
    }
  }
  return removed;
}

void openStepFiles(Run& run, const RunShape& shape) {
  for (const ResultFile& f : kFiles) {
    if (f.when == Written::atEnd || !writes(f, shape)) continue;
    run.files.openWrite(f.unit, f.name);
    if (f.header) f.header(run, shape);
  }
}

void closeStepFiles(Run& run) {
  // A file the run does not write is not open, and closing it does nothing.
  for (const ResultFile& f : kFiles)
    if (f.when != Written::atEnd && f.when != Written::byTools) run.files.close(f.unit);
}

void writeStepLines(Run& run, float time, const ModelState& s, const SeriesPoints& pts, const Stats& st,
                    ConcreteRecord& record, const HeatFigures* heat, const std::vector<double>* points) {
  writeTmaxLine(run, time, st, s.hnew[centreCell(s.nx, s.ny, s.nz)]);
  if (pts.ipts > 0) writeCenterLine(run, time, pts, s.hnew);
  // The concrete's own figures: one pass over the field, one line of concrete.csv.
  writeConcreteLine(run, time, concreteFigures(s.nx, s.ny, s.nz, s.imat, s.prod, s.bound, s.hnew), record);
  if (heat) writeHeatLine(run, time, *heat);
  if (points) writePointsLine(run, time, *points);
  // The terminal first: a reader that does not read it may hold it up, and
  // an interruption must still come through then.
  run.files.flush(kTerminal);
  const InterruptsHeld held;
  run.files.flush(kLog);
  // A file the run does not write is not open, and flushing it does nothing.
  for (const ResultFile& f : kFiles)
    if (f.when != Written::atEnd && f.when != Written::byTools) run.files.flush(f.unit);
  setInterruptLine(" run interrupted at t= " + numberText(time / 3600.0f) + " h by signal ", "; results up to there");
}

}  // namespace ph
