#include "solver/conductance.h"

#include <algorithm>
#include <atomic>

namespace ph {

namespace {

bool inPlane(const ConductanceInputs& in, int i, int j, int k, int code) {
  switch (code) {
    case 0: return i == 1;
    case 1: return j == in.ny;
    case 2: return i == in.nx;
    case 3: return j == 1;
    case 4: return k == 1;
    default: return k == in.nz;
  }
}

double sizeAcross(const ConductanceInputs& in, Face f) {
  const int axis = int(f) / 2;
  return axis == 0 ? double(in.dx) : axis == 1 ? double(in.dy) : double(in.dz);
}

int materialOf(const ConductanceInputs& in, int i, int j, int k) {
  const int m = (*in.imat)[cell(i, j, k)];
  return m >= 0 && m <= matcap ? m : 0;
}

// d / (2 k) of the cell's own material.
double halfCell(const ConductanceInputs& in, int i, int j, int k, double d) {
  return d / (2.0 * double((*in.sig)[materialOf(in, i, j, k)]));
}

// Both sides of face f of computed cell (i, j, k): their resistances to the
// face and the cell whose temperature stands on the far side.
struct Sides {
  double d, Rc, Rn;
  std::size_t near, far;
  int filmOf;  // the material whose film stands for the far side; 0: none
};

Sides sides(const ConductanceInputs& in, int i, int j, int k, Face f) {
  const FaceStep s = kFaceSteps[int(f)];
  const int ni = i + s.di, nj = j + s.dj, nk = k + s.dk;
  Sides out;
  out.d = sizeAcross(in, f);
  out.Rc = halfCell(in, i, j, k, out.d);
  out.near = cell(i, j, k);
  out.far = cell(ni, nj, nk);
  // A mirror plane stands for the cell on the other side.
  int mi = ni, mj = nj, mk = nk;
  if (in.bound[s.code] == 'N' && inPlane(in, ni, nj, nk, s.code)) mi = i - s.di, mj = j - s.dj, mk = k - s.dk;
  const int m = materialOf(in, mi, mj, mk);
  const double h = in.film ? double((*in.film)[m]) : 0.0;
  out.filmOf = h > 0.0 && !computedCell(in, mi, mj, mk) ? m : 0;
  out.Rn = out.filmOf ? 1.0 / h + (in.cover ? double((*in.cover)[m]) : 0.0) : halfCell(in, mi, mj, mk, out.d);
  return out;
}

double weightOf(const Sides& s) { return 1.0 / (s.d * (s.Rc + s.Rn)); }

std::atomic<std::uint64_t> lastStamp{0};

}  // namespace

bool computedCell(const ConductanceInputs& in, int i, int j, int k) {
  return i >= 2 && i <= in.nx - 1 && j >= 2 && j <= in.ny - 1 && k >= 2 && k <= in.nz - 1 &&
         (*in.secmask)[column(i, j)] != 0 && !(in.held && (*in.held)[materialOf(in, i, j, k)]);
}

double Conductances::weight(int i, int j, int k, Face f) const {
  const FaceStep s = kFaceSteps[int(f)];
  const bool minus = int(f) % 2 == 0;
  const std::size_t c = minus ? cell(i + s.di, j + s.dj, k + s.dk) : cell(i, j, k);
  const std::vector<double>& w = int(f) / 2 == 0 ? plusI : int(f) / 2 == 1 ? plusJ : plusK;
  return w[c];
}

void formConductances(const ConductanceInputs& in, Conductances& out) {
  out.nx = in.nx, out.ny = in.ny, out.nz = in.nz;
  const std::size_t size = std::size_t(std::max(in.nz, 0)) * ijcap * ijcap;
  for (std::vector<double>* w : {&out.plusI, &out.plusJ, &out.plusK}) w->assign(size, 0.0);
  std::vector<double>* plus[3] = {&out.plusI, &out.plusJ, &out.plusK};
  out.filmFaces.assign(kMaterialSlots, {});
  for (int k = 1; k <= in.nz; ++k)
    for (int j = 1; j <= in.ny; ++j)
      for (int i = 1; i <= in.nx; ++i)
        for (int axis = 0; axis < 3; ++axis) {
          const Face up = Face(2 * axis + 1), down = Face(2 * axis);
          const FaceStep s = kFaceSteps[int(up)];
          const int ni = i + s.di, nj = j + s.dj, nk = k + s.dk;
          if (ni > in.nx || nj > in.ny || nk > in.nz) continue;
          double w = 0.0;
          const bool near = computedCell(in, i, j, k);
          if (near || computedCell(in, ni, nj, nk)) {
            const Sides face = near ? sides(in, i, j, k, up) : sides(in, ni, nj, nk, down);
            w = weightOf(face);
            if (face.filmOf)
              out.filmFaces[face.filmOf].push_back(
                  near ? FilmFace{i, j, k, up, axis, cell(i, j, k)} : FilmFace{ni, nj, nk, down, axis, cell(i, j, k)});
          }
          (*plus[axis])[cell(i, j, k)] = w;
        }
  out.stamp = ++lastStamp;
}

void setFilm(ModelState& s, const ConductanceInputs& in, Conductances& w, int m, float h, float r) {
  if (s.physics.film[m] == h && s.physics.cover[m] == r) return;
  s.physics.film[m] = h;
  s.physics.cover[m] = r;
  if (w.filmFaces.empty()) return;  // legacy conduction: no weights
  std::vector<double>* plus[3] = {&w.plusI, &w.plusJ, &w.plusK};
  for (const FilmFace& f : w.filmFaces[m]) (*plus[f.axis])[f.at] = weightOf(sides(in, f.i, f.j, f.k, f.f));
  w.stamp = ++lastStamp;
}

double faceTemperature(const ConductanceInputs& in, const RealField& h, int i, int j, int k, Face f) {
  const Sides s = sides(in, i, j, k, f);
  return (double(h[s.near]) / s.Rc + double(h[s.far]) / s.Rn) / (1.0 / s.Rc + 1.0 / s.Rn);
}

bool mirrorCopy(const ConductanceInputs& in, int i, int j, int k, Face f) {
  const FaceStep s = kFaceSteps[int(f)];
  return in.bound[s.code] == 'N' && inPlane(in, i + s.di, j + s.dj, k + s.dk, s.code);
}

double cellShare(const ConductanceInputs& in, int i, int j, int k) {
  if (!computedCell(in, i, j, k)) return 0.0;
  double share = 1.0;
  for (const FaceStep& s : kFaceSteps)
    if (in.bound[s.code] == 'N' && inPlane(in, i + s.di, j + s.dj, k + s.dk, s.code)) share *= 0.5;
  return share;
}

}  // namespace ph
