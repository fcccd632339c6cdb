// Result files: TMAX.OUT (field statistics per step), Center.out (monitor
// cells per step), both in degrees Fahrenheit, and the final field in
// degrees Celsius.
#pragma once

#include "model/model_state.h"
#include "model/run.h"
#include "model/stats.h"

namespace ph {

// Degrees Celsius to degrees Fahrenheit, in single precision.
float cf(float x);

// The cell TMAX.OUT reports: (nx/2, ny/2, nz/2), never below index 1.
std::size_t centreCell(int nx, int ny, int nz);

void writeTmaxLine(Run& run, float time, const Stats& st, float centre);
void writeCenterLine(Run& run, float time, const SeriesPoints& pts, const RealField& hnew);
// Writes the final field to `name`; the file appears only once complete.
void writeFinalField(Run& run, const std::string& name, int nx, int ny, int nz,
                     const RealField& hnew);

}  // namespace ph
