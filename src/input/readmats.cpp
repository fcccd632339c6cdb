#include <cmath>

#include "input/keyword.h"
#include "input/reader.h"

namespace ph {

// Every cell must name a material that has a row in the tables.
static void checkMaterialIndices(Run& run, int nx, int ny, int nz, int nmat, const IntField& imat) {
  for (int k = 1; k <= nz; ++k)
    for (int j = 1; j <= ny; ++j)
      for (int i = 1; i <= nx; ++i) {
        const int m = imat[cell(i, j, k)];
        if (m < 1 || m > nmat)
          run.reject("Problem: cell (" + std::to_string(i) + "," + std::to_string(j) + "," +
                     std::to_string(k) + ") has material " + std::to_string(m) +
                     "; materials are numbered 1 to " + std::to_string(nmat) +
                     " (a layer whose section number has no section block keeps material 0)");
      }
}

void readmats(Run& run, int nx, int ny, int nz, int& nmat, const IntField& imat,
              MatTable& A, MatTable& prod, MatTable& sig) {
  fndstrg(run, kProject, "[Materials]", 0);
  nmat = getint(run, kProject, "terials=");
  if (nmat < 1 || nmat > matcap)
    run.reject("Problem: Materials= " + std::to_string(nmat) + " is outside 1 to " +
               std::to_string(matcap));
  float pmax = 0.0f;
  for (int m = 1; m <= nmat; ++m) {
    fndstrg(run, kProject, "aterial]", 0);
    sig[m] = getval(run, kProject, "conductivity=");
    A[m] = getval(run, kProject, "heat=");
    const float density = getval(run, kProject, "ensity=");
    A[m] = A[m] * density;
    if (!std::isfinite(A[m]))
      run.reject("Problem: heat= times density= of material " + std::to_string(m) +
                 " is not a finite number");
    prod[m] = getval(run, kProject, "production=");
    if (std::fabs(prod[m]) > std::fabs(pmax)) pmax = prod[m];
    run.free(kLog, {"Material ", m});
    run.free(kLog, {sig[m]});
    run.free(kLog, {A[m], density});
    run.free(kLog, {prod[m]});
    if (A[m] * sig[m] <= 0.0f) run.pause("material read error");
  }
  if (pmax == 0.0f) pmax = 0.001f;
  for (int m = 1; m <= nmat; ++m)
    if (prod[m] > 0.0f) prod[m] = prod[m] / pmax;

  checkMaterialIndices(run, nx, ny, nz, nmat, imat);
  for (int k = 1; k <= nz; ++k) {
    run.free(kTerminal, {"K=", k});
    for (int i = 1; i <= nx; ++i)
      for (int j = 1; j <= ny; ++j) {
        const int m = imat[cell(i, j, k)];
        if (sig[m] <= 0.0f) run.pause("readsec:sig=0");
        if (A[m] <= 0.0f) run.pause("readsec:A[]=0");
      }
  }
}

}  // namespace ph
