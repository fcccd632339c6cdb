#include "results/result_files.h"

#include "results/results.h"

namespace ph {

namespace {

const ResultFile kFiles[] = {
    {"TMAX.OUT", kTmax, "field statistics per step", "deg F", Written::eachStep, nullptr},
    {"Center.out", kCenter, "monitor cells per step", "deg F", Written::eachStepWithMonitors, nullptr},
    {"concrete.csv", kConcrete, "the concrete's highest, lowest and mean temperature per step", "deg C",
     Written::eachStep, writeConcreteHeader},
    {"heat.csv", kHeat, "the heat released, stored and lost per step, with a [Physics] block", "MJ",
     Written::eachStepWithPhysics, writeHeatHeader},
    {nullptr, kOutput, "the final field", "deg C", Written::atEnd, nullptr},
};

}  // namespace

std::span<const ResultFile> resultFiles() { return kFiles; }

bool writes(const ResultFile& file, const RunShape& shape) {
  if (file.when == Written::eachStepWithMonitors) return shape.monitors;
  if (file.when == Written::eachStepWithPhysics) return shape.physics;
  return true;
}

std::string notWrittenWhy(const ResultFile& file, const RunShape& shape) {
  if (writes(file, shape)) return "";
  return file.when == Written::eachStepWithPhysics ? "this project has no [Physics] block"
                                                    : "this run has no monitor cells";
}

std::string fileName(const ResultFile& file, const std::string& outFile) {
  return file.name ? file.name : outFile;
}

void openStepFiles(Run& run, const RunShape& shape) {
  for (const ResultFile& f : kFiles) {
    if (f.when == Written::atEnd || !writes(f, shape)) continue;
    run.files.openWrite(f.unit, f.name);
    if (f.header) f.header(run);
  }
}

void closeStepFiles(Run& run) {
  for (const ResultFile& f : kFiles)
    if (f.when != Written::atEnd) run.files.close(f.unit);
}

void writeStepLines(Run& run, float time, const ModelState& s, const SeriesPoints& pts, const Stats& st,
                    ConcreteRecord& record, const HeatFigures* heat) {
  writeTmaxLine(run, time, st, s.hnew[centreCell(s.nx, s.ny, s.nz)]);
  if (pts.ipts > 0) writeCenterLine(run, time, pts, s.hnew);
  // The concrete's own figures: one pass over the field, one line of concrete.csv.
  writeConcreteLine(run, time, concreteFigures(s.nx, s.ny, s.nz, s.imat, s.prod, s.bound, s.hnew), record);
  if (heat) writeHeatLine(run, time, *heat);
}

}  // namespace ph
