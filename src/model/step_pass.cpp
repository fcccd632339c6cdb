#include "model/step_pass.h"

namespace ph {

StepFigures afterStep(int nx, int ny, int nz, const IntField& imat, const MatTable& prod,
                      const RealField& hnew, RealField& hold, bool concrete) {
  StepFigures f;
  // getctemp's cell (i, j, k innermost, over the interior), one for each
  // cell of deviat's first pass; the interior runs out first.
  bool left = concrete && nx >= 3 && ny >= 3 && nz >= 3;
  int i = 2, j = 2, k = 2;
  f.st = deviatWith(nx, ny, nz, hnew, [&](std::size_t c) {
    hold[c] = hnew[c];
    if (!left) return;
    const std::size_t at = cell(i, j, k);
    f.concrete.add(imat, prod, hnew, at);
    // getctemp's order strides through memory; the cells it takes a column
    // later (next j, same k) are fetched now.
    __builtin_prefetch(&hnew[at + ijcap]);
    __builtin_prefetch(&imat[at + ijcap]);
    if (++k > nz - 1) {
      k = 2;
      if (++j > ny - 1) {
        j = 2;
        if (++i > nx - 1) left = false;
      }
    }
  });
  return f;
}

}  // namespace ph
