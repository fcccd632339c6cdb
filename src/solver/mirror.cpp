#include "solver/mirror.h"

namespace ph {

void boundary(int nx, int ny, int nz, const FaceCodes& bound, RealField& h) {
  copyMirrorFaces(nx, ny, nz, bound, h.data(), [](int i, int j, int k) { return cell(i, j, k); });
}

void edgeloop(RealField& h, int i1, int i2, int j1, int j2, int k1, int k2, int d, int a1, int a2,
              int a3, int a4) {
  for (int i = i1; i <= i2; ++i)
    for (int j = j1; j <= j2; ++j)
      for (int k = k1; k <= k2; ++k) {
        double first, second;
        if (d == 3) {
          first = h[cell(a1, a2, k)];
          second = h[cell(a3, a4, k)];
        } else if (d == 2) {
          first = h[cell(a1, j, a2)];
          second = h[cell(a3, j, a4)];
        } else {
          first = h[cell(i, a1, a2)];
          second = h[cell(i, a3, a4)];
        }
        h[cell(i, j, k)] = static_cast<float>((first + second) / 2.0);
      }
}

void nedge(int nx, int ny, int nz, const FaceCodes& bound, RealField& h) {
  auto n = [&](int face) { return bound[face - 1] == 'N'; };
  if (n(1) && n(2)) edgeloop(h, 1, 1, ny, ny, 1, nz, 3, 1, ny - 1, 2, ny);
  if (n(1) && n(4)) edgeloop(h, 1, 1, 1, 1, 1, nz, 3, 1, 2, 2, 1);
  if (n(1) && n(5)) edgeloop(h, 1, 1, 1, ny, 1, 1, 2, 1, 2, 2, 1);
  if (n(1) && n(6)) edgeloop(h, 1, 1, 1, ny, nz, nz, 2, 1, nz - 1, 2, nz);
  if (n(2) && n(3)) edgeloop(h, nx, nx, ny, ny, 1, nz, 3, nx, ny - 1, nx - 1, ny);
  if (n(2) && n(5)) edgeloop(h, 1, nx, ny, ny, 1, 1, 1, ny, 2, ny - 1, 1);
  if (n(2) && n(6)) edgeloop(h, 1, nx, ny, ny, nz, nz, 1, ny, nz - 1, ny - 1, nz);
  if (n(3) && n(4)) edgeloop(h, nx, nx, 1, 1, 1, nz, 3, nx, 2, nx - 1, 1);
  if (n(3) && n(5)) edgeloop(h, nx, nx, 1, ny, 1, 1, 2, nx, 2, nx - 1, 1);
  if (n(3) && n(6)) edgeloop(h, nx, nx, 1, ny, nz, nz, 2, nx, nz - 1, nx - 1, nz);
  if (n(4) && n(5)) edgeloop(h, 1, nx, 1, 1, 1, 1, 1, 1, 2, 2, 1);
  if (n(4) && n(6)) edgeloop(h, 1, nx, 1, 1, nz, nz, 1, 1, nz - 1, 2, nz);
}

}  // namespace ph
