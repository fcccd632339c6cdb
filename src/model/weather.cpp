#include "model/weather.h"

#include <algorithm>
#include <cmath>

namespace ph {

WeatherSample weatherAt(const Weather& w, double t) {
  const std::vector<double>& time = w.time;
  // The row at or before t, held to the rows there are.
  const std::size_t next = std::size_t(std::upper_bound(time.begin(), time.end(), t) - time.begin());
  const std::size_t a = next == 0 ? 0 : std::min(next - 1, time.size() - 1);
  const std::size_t b = std::min(a + 1, time.size() - 1);
  const double f = b == a ? 0.0 : std::clamp((t - time[a]) / (time[b] - time[a]), 0.0, 1.0);
  auto line = [&](const std::vector<double>& v) { return v.empty() ? 0.0 : v[a] + f * (v[b] - v[a]); };
  return {line(w.air), line(w.wind), line(w.solar)};
}

double windFilm(double v) { return v <= 5.0 ? 5.6 + 4.0 * v : 7.2 * std::pow(v, 0.78); }

double windOfHour(const Weather& w, double t) { return weatherAt(w, 3600.0 * std::floor(t / 3600.0)).wind; }

const Weather* weatherOf(const PhysicsOptions& p, int m) {
  for (const Weather& w : p.weather)
    if (w.material == m) return &w;
  return nullptr;
}

}  // namespace ph
