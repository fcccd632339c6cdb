// Five statistics of a quantity over all cells in use: mean, standard
// deviation, mean absolute deviation, minimum and maximum. The sums are single
// precision and the visiting order (k, then i, then j innermost) fixes their
// rounding.
#pragma once

#include <cmath>

#include "model/model_state.h"

namespace ph {

struct Stats {
  float avg = 0, rms = 0, mad = 0, min = 0, max = 0;
};

// The sums of the mean concrete temperature: each cell's temperature weighted
// by the heat-production factor of its material, added cell by cell.
struct ConcreteSums {
  float sum = 0, weight = 0;  // of prod * T, and of prod
  // Adds cell c.
  void add(const IntField& imat, const MatTable& prod, const RealField& hnew, std::size_t c) {
    const float w = prod[imat[c]];
    sum += w * hnew[c];
    weight += w;
  }
};

Stats deviat(int nx, int ny, int nz, const RealField& field);
Stats xdeviat(int nx, int ny, int nz, const IntField& imat, const MatTable& table);

// The statistics of value(c) over the cells c in use, calling also(c) for
// each cell of the first pass, in its order: for passes over the field that
// can ride along with it.
template <typename ValueAt, typename Also>
Stats statistics(int nx, int ny, int nz, ValueAt value, Also also) {
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
        const std::size_t c = cell(i, j, k);
        const float v = value(c);
        sum += v;
        if (v < s.min) s.min = v;
        if (v > s.max) s.max = v;
        also(c);
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

// deviat with a pass riding along.
template <typename Also>
Stats deviatWith(int nx, int ny, int nz, const RealField& field, Also also) {
  return statistics(nx, ny, nz, [&](std::size_t c) { return field[c]; }, also);
}

}  // namespace ph
