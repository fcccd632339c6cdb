#include "results/concrete.h"

#include <cstdarg>
#include <cstdio>
#include <limits>

#include "results/results.h"

namespace ph {
namespace {

CellIndex cellOf(std::size_t c) {
  const int i = int(c % ijcap) + 1;
  const int j = int(c / ijcap % ijcap) + 1;
  const int k = int(c / (std::size_t(ijcap) * ijcap)) + 1;
  return {i, j, k};
}

std::string printed(const char* format, ...) {
  char buf[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  return buf;
}

std::string cellText(const CellIndex& c) { return printed("(%d,%d,%d)", c.i, c.j, c.k); }

}  // namespace

ConcreteFigures concreteFigures(int nx, int ny, int nz, const IntField& imat, const MatTable& prod,
                                const std::array<char, 6>& bound, const RealField& hnew) {
  // A mirror face's plane only repeats a plane inside: it is not concrete of
  // its own. Positions: 1 i = 1, 2 j = ny, 3 i = nx, 4 j = 1, 5 k = 1, 6 k = nz.
  const int ilo = bound[0] == 'N' ? 2 : 1, ihi = bound[2] == 'N' ? nx - 1 : nx;
  const int jlo = bound[3] == 'N' ? 2 : 1, jhi = bound[1] == 'N' ? ny - 1 : ny;
  const int klo = bound[4] == 'N' ? 2 : 1, khi = bound[5] == 'N' ? nz - 1 : nz;
  float hi = -std::numeric_limits<float>::infinity();
  float lo = std::numeric_limits<float>::infinity();
  std::size_t hot = 0, cold = 0;
  double sum = 0.0;
  long long n = 0;
  for (int k = klo; k <= khi; ++k)
    for (int j = jlo; j <= jhi; ++j) {
      const std::size_t row = cell(1, j, k);
      for (std::size_t c = row + std::size_t(ilo - 1); c < row + std::size_t(ihi); ++c) {
        if (!(prod[imat[c]] > 0.0f)) continue;
        const float t = hnew[c];
        if (t > hi) hi = t, hot = c;
        if (t < lo) lo = t, cold = c;
        sum += t;
        ++n;
      }
    }
  ConcreteFigures f;
  f.cells = n;
  if (n == 0) return f;
  f.max = hi;
  f.min = lo;
  f.mean = float(sum / double(n));
  f.hottest = cellOf(hot);
  f.coldest = cellOf(cold);
  return f;
}

void writeConcreteHeader(Run& run) {
  run.files.writeLines(kConcrete, {"time_h,max_C,max_i,max_j,max_k,min_C,min_i,min_j,min_k,diff_C,mean_C"});
}

void writeConcreteLine(Run& run, float time, const ConcreteFigures& f, ConcreteRecord& record) {
  if (f.cells == 0) return;
  const float diff = f.max - f.min;
  run.files.writeLines(kConcrete, {printed("%.3f,%.3f,%d,%d,%d,%.3f,%d,%d,%d,%.3f,%.3f", time / 3600.0f,
                                           f.max, f.hottest.i, f.hottest.j, f.hottest.k, f.min, f.coldest.i,
                                           f.coldest.j, f.coldest.k, diff, f.mean)});
  const bool first = record.steps == 0;
  ++record.steps;
  record.cells = f.cells;
  if (first || f.max > record.peak) {
    record.peak = f.max;
    record.peakTime = time;
    record.peakCell = f.hottest;
  }
  if (first || diff > record.diff) {
    record.diff = diff;
    record.diffTime = time;
    record.diffHot = f.hottest;
    record.diffCold = f.coldest;
  }
}

void writeConcreteSummary(Run& run, const ConcreteRecord& r, const std::vector<std::string>& files) {
  std::vector<std::string> lines;
  if (r.steps == 0) {
    lines.push_back("Summary: no concrete temperatures (no step, or no cell that produces heat)");
  } else {
    lines.push_back(printed("Summary of the concrete (%lld cells):", r.cells));
    lines.push_back(printed("peak %.3f C (%.1f F) at %.3f h in cell ", r.peak, cf(r.peak),
                            r.peakTime / 3600.0f) + cellText(r.peakCell));
    lines.push_back(printed("largest difference %.3f C (%.1f F) at %.3f h between ", r.diff, r.diff * 1.8f,
                            r.diffTime / 3600.0f) + cellText(r.diffHot) + " and " + cellText(r.diffCold));
  }
  // The names wrap onto further lines as free-form items do; the views
  // below point into `padded`, which outlives them.
  std::vector<std::string> padded;
  for (const std::string& name : files) padded.push_back(" " + name);
  std::vector<FmtValue> names{"result files:"};
  for (const std::string& name : padded) names.emplace_back(name);
  for (const int unit : {kTerminal, kLog}) {
    for (const std::string& line : lines) run.free(unit, {line});
    run.free(unit, names);
  }
}

}  // namespace ph
