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

// The other work that every update must do at the divider's side: its six
// neighbours and its old value widened from float to double, and the new
// value narrowed back. Nanoseconds per lane of a float-to-double conversion
// at each kernel's width (one register: 8, 4 or 2 lanes), the best of many
// short tries; independent conversions of one row in L1.
inline double nsPerConversion(Sweeper::Isa isa) {
  alignas(64) static float row[64] = {};
  const long rounds = 200000;
  double best = 1e300;
  for (int t = 0; t < 40; ++t) {
    const auto t0 = std::chrono::steady_clock::now();
    for (long r = 0; r < rounds; ++r) {
      if (isa == Sweeper::Isa::avx512)
        asm volatile(
            "vcvtps2pd (%0), %%zmm1\n vcvtps2pd 32(%0), %%zmm2\n vcvtps2pd 64(%0), %%zmm3\n"
            "vcvtps2pd 96(%0), %%zmm4\n vcvtps2pd 128(%0), %%zmm5\n vcvtps2pd 160(%0), %%zmm6\n"
            "vcvtps2pd 192(%0), %%zmm7\n vcvtps2pd 224(%0), %%zmm8"
            :
            : "r"(row)
            : "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8");
      else if (isa == Sweeper::Isa::avx2)
        asm volatile(
            "vcvtps2pd (%0), %%ymm1\n vcvtps2pd 16(%0), %%ymm2\n vcvtps2pd 32(%0), %%ymm3\n"
            "vcvtps2pd 48(%0), %%ymm4\n vcvtps2pd 64(%0), %%ymm5\n vcvtps2pd 80(%0), %%ymm6\n"
            "vcvtps2pd 96(%0), %%ymm7\n vcvtps2pd 112(%0), %%ymm8"
            :
            : "r"(row)
            : "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8");
      else
        asm volatile(
            "cvtps2pd (%0), %%xmm1\n cvtps2pd 8(%0), %%xmm2\n cvtps2pd 16(%0), %%xmm3\n"
            "cvtps2pd 24(%0), %%xmm4\n cvtps2pd 32(%0), %%xmm5\n cvtps2pd 40(%0), %%xmm6\n"
            "cvtps2pd 48(%0), %%xmm7\n cvtps2pd 56(%0), %%xmm8"
            :
            : "r"(row)
            : "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8");
    }
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  const int width = isa == Sweeper::Isa::avx512 ? 8 : isa == Sweeper::Isa::avx2 ? 4 : 2;
  return best * 1e9 / (double(rounds) * 8 * width);
}

}  // namespace ph::bench
