#include "hydration/field.h"

#include <algorithm>

namespace ph {

float getctemp(Run& run, int nx, int ny, int nz, const IntField& imat, const MatTable& prod,
               const RealField& hnew) {
  return concreteTemperature(run, nx, ny, nz, concreteSums(nx, ny, nz, imat, prod, hnew), hnew);
}

ConcreteSums concreteSums(int nx, int ny, int nz, const IntField& imat, const MatTable& prod,
                          const RealField& hnew) {
  ConcreteSums sums;
  for (int i = 2; i <= nx - 1; ++i)
    for (int j = 2; j <= ny - 1; ++j)
      for (int k = 2; k <= nz - 1; ++k) sums.add(imat, prod, hnew, cell(i, j, k));
  return sums;
}

float concreteTemperature(Run& run, int nx, int ny, int nz, const ConcreteSums& sums, const RealField& hnew) {
  float tconc;
  if (sums.weight != 0.0f) {
    tconc = sums.sum / sums.weight;
  } else {
    // No heat-producing cell inside: the plain mean of the interior, or of
    // every cell when the grid has no interior.
    const bool interior = nx >= 3 && ny >= 3 && nz >= 3;
    const int lo = interior ? 2 : 1;
    float plain = 0.0f, count = 0.0f;
    for (int i = lo; i <= (interior ? nx - 1 : nx); ++i)
      for (int j = lo; j <= (interior ? ny - 1 : ny); ++j)
        for (int k = lo; k <= (interior ? nz - 1 : nz); ++k) {
          plain += hnew[cell(i, j, k)];
          count += 1.0f;
        }
    tconc = plain / count;
  }
  run.free(kLog, {"mean concrete temperature=", tconc});
  return tconc;
}

void hupdate(int nx, int ny, int nz, RealField& hold, const RealField& hnew) {
  for (int k = 1; k <= nz; ++k)
    for (int j = 1; j <= ny; ++j) {
      const std::size_t c = cell(1, j, k);
      std::copy(hnew.begin() + c, hnew.begin() + c + nx, hold.begin() + c);
    }
}

}  // namespace ph
