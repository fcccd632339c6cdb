// points.csv, written by runs whose [Physics] block names points: per step
// the time and each named point's temperature.
#pragma once

#include <span>
#include <string>

#include "model/named_points.h"
#include "model/run.h"

namespace ph {

// time_h, then the points' names in the order of the block.
void writePointsHeader(Run& run, std::span<const NamedPoint> points);
// The step ending at `time` (seconds): each point's temperature (C).
void writePointsLine(Run& run, float time, std::span<const double> temperatures);

// A temperature (C) or a time (h) as the result files write it: 3 decimals.
std::string threeDecimals(double v);
// The same value as written, in thousandths: what a step is chosen by
// wherever a point's value decides, so that a reader of the file picks the
// same step from the text.
long long writtenThousandths(double v);

}  // namespace ph
