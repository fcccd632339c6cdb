#include "model/stats.h"

#include <cmath>

namespace ph {

template <typename ValueAt>
static Stats statistics(int nx, int ny, int nz, ValueAt value) {
  Stats s;
  s.min = 1.0e21f;
  s.max = -1.0e20f;
  const long long n = static_cast<long long>(nx) * ny * nz;
  if (n <= 0) return s;
  const float nm1 = static_cast<float>(n - 1);
  const float count = nm1 + 1.0f;
  float sum = 0.0f;
  for (int k = 1; k <= nz; ++k)
    for (int i = 1; i <= nx; ++i)
      for (int j = 1; j <= ny; ++j) {
        const float v = value(cell(i, j, k));
        sum += v;
        if (v < s.min) s.min = v;
        if (v > s.max) s.max = v;
      }
  s.avg = sum / count;
  // One cell has no spread: both deviations are 0 rather than 0/0.
  if (n == 1) return s;
  float sq = 0.0f, ab = 0.0f;
  for (int k = 1; k <= nz; ++k)
    for (int i = 1; i <= nx; ++i)
      for (int j = 1; j <= ny; ++j) {
        const float d = value(cell(i, j, k)) - s.avg;
        sq += d * d;
        ab += std::fabs(d);
      }
  s.rms = static_cast<float>(std::sqrt(static_cast<double>(sq / nm1)));
  s.mad = ab / nm1;
  return s;
}

Stats deviat(int nx, int ny, int nz, const RealField& field) {
  return statistics(nx, ny, nz, [&](std::size_t c) { return field[c]; });
}

Stats xdeviat(int nx, int ny, int nz, const IntField& imat, const MatTable& table) {
  return statistics(nx, ny, nz, [&](std::size_t c) { return table[imat[c]]; });
}

}  // namespace ph
