// Mathematical functions of single-precision values, evaluated in double and
// rounded once to single. The C library's float versions may miss the
// correctly rounded value by an ulp, differently from machine to machine, and
// a run drifts from there; the double versions rounded once agree.
// (A float square root is exact everywhere and needs no helper.)
#pragma once

#include <cmath>

namespace ph::single {

inline float exp(float x) { return static_cast<float>(std::exp(static_cast<double>(x))); }
inline float log10(float x) { return static_cast<float>(std::log10(static_cast<double>(x))); }
inline float cos(float x) { return static_cast<float>(std::cos(static_cast<double>(x))); }
inline float pow(float x, float y) {
  return static_cast<float>(std::pow(static_cast<double>(x), static_cast<double>(y)));
}

}  // namespace ph::single
