// How fast this processor divides doubles at each kernel's vector width: the
// floor under the sweep, whose every update needs a few divisions that no
// other operation may replace (the results must stay the same bits).
//
// Several independent chains of eight-lane divisions x = x / d, in the same
// vector type as the kernels and built for the same instruction sets, so that
// the divider, not the latency of one division, sets the pace.
#pragma once

#include <algorithm>
#include <chrono>

#include "solver/sweep.h"

#pragma GCC diagnostic ignored "-Wpsabi"

namespace ph::bench {

typedef double vd8 __attribute__((vector_size(64)));

template <int Chains>
inline __attribute__((always_inline)) double divideChains(long rounds, double d) {
  vd8 x[Chains];
  for (int c = 0; c < Chains; ++c)
    for (int l = 0; l < 8; ++l) x[c][l] = 1.0 + 0.01 * c + 0.001 * l;
  const vd8 dv = {d, d, d, d, d, d, d, d};
  for (long r = 0; r < rounds; ++r)
    for (int c = 0; c < Chains; ++c) x[c] = x[c] / dv;
  double sum = 0;
  for (int c = 0; c < Chains; ++c)
    for (int l = 0; l < 8; ++l) sum += x[c][l];
  return sum;
}

#define PH_DIVIDE(NAME, ATTR) \
  ATTR inline double NAME(long rounds, double d) { return divideChains<8>(rounds, d); }
PH_DIVIDE(divideAvx512, __attribute__((target("avx512f,avx512vl,avx512dq,avx512bw"))))
PH_DIVIDE(divideAvx2, __attribute__((target("avx2"))))
PH_DIVIDE(divideGeneric, )
#undef PH_DIVIDE

// Nanoseconds per division of one lane, the best of many short tries (a few
// milliseconds each), so that a busy machine shows in fewer of them.
inline double nsPerDivision(Sweeper::Isa isa) {
  double (*divide)(long, double) = isa == Sweeper::Isa::avx512 ? divideAvx512
                                   : isa == Sweeper::Isa::avx2 ? divideAvx2
                                                               : divideGeneric;
  const long rounds = 50000;
  double best = 1e300, sink = 0;
  for (int t = 0; t < 40; ++t) {
    const auto t0 = std::chrono::steady_clock::now();
    sink += divide(rounds, 1.0000001);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    best = std::min(best, s);
  }
  asm volatile("" : : "r"(sink));
  return best * 1e9 / (double(rounds) * 8 * 8);
}

}  // namespace ph::bench
