// The instruction sets the sweep's kernels are built for, each in its own
// vector width, and which of them the processor offers.
#pragma once

namespace ph {

enum class SweepIsa { generic, avx2, avx512 };

inline bool hasAvx512() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
         __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512bw");
}
inline bool hasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

}  // namespace ph
