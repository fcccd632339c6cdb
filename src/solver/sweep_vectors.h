// The vectors of the sweep's kernels: eight lanes of doubles for the
// formula and of floats (and their bits) for the field, and the same in the
// processor's own width per instruction set. Every helper is always inlined
// into the kernels, which are built once per instruction set.
#pragma once

// No vector crosses a call, so the ABI notes about passing wide vectors do
// not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "solver/cell_formula.h"
#include "solver/sweep_isa.h"

namespace ph::simd {

constexpr int lanes = 8;

// Eight lanes: doubles for the formula, floats (and their bits) for the field.
typedef double vd __attribute__((vector_size(8 * lanes)));
typedef float vf __attribute__((vector_size(4 * lanes)));
typedef int vi __attribute__((vector_size(4 * lanes)));

template <typename T>
PH_INLINE vi load32(const T* p) {
  static_assert(sizeof(T) == 4);
  vi v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <typename T>
PH_INLINE void store32(T* p, vi v) {
  static_assert(sizeof(T) == 4);
  std::memcpy(p, &v, sizeof v);
}
typedef float vfu __attribute__((vector_size(4 * lanes), aligned(4)));  // unaligned
PH_INLINE vf loadf(const float* p) { return *reinterpret_cast<const vfu*>(p); }
PH_INLINE vd loadd(const double* p) {
  vd v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
PH_INLINE void stored(double* p, vd v) { std::memcpy(p, &v, sizeof v); }
// A shuffle, which GCC makes one broadcast, where it builds {x, x, ...} lane
// by lane.
PH_INLINE vd splat(double x) {
  const vd v = {x};
  return __builtin_shufflevector(v, v, 0, 0, 0, 0, 0, 0, 0, 0);
}
// Instruction sets, as template arguments of the kernels.
enum KernelIsa { isaGeneric = int(SweepIsa::generic), isaAvx2 = int(SweepIsa::avx2), isaAvx512 = int(SweepIsa::avx512) };

typedef float vf4u __attribute__((vector_size(16), aligned(4)));
typedef double vd4 __attribute__((vector_size(32)));

// Eight floats from p, as doubles. GCC (12) builds this conversion from
// halves, or from single lanes; one instruction (two with AVX2) does it.
template <int Isa>
PH_INLINE vd widenAt(const float* p) {
#if defined(__GNUC__) && !defined(__clang__)
  if constexpr (Isa == isaAvx512) {
    vd r;
    asm("vcvtps2pd %1, %0" : "=v"(r) : "m"(*reinterpret_cast<const vfu*>(p)));
    return r;
  } else if constexpr (Isa == isaAvx2) {
    vd4 lo, hi;
    asm("vcvtps2pd %1, %0" : "=x"(lo) : "m"(*reinterpret_cast<const vf4u*>(p)));
    asm("vcvtps2pd %1, %0" : "=x"(hi) : "m"(*reinterpret_cast<const vf4u*>(p + 4)));
    return __builtin_shufflevector(lo, hi, 0, 1, 2, 3, 4, 5, 6, 7);
  }
#endif
  return __builtin_convertvector(loadf(p), vd);
}

// Out of line, so that GCC does not build the common broadcast below lane by
// lane as it builds this.
inline __attribute__((noinline)) void gatherEach(const double* table, const std::uint8_t* m, double* out) {
  for (int l = 0; l < lanes; ++l) out[l] = table[m[l]];
}

// table[m] for eight material numbers m; one load when they agree, as they
// do away from the faces between materials.
PH_INLINE vd gather(const double* table, const std::uint8_t* m) {
  std::uint64_t w;
  std::memcpy(&w, m, sizeof w);
  if (__builtin_expect(w == (w & 0xff) * 0x0101010101010101ull, 1)) return splat(table[w & 0xff]);
  double lanes8[lanes];
  gatherEach(table, m, lanes8);
  return loadd(lanes8);
}

// The updates run in the processor's own vector width: L lanes of doubles
// (8 with AVX-512, 4 with AVX2, 2 otherwise), so that every vector of the
// formula is one register. A run of eight cells is L cells at a time.
template <int N> struct VecOf;
#define PH_VEC(N)                                                              \
  template <> struct VecOf<N> {                                                \
    typedef double d __attribute__((vector_size(8 * N)));                      \
    typedef float f __attribute__((vector_size(4 * N)));                       \
    typedef int i __attribute__((vector_size(4 * N)));                         \
    typedef float fu __attribute__((vector_size(4 * N), aligned(4)));          \
    typedef double du __attribute__((vector_size(8 * N), aligned(8)));         \
    typedef int iu __attribute__((vector_size(4 * N), aligned(4)));            \
  };
PH_VEC(2)
PH_VEC(4)
PH_VEC(8)
#undef PH_VEC

template <int Isa>
struct Width {
  static constexpr int L = Isa == isaAvx512 ? 8 : Isa == isaAvx2 ? 4 : 2;
  using d = typename VecOf<L>::d;
  using f = typename VecOf<L>::f;
  using i = typename VecOf<L>::i;
  using fu = typename VecOf<L>::fu;  // unaligned
  using du = typename VecOf<L>::du;
  using iu = typename VecOf<L>::iu;

  static PH_INLINE f loadf(const float* p) { return *reinterpret_cast<const fu*>(p); }
  static PH_INLINE d loadd(const double* p) { return *reinterpret_cast<const du*>(p); }
  static PH_INLINE i loadi(const int* p) { return *reinterpret_cast<const iu*>(p); }
  static PH_INLINE void storef(float* p, f v) { *reinterpret_cast<fu*>(p) = v; }
  static PH_INLINE f splatf(float x) { return f{} + x; }
  // GCC (12) builds these conversions from halves or single lanes; one
  // instruction does each.
  static PH_INLINE d widenAt(const float* p) {
#if defined(__GNUC__) && !defined(__clang__)
    d r;
    if constexpr (Isa == isaGeneric)
      asm("cvtps2pd %1, %0" : "=x"(r) : "m"(*reinterpret_cast<const std::uint64_t*>(p)));
    else
      asm("vcvtps2pd %1, %0" : "=v"(r) : "m"(*reinterpret_cast<const fu*>(p)));
    return r;
#else
    return __builtin_convertvector(loadf(p), d);
#endif
  }
  static PH_INLINE d widen(f v) {
#if defined(__GNUC__) && !defined(__clang__)
    d r;
    if constexpr (Isa == isaGeneric)
      asm("cvtps2pd %1, %0" : "=x"(r) : "x"(v));
    else
      asm("vcvtps2pd %1, %0" : "=v"(r) : "v"(v));
    return r;
#else
    return __builtin_convertvector(v, d);
#endif
  }
  static PH_INLINE f narrow(d v) { return __builtin_convertvector(v, f); }
  static PH_INLINE f absf(f v) { return (f)((i)v & 0x7fffffff); }

  typedef std::conditional_t<L == 8, std::uint64_t, std::conditional_t<L == 4, std::uint32_t, std::uint16_t>> word;
  // Whether the L bytes from m agree.
  static PH_INLINE bool agree(const std::uint8_t* m, word& w) {
    std::memcpy(&w, m, sizeof w);
    return w == word(word(w & 0xff) * word(0x0101010101010101ull));
  }
  // The denominators of L cells from the table that holds each material's
  // eight times over: one load of a row when the materials agree.
  static PH_INLINE d denomAt(const double* rows, const std::uint8_t* m) {
    word w;
    if (__builtin_expect(agree(m, w), 1)) return loadd(rows + lanes * (w & 0xff));
    return gatherLanes(rows, m, std::make_integer_sequence<int, L>{});
  }
  template <int... l>
  static PH_INLINE d gatherLanes(const double* rows, const std::uint8_t* m, std::integer_sequence<int, l...>) {
    return d{rows[lanes * m[l]]...};
  }
};

}  // namespace ph::simd
