#include "results/points_file.h"

#include <cstdio>

namespace ph {

void writePointsHeader(Run& run, std::span<const NamedPoint> points) {
  std::string line = "time_h";
  for (const NamedPoint& p : points) line += "," + p.name;
  run.files.writeLines(kPoints, {line});
}

void writePointsLine(Run& run, float time, std::span<const double> temperatures) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", time / 3600.0f);
  std::string line = buf;
  for (const double T : temperatures) {
    std::snprintf(buf, sizeof buf, ",%.3f", T);
    line += buf;
  }
  run.files.writeLines(kPoints, {line});
}

}  // namespace ph
