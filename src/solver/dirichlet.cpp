#include "solver/dirichlet.h"

#include <cmath>

#include "model/weather.h"

namespace ph {

namespace {

// getbctemp, its terminal lines written where `run` is given.
float seriesAt(Run* run, int b, int n, const float (&bcser)[bndcap + 1][sercap + 1][3], float t) {
  auto time = [&](int p) { return bcser[b][p][1]; };
  auto temp = [&](int p) { return bcser[b][p][2]; };
  if (!(t < time(n))) {
    if (run) run->free(kTerminal, {"AT 1", t, time(n)});
    return temp(n);
  }
  if (n == 1) return temp(1);
  for (int p = 2; p <= n; ++p) {
    const double d1 = std::fabs(double(t) - double(time(p - 1)));
    const double d2 = std::fabs(double(t) - double(time(p)));
    if (d1 * d2 <= 300.0) {
      const float result = d2 < d1 ? temp(p) : temp(p - 1);
      if (run) run->free(kTerminal, {"GET BCTEMP EXACT:", t, result});
      return result;
    }
    if (time(p - 1) <= t && t <= time(p)) {
      // (T1/d1^2 + T2/d2^2) / (1/d1^2 + 1/d2^2), divided as it reads: a
      // product with the reciprocal may differ in the last bit.
      const double s1 = d1 * d1, s2 = d2 * d2;
      return static_cast<float>((double(temp(p - 1)) / s1 + double(temp(p)) / s2) / (1.0 / s1 + 1.0 / s2));
    }
  }
  // Before the first point by more than the tolerance (or a series whose
  // times do not increase): the series has not started, so its first
  // temperature holds.
  return temp(1);
}

}  // namespace

float getbctemp(Run& run, int b, int n, const float (&bcser)[bndcap + 1][sercap + 1][3], float t) {
  return seriesAt(&run, b, n, bcser, t);
}

bool seriesTemperature(const ModelState& s, int m, float t, float& value) {
  if (const Weather* weather = s.physics.weather.empty() ? nullptr : weatherOf(s.physics, m)) {
    value = static_cast<float>(weatherAt(*weather, t).air);
    return true;
  }
  for (int b = bndcap; b >= 1; --b)  // the last, as ttdirich writes them in order
    if (s.bcp[b][1] == m && s.bcp[b][2] > 0) {
      value = seriesAt(nullptr, b, s.bcp[b][2], s.bcser, t);
      return true;
    }
  return false;
}

void ttdirich(Run& run, const ModelState& s, float t, RealField& h) {
  const int nx = s.nx, ny = s.ny, nz = s.nz;
  auto n = [&](int code) { return s.bound[code - 1] == 'N'; };
  const bool faceMode = n(2) && n(3) && (n(1) || n(4));
  for (int b = 1; b <= bndcap; ++b) {
    const int mb = s.bcp[b][1];
    // A material that follows a weather file takes its air instead of the series.
    const Weather* weather = s.physics.weather.empty() ? nullptr : weatherOf(s.physics, mb);
    if (s.bcp[b][2] <= 0 && !weather) continue;
    const float tb = weather ? static_cast<float>(weatherAt(*weather, t).air) : getbctemp(run, b, s.bcp[b][2], s.bcser, t);
    auto set = [&](int i, int j, int k) {
      const std::size_t c = cell(i, j, k);
      if (s.imat[c] == mb) h[c] = tb;
    };
    auto outside = [&](int i, int j) { return s.secmask[column(i, j)] == 0; };
    if (faceMode) {
      if (!n(1))  // face j = 1
        for (int k = 2; k <= nz - 1; ++k)
          for (int i = 1; i <= nx; ++i)
            if (outside(i, 1)) set(i, 1, k);
      if (!n(4))  // face i = 1
        for (int k = 2; k <= nz - 1; ++k)
          for (int j = 1; j <= ny; ++j)
            if (outside(1, j)) set(1, j, k);
    } else {
      for (int k = 2; k <= nz - 1; ++k)
        for (int j = 1; j <= ny; ++j)
          for (int i = 1; i <= nx; ++i)
            if (outside(i, j)) set(i, j, k);
    }
    if (!n(5))
      for (int j = 1; j <= ny; ++j)
        for (int i = 1; i <= nx; ++i) set(i, j, 1);
    if (!n(6))
      for (int j = 1; j <= ny; ++j)
        for (int i = 1; i <= nx; ++i) set(i, j, nz);
  }
}

}  // namespace ph
