#include "results/results.h"

#include <algorithm>

namespace ph {

float cf(float x) { return x * 1.8f + 32.0f; }

std::size_t centreCell(int nx, int ny, int nz) {
  // With an extent of 1 the halved index would be 0, outside the grid.
  return cell(std::max(nx / 2, 1), std::max(ny / 2, 1), std::max(nz / 2, 1));
}

static const Layout& historyLayout() {
  static const Layout l("(1X,100(1X,F6.1))");
  return l;
}

void writeTmaxLine(Run& run, float time, const Stats& st, float centre) {
  run.put(kTmax, historyLayout(),
          {time / 3600.0f, cf(st.min), cf(st.max), cf(st.avg), cf(st.rms), cf(centre)});
}

void writeCenterLine(Run& run, float time, const SeriesPoints& pts, const RealField& hnew) {
  std::vector<FmtValue> values{time / 3600.0f};
  for (int p = 1; p <= pts.ipts; ++p) values.emplace_back(cf(hnew[cell(pts.ix[p], pts.iy[p], pts.iz[p])]));
  run.put(kCenter, historyLayout(), values);
}

void writeFinalField(Run& run, const std::string& name, int nx, int ny, int nz,
                     const RealField& hnew) {
  static const Layout row("(1X,100(G11.4))");
  run.files.openWrite(kOutput, name, true);
  std::vector<FmtValue> values;
  std::vector<std::string> lines;
  for (int k = 1; k <= nz; ++k) {
    lines.clear();
    for (int j = 1; j <= ny; ++j) {
      values.clear();
      for (int i = 1; i <= nx; ++i) values.emplace_back(hnew[cell(i, j, k)]);
      row.write(values, lines);
    }
    lines.emplace_back();
    run.files.writeLines(kOutput, lines);
  }
  run.files.close(kOutput);
}

}  // namespace ph
