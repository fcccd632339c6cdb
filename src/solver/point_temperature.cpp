#include "solver/point_temperature.h"

#include <cmath>

namespace ph {

namespace {

constexpr double kSnap = 1.0e-5;  // cells

}  // namespace

PointSite placePoint(const ConductanceInputs& in, const MatTable& prod, double x, double y, double z) {
  const double p[3] = {x, y, z}, size[3] = {in.dx, in.dy, in.dz};
  const int n[3] = {in.nx, in.ny, in.nz};
  PointSite site;
  // Along each axis the cells the point lies in: one, or two on a face.
  int first[3], last[3];
  double u[3];
  for (int a = 0; a < 3; ++a) {
    u[a] = p[a] / size[a];
    const double half = std::round(2.0 * u[a]) / 2.0;
    if (std::fabs(u[a] - half) <= kSnap) u[a] = half;
    if (!(u[a] >= 0.0 && u[a] <= n[a])) return site;
    const double below = std::floor(u[a]);
    first[a] = u[a] == below ? int(below) : int(below) + 1;
    last[a] = int(below) + 1;
    if (first[a] < 1) first[a] = 1;
    if (last[a] > n[a]) last[a] = n[a];
  }
  site.fit = PointSite::Fit::notComputed;
  site.i = first[0], site.j = first[1], site.k = first[2];
  bool found = false, producing = false;
  for (int k = first[2]; k <= last[2]; ++k)
    for (int j = first[1]; j <= last[1]; ++j)
      for (int i = first[0]; i <= last[0]; ++i) {
        if (!computedCell(in, i, j, k)) continue;
        const bool makesHeat = prod[(*in.imat)[cell(i, j, k)]] > 0.0f;
        if (found && (producing || !makesHeat)) continue;
        found = true, producing = makesHeat;
        site.i = i, site.j = j, site.k = k;
      }
  if (!found) return site;
  site.fit = PointSite::Fit::computed;
  const int c[3] = {site.i, site.j, site.k};
  for (int a = 0; a < 3; ++a) site.offset[a] = u[a] - (c[a] - 0.5);
  return site;
}

double pointTemperature(const ConductanceInputs& in, const RealField& h, const PointSite& at) {
  const std::size_t c = cell(at.i, at.j, at.k);
  const int own = (*in.imat)[c];
  const double Tc = h[c];
  double T = Tc;
  for (int a = 0; a < 3; ++a) {
    const double off = at.offset[a];
    if (off == 0.0) continue;
    const int sign = off > 0.0 ? 1 : -1;
    Face face = Face(2 * a + (sign > 0));
    // Toward a mirror face's copy the point reads as its image on the other
    // side of c: toward the cell the copy stands for, across that face.
    const bool image = mirrorCopy(in, at.i, at.j, at.k, face);
    if (image) face = Face(2 * a + (sign < 0));
    const int step = image ? -sign : sign;
    const int ni = at.i + (a == 0) * step, nj = at.j + (a == 1) * step, nk = at.k + (a == 2) * step;
    const std::size_t nc = cell(ni, nj, nk);
    if (computedCell(in, ni, nj, nk) && (*in.imat)[nc] == own)
      T += (double(h[nc]) - Tc) * std::fabs(off);
    else
      T += (faceTemperature(in, h, at.i, at.j, at.k, face) - Tc) * 2.0 * std::fabs(off);
  }
  return T;
}

}  // namespace ph
