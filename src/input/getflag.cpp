#include <cmath>

#include "input/layouts.h"
#include "input/reader.h"

namespace ph {

// Circular section: a column is inside when its distance from the centre is
// strictly below xc - 1. The drawing runs one line per i.
static void circularMask(Run& run, int nx, int ny, float xc, float yc, float r0,
                         std::vector<int>& secmask) {
  static const Layout drawing("(200(a1))");
  for (int i = 1; i <= nx; ++i) {
    std::vector<FmtValue> row;
    for (int j = 1; j <= ny; ++j) {
      const float di = static_cast<float>(i) - xc;
      const float dj = static_cast<float>(j) - yc;
      const float dr = std::sqrt(di * di + dj * dj);
      secmask[column(i, j)] = dr < r0 ? 1 : 0;
      row.emplace_back(secmask[column(i, j)] ? "T" : "F");
    }
    run.put(kLog, drawing, row);
  }
}

void getflag(Run& run, std::string_view format, int nx, int ny, std::vector<int>& secmask) {
  static const Layout drawing("(200(a1))");
  const bool circular = format.find("cent") != std::string_view::npos;
  const float xc = static_cast<float>(nx + 1) / 2.0f;
  const float yc = static_cast<float>(ny + 1) / 2.0f;
  const float r0 = xc - 1.0f;
  if (run.earlierMask) {
    // The earlier build knows only the circular section and leaves the mask
    // alone for any other format.
    if (!circular) return;
    run.free(kTerminal, {r0, xc, yc});
    circularMask(run, nx, ny, xc, yc, r0, secmask);
    return;
  }
  if (circular) {
    circularMask(run, nx, ny, xc, yc, r0, secmask);
    return;
  }
  // Rectangular section: the outermost ring of columns is outside.
  for (int j = 1; j <= ny; ++j)
    for (int i = 1; i <= nx; ++i)
      secmask[column(i, j)] = (i >= 2 && i <= nx - 1 && j >= 2 && j <= ny - 1) ? 1 : 0;
  for (int j = 1; j <= ny; ++j) {
    std::vector<FmtValue> row;
    for (int i = 1; i <= nx; ++i) row.emplace_back(secmask[column(i, j)] ? "T" : "F");
    run.put(kLog, drawing, row);
  }
}

}  // namespace ph
