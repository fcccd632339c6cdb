#include "solver/solar.h"

#include <algorithm>

#include "model/weather.h"

namespace ph {

namespace {

double sunFactor(Face f) { return f == Face::plusK ? 1.0 : f == Face::minusK ? 0.0 : kVerticalSunShare; }

}  // namespace

SolarGain::SolarGain(const PhysicsOptions& p) {
  for (const Weather& w : p.weather) any_ = any_ || !w.solar.empty();
}

void SolarGain::findFaces(const ModelState& s, const ConductanceInputs& in, const Conductances& w) {
  faces_.clear();
  if (w.filmFaces.empty()) return;
  for (const Weather& weather : s.physics.weather) {
    if (weather.solar.empty()) continue;
    for (const FilmFace& x : w.filmFaces[weather.material]) {
      // A mirror plane stands for the cell on the other side.
      const bool mirrored = mirrorCopy(in, x.i, x.j, x.k, x.f);
      const double factor = sunFactor(mirrored ? Face(int(x.f) ^ 1) : x.f);
      if (factor > 0.0)
        faces_.push_back({cell(x.i, x.j, x.k), x.i, x.j, x.k, x.f, weather.material, factor, cellShare(in, x.i, x.j, x.k)});
    }
  }
  std::sort(faces_.begin(), faces_.end(),
            [](const SunFace& a, const SunFace& b) { return a.c != b.c ? a.c < b.c : a.f < b.f; });
}

StepHeat SolarGain::add(const ModelState& s, const ConductanceInputs& in, const Conductances& w,
                        const StepHeat& heat, double mid, double dt) {
  joules_ = 0;
  if (!any_) return heat;
  if (stamp_ != w.stamp) {
    findFaces(s, in, w);
    stamp_ = w.stamp;
  }
  // a I / h of each material now (K).
  std::array<double, kMaterialSlots> rise{};
  bool shines = false;
  for (const Weather& weather : s.physics.weather) {
    const double h = (*in.film)[weather.material];
    if (weather.solar.empty() || !(h > 0.0)) continue;
    rise[weather.material] = s.physics.absorptivity * weatherAt(weather, mid).solar / h;
    shines = shines || rise[weather.material] > 0.0;
  }
  if (!shines || faces_.empty()) return heat;
  if (heat.cells) {
    field_ = *heat.cells;
  } else {
    field_.assign(cellCount, 0.0f);
    for (int k = 2; k <= in.nz - 1; ++k)
      for (int j = 2; j <= in.ny - 1; ++j)
        for (int i = 2; i <= in.nx - 1; ++i) {
          const std::size_t c = cell(i, j, k);
          field_[c] = heat.rate * s.prod[s.imat[c]];
        }
  }
  const double volume = double(s.dx) * double(s.dy) * double(s.dz);
  for (std::size_t n = 0; n < faces_.size();) {
    const SunFace& first = faces_[n];
    double q = 0;  // W/m3
    for (; n < faces_.size() && faces_[n].c == first.c; ++n) {
      const SunFace& x = faces_[n];
      q += w.weight(x.i, x.j, x.k, x.f) * x.factor * rise[x.material];
    }
    const float own = field_[first.c];
    field_[first.c] = static_cast<float>(double(own) + q);
    joules_ += first.share * (double(field_[first.c]) - double(own));
  }
  joules_ *= volume * dt;
  return {heat.rate, &field_};
}

}  // namespace ph
