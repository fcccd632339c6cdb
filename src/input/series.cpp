// series.pr: the monitor cells whose temperatures Center.out follows, one
// cell (i, j, k) each after their count.
#include <vector>

#include "input/reader.h"
#include "record/text.h"

namespace ph {

void readSeriesPoints(Run& run, SeriesPoints& points) {
  std::string first(80, ' ');
  const ReadTarget firstTarget = ReadTarget::text(first, 80);
  run.files.readFreeOrFail(kProject, std::span(&firstTarget, 1));
  if (isBlank(first)) return;
  run.files.rewind(kProject);
  int count = 0;
  const ReadTarget countTarget = ReadTarget::integer(count);
  run.files.readFreeOrFail(kProject, std::span(&countTarget, 1));
  if (count < 0 || count > ptscap)
    run.reject("Problem: series.pr announces " + std::to_string(count) +
               " series points; it may hold 0 to " + std::to_string(ptscap));
  points.ipts = count;
  if (count > 0) {
    std::vector<ReadTarget> targets;
    for (int p = 1; p <= count; ++p) {
      targets.push_back(ReadTarget::integer(points.ix[p]));
      targets.push_back(ReadTarget::integer(points.iy[p]));
      targets.push_back(ReadTarget::integer(points.iz[p]));
    }
    run.files.readFreeOrFail(kProject, targets);
  }
  run.free(kLog, {points.ipts, "= series points"});
  std::vector<FmtValue> indices;
  for (int p = 1; p <= count; ++p) {
    indices.emplace_back(points.ix[p]);
    indices.emplace_back(points.iy[p]);
    indices.emplace_back(points.iz[p]);
  }
  run.free(kLog, indices);
}

}  // namespace ph
