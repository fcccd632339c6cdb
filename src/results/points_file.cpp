#include "results/points_file.h"

#include <cstdio>
#include <cstdlib>

namespace ph {

std::string threeDecimals(double v) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.3f", v);
  return buf;
}

long long writtenThousandths(double v) {
  std::string text = threeDecimals(v);
  if (const std::size_t dot = text.find('.'); dot != std::string::npos) text.erase(dot, 1);
  return std::strtoll(text.c_str(), nullptr, 10);
}

void writePointsHeader(Run& run, std::span<const NamedPoint> points) {
  std::string line = "time_h";
  for (const NamedPoint& p : points) line += "," + p.name;
  run.files.writeLines(kPoints, {line});
}

void writePointsLine(Run& run, float time, std::span<const double> temperatures) {
  std::string line = threeDecimals(time / 3600.0f);
  for (const double T : temperatures) {
    line += ',';
    line += threeDecimals(T);
  }
  run.files.writeLines(kPoints, {line});
}

}  // namespace ph
