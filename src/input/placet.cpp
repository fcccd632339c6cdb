#include "input/reader.h"

namespace ph {

void placet(int nx, int ny, int nz, const IntField& imat, RealField& hnew, const MatTable& prod,
            float tplace, const int (&bcp)[bndcap + 1][4]) {
  for (int b = 1; b <= bndcap; ++b) {
    if (bcp[b][1] <= 0) continue;
    const int mb = bcp[b][1];
    const float tb = static_cast<float>(bcp[b][3]);
    const float d = tplace - tb;
    for (int k = 1; k <= nz; ++k)
      for (int i = 1; i <= nx; ++i)
        for (int j = 1; j <= ny; ++j) {
          const std::size_t c = cell(i, j, k);
          const int m = imat[c];
          if (m == mb)
            hnew[c] = tb;
          else if (prod[m] > 0.0f)
            hnew[c] = tb + prod[m] * d;
        }
  }
}

}  // namespace ph
