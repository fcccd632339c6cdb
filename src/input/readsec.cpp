#include <algorithm>

#include "input/layouts.h"
#include "input/keyword.h"
#include "input/reader.h"

namespace ph {

// Values after the last value of a map on its line: a row one value too long
// shifts the whole map, and the values left over show it.
static void warnLeftOver(Run& run, int isec, const ReadResult& r) {
  run.files.backspace(kProject);
  const std::string line = *run.files.readLine(kProject);
  std::size_t c = std::min(r.column, line.size());
  while (c < line.size() && (static_cast<unsigned char>(line[c]) <= 32 || line[c] == ',')) ++c;
  if (!r.repeatsLeft && (c == line.size() || line[c] == '/')) return;
  warnAt(run, kProject, r.line + 1,
         "values left over after the last value of the map of section " + std::to_string(isec) + ": '" +
             visible(rtrimmed(r.repeatsLeft ? line : line.substr(c))) + "'");
}

void readsec(Run& run, int nx, int ny, int nz, int isec, const std::vector<int>& laysec,
             IntField& imat, int& maxmat) {
  if (isec == 1) maxmat = 0;
  fndstrg(run, kProject, "[section]", 0);
  std::vector<int> secmap(static_cast<std::size_t>(nx) * ny, 0);
  std::vector<ReadTarget> targets;
  targets.reserve(secmap.size());
  for (int& v : secmap) targets.push_back(ReadTarget::integer(v));
  const ReadResult r = run.files.readFree(kProject, targets);
  if (r.status == ReadStatus::End) {
    run.free(kTerminal, {"readsec: ERROR READING ", isec});
    run.stop();
  }
  if (r.status == ReadStatus::Bad)
    run.files.fail(kProject, "read error at line " + std::to_string(r.line + 1) + " in the map of section " +
                                 std::to_string(isec) + ": '" + r.token + "' is not an integer");
  warnLeftOver(run, isec, r);
  auto at = [&](int i, int j) { return secmap[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(nx) * (j - 1)]; };
  for (int k = 1; k <= nz; ++k) {
    if (laysec[k] != isec) continue;
    for (int j = 1; j <= ny; ++j)
      for (int i = 1; i <= nx; ++i) imat[cell(i, j, k)] = at(i, j);
  }
  for (int j = 1; j <= ny; ++j) {
    std::vector<FmtValue> row;
    for (int i = 1; i <= nx; ++i) row.emplace_back(at(i, j));
    run.put(kLog, mapRowLayout(), row);
  }
  for (int v : secmap)
    if (v > maxmat) maxmat = v;
  run.free(kLog, {"[section] ", isec, maxmat, nx, ny, nz});
}

}  // namespace ph
