// points.csv, written by runs whose [Physics] block names points: per step
// the time and each named point's temperature.
#pragma once

#include <span>

#include "model/named_points.h"
#include "model/run.h"

namespace ph {

// time_h, then the points' names in the order of the block.
void writePointsHeader(Run& run, std::span<const NamedPoint> points);
// The step ending at `time` (seconds): each point's temperature (C).
void writePointsLine(Run& run, float time, std::span<const double> temperatures);

}  // namespace ph
