#include "solver/sweep.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <thread>
#include <type_traits>
#include <utility>

// The vector helpers below are always inlined into the kernels, which are
// built once per instruction set; no vector crosses a call, so the ABI notes
// about passing wide vectors do not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

#define PH_INLINE inline __attribute__((always_inline))

namespace ph {

// One run of eight (or fewer) cells of a precomputed schedule: where its
// first cell lies in a layer, where the rows of the diagonals before and
// after it lie from there, where the cells fetched ahead lie in a layer, the
// number of lanes in use, which job of the call it belongs to, and which of
// its lanes are computed cells (bit l for lane l; set by prepare(), since the
// plan mask may change from step to step).
struct SweepRun {
  std::int32_t at;
  std::int16_t prv, nxt;
  std::int32_t ahead;
  std::int8_t count, job;
  std::uint8_t on;
};

namespace {

constexpr std::ptrdiff_t sy = ijcap;  // step to j+1 in a field
constexpr int W = Sweeper::rowPitch;
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
enum KernelIsa { isaGeneric, isaAvx2, isaAvx512 };

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
__attribute__((noinline)) void gatherEach(const double* table, const std::uint8_t* m, double* out) {
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

  // The denominators of L cells from the table that holds each material's
  // eight times over: one load of a row when the materials agree.
  static PH_INLINE d denomAt(const double* rows, const std::uint8_t* m) {
    typedef std::conditional_t<L == 8, std::uint64_t, std::conditional_t<L == 4, std::uint32_t, std::uint16_t>> word;
    word w;
    std::memcpy(&w, m, sizeof w);
    if (__builtin_expect(w == word(word(w & 0xff) * word(0x0101010101010101ull)), 1)) return loadd(rows + lanes * (w & 0xff));
    return gatherLanes(rows, m, std::make_integer_sequence<int, L>{});
  }
  template <int... l>
  static PH_INLINE d gatherLanes(const double* rows, const std::uint8_t* m, std::integer_sequence<int, l...>) {
    return d{rows[lanes * m[l]]...};
  }
};

// What every update of one sweep shares.
struct Shared {
  float* work;                // the field, sheared
  const std::uint8_t* mat;    // material of each computed cell, sheared (0 elsewhere)
  const double* oldTerm;      // per cell, sheared
  const double* oldLapl;      // per cell, sheared
  const double* denom;        // per material, each eight times over
  const int* active;          // per position of a layer
  const int* diagRow;         // diagonal (i-1)+(j-1) -> offset of its row in a layer
  std::ptrdiff_t layerSize;
  int nx, ny;
  double dx2, dy2, dz2, alpha, relax, relaxM1;
  // Bit 0, 1, 2 set where dx2, dy2, dz2 is a power of two whose reciprocal
  // is a normal number: dividing by it and multiplying by the reciprocal
  // give the same bits.
  unsigned powersOfTwo;
  double rx2, ry2, rz2;
  float tscale;
  // With a positive, finite tscale the division of each change by it can
  // wait: the quotient rises with the change, so the largest quotient is the
  // quotient of the largest change. Otherwise every change is divided.
  bool divideEach;
};

// Half of a pass over one layer, restricted to the columns ia..ib.
// A job that lags starts that many diagonals after the others of its call.
struct Job {
  int layer;
  int ia, ib;
  bool reflected;
  int lag = 0;
};

// Consecutive passes of a half run together, each one diagonal behind the one
// before it: an update reads the layer below (above, in the reflected half)
// at its own column, which the pass before has finished by then, and the
// layer above it, which the pass after has not reached yet. The passes give
// independent chains of updates, which keep the divider busy where one
// pass's diagonals are short.
constexpr int group = 2;
constexpr int maxJobs = 2 * group;

// How many diagonals ahead the rows a pass will need are fetched.
constexpr int prefetchAhead = 3;

// sum / d2, or sum * r2 where that gives the same bits (bit B of P).
template <unsigned P, unsigned B, typename V>
PH_INLINE V over(V sum, double d2, double r2) {
  if constexpr ((P >> B) & 1u)
    return sum * r2;
  else
    return sum / d2;
}

// Raises err with the largest change that the lanes of acc collected.
template <bool divideEach, typename V>
PH_INLINE void mergeLanes(const Shared& s, V acc, float& err) {
  constexpr int n = sizeof(V) / sizeof(float);
  if (divideEach) {
    for (int l = 0; l < n; ++l)
      if (acc[l] > err) err = acc[l];
  } else {
    float most = -std::numeric_limits<float>::infinity();
    for (int l = 0; l < n; ++l) most = std::max(most, acc[l]);
    if (most >= 0.0f) {
      const float e = most / s.tscale;
      if (e > err) err = e;
    }
  }
}

// Lanes of four: entry b has lane l set (-1) where bit l of b is.
alignas(16) constexpr int bitLanes[16][4] = {
    {0, 0, 0, 0},    {-1, 0, 0, 0},    {0, -1, 0, 0},    {-1, -1, 0, 0},   {0, 0, -1, 0},    {-1, 0, -1, 0},
    {0, -1, -1, 0},  {-1, -1, -1, 0},  {0, 0, 0, -1},    {-1, 0, 0, -1},   {0, -1, 0, -1},   {-1, -1, 0, -1},
    {0, 0, -1, -1},  {-1, 0, -1, -1},  {0, -1, -1, -1},  {-1, -1, -1, -1}};

// The lanes of a run to update, as bits: those of the first `count` that
// act marks as computed cells.
PH_INLINE unsigned laneBits(const int* act, int count) {
  unsigned bits = 0;
  for (int l = 0; l < count; ++l) bits |= unsigned(act[l] != 0) << l;
  return bits;
}

// Updates the cells of eight at position i of a row (cur) of the sheared
// field whose bits are set in `on`; their neighbours along i and j lie in the
// rows prv and nxt, and along k in the rows below and above. The other lanes
// are left as they are. acc collects the largest change (or, with
// divideEach, the largest change / tscale) of the updated lanes.
template <int Isa, bool divideEach, unsigned P>
PH_INLINE void updateRun(const Shared& s, float* cur, const float* prv, const float* nxt,
                         const float* below, const float* above, std::ptrdiff_t row, int i,
                         unsigned on, typename Width<Isa>::f* acc) {
  using V = Width<Isa>;
  constexpr int L = V::L;
  for (int h = 0; h < lanes; h += L) {
    const unsigned part = (on >> h) & ((1u << L) - 1u);
    if (L < lanes && part == 0) continue;
    const int x = i + h;
    const typename V::f t0 = V::loadf(cur + x);
    // h(i-1,j) + h(i+1,j), h(i,j-1) + h(i,j+1), h(i,j,k-1) + h(i,j,k+1)
    const typename V::d nnew =
        over<P, 0>(V::widenAt(prv + x - 1) + V::widenAt(nxt + x + 1), s.dx2, s.rx2) +
        over<P, 1>(V::widenAt(prv + x) + V::widenAt(nxt + x), s.dy2, s.ry2) +
        over<P, 2>(V::widenAt(below + x) + V::widenAt(above + x), s.dz2, s.rz2);
    const typename V::d tstar = (V::loadd(s.oldTerm + row + x) + s.alpha * nnew + V::loadd(s.oldLapl + row + x)) /
                                V::denomAt(s.denom, s.mat + row + x);
    const typename V::f v = V::narrow(s.relax * tstar - s.relaxM1 * V::widen(t0));
    const typename V::f change = divideEach ? V::absf(v - t0) / s.tscale : V::absf(v - t0);
#if defined(__GNUC__) && !defined(__clang__)
    if constexpr (Isa == isaAvx512) {
      // A mask register picks the lanes: a masked store, and a masked
      // maximum, in which a change raises acc only where it is larger (a NaN
      // never does).
      asm("vmovups %1, %0%{%2%}" : "+m"(*reinterpret_cast<typename V::fu*>(cur + x)) : "v"(v), "Yk"(part));
      asm("vmaxps %0, %1, %0%{%2%}" : "+v"(*acc) : "v"(change), "Yk"(part));
      continue;
    }
#endif
    // -1 in the lanes to update, 0 elsewhere.
    typename V::i sel;
    if constexpr (L <= 4)
      sel = V::loadi(bitLanes[part]);
    else
      sel = ((typename V::i{} + int(part)) & typename V::i{1, 2, 4, 8, 16, 32, 64, 128}) != 0;
    V::storef(cur + x, sel ? v : t0);
    // A change raises acc only where it is larger (a NaN never does).
    const typename V::f counted = sel ? change : V::splatf(-std::numeric_limits<float>::infinity());
    *acc = counted > *acc ? counted : *acc;
  }
}

// Updates the cells of diagonal d of one layer whose column lies in lo..hi,
// all at once: none of them reads another. The neighbours along i and j lie
// on the diagonals d-1 and d+1; those along k in the layers below and above.
// The rows of diagonal `ahead` of this layer, and of the layer `cold` away,
// are fetched for later.
template <int Isa, bool divideEach, unsigned P>
PH_INLINE void diagonal(const Shared& s, std::ptrdiff_t layer, int d, int lo, int hi, int ahead,
                        std::ptrdiff_t cold, typename Width<Isa>::f* acc) {
  const std::ptrdiff_t row = layer + s.diagRow[d];
  float* const cur = s.work + row;
  const float* const prv = s.work + layer + s.diagRow[d - 1];
  const float* const nxt = s.work + layer + s.diagRow[d + 1];
  const int* const act = s.active + s.diagRow[d];
  const std::ptrdiff_t far = layer + s.diagRow[ahead];
  for (int i = lo; i <= hi; i += lanes) {
    __builtin_prefetch(s.oldTerm + far + i);
    __builtin_prefetch(s.oldLapl + far + i);
    __builtin_prefetch(s.mat + far + i);
    __builtin_prefetch(s.work + far + cold + i);
    updateRun<Isa, divideEach, P>(s, cur, prv, nxt, cur - s.layerSize, cur + s.layerSize, row, i,
                                  laneBits(act + i, std::min(lanes, hi - i + 1)), acc);
  }
}

// What the jobs of a scheduled call start from: the offset of each job's
// layer, and the offset from it to the layer whose rows are fetched ahead.
struct JobBases {
  std::ptrdiff_t layer[maxJobs];
  std::ptrdiff_t cold[maxJobs];
};

// Runs a schedule: one loop over all its runs of eight, whatever diagonal or
// job they belong to, so that the short diagonals cost no more than their
// cells.
template <int Isa, bool divideEach, unsigned P>
PH_INLINE void scheduledOf(const Shared& shared, const SweepRun* runs, std::size_t n, const JobBases& b,
                           float& err) {
  const Shared s = shared;  // a copy that no store of the sweep can reach
  typename Width<Isa>::f acc = Width<Isa>::splatf(divideEach ? err : -std::numeric_limits<float>::infinity());
  for (const SweepRun* e = runs; e != runs + n; ++e) {
    const std::ptrdiff_t layer = b.layer[e->job];
    const std::ptrdiff_t far = layer + e->ahead;
    __builtin_prefetch(s.oldTerm + far);
    __builtin_prefetch(s.oldLapl + far);
    __builtin_prefetch(s.work + far + b.cold[e->job]);
    const std::ptrdiff_t x = layer + e->at;
    float* const cur = s.work + x;
    updateRun<Isa, divideEach, P>(s, cur, cur + e->prv, cur + e->nxt, cur - s.layerSize, cur + s.layerSize, x, 0,
                                  e->on, &acc);
  }
  mergeLanes<divideEach>(s, acc, err);
}

template <int Isa, bool divideEach, unsigned P>
PH_INLINE void passesOf(const Shared& s, const Job* jobs, int njobs, float& err) {
  typename Width<Isa>::f acc = Width<Isa>::splatf(divideEach ? err : -std::numeric_limits<float>::infinity());
  int first[maxJobs], last[maxJobs], count[maxJobs], steps = 0;
  for (int n = 0; n < njobs; ++n) {
    // Diagonals (i-1)+(j-1) of the columns ia..ib and the rows 2..ny-1.
    first[n] = jobs[n].ia;
    last[n] = jobs[n].ib + s.ny - 3;
    count[n] = jobs[n].ia <= jobs[n].ib ? last[n] - first[n] + 1 : 0;
    steps = std::max(steps, count[n] + jobs[n].lag);
  }
  // The jobs advance one diagonal at a time each, in turn.
  for (int step = 0; step < steps; ++step)
    for (int n = 0; n < njobs; ++n) {
      const int t = step - jobs[n].lag;
      if (t < 0 || t >= count[n]) continue;
      const Job& job = jobs[n];
      const int d = job.reflected ? last[n] - t : first[n] + t;
      const int lo = std::max(job.ia, d - s.ny + 3), hi = std::min(job.ib, d);
      const int ahead = job.reflected ? std::max(d - prefetchAhead, 0)
                                      : std::min(d + prefetchAhead, s.nx + s.ny - 1);
      const std::ptrdiff_t cold = job.reflected ? -s.layerSize : s.layerSize;
      diagonal<Isa, divideEach, P>(s, std::ptrdiff_t(job.layer - 1) * s.layerSize, d, lo, hi, ahead, cold, &acc);
    }
  mergeLanes<divideEach>(s, acc, err);
}

template <int Isa>
PH_INLINE void passes(const Shared& s, const Job* jobs, int njobs, float& err) {
  if (s.divideEach) return passesOf<Isa, true, 0>(s, jobs, njobs, err);
  switch (s.powersOfTwo) {
    case 1: return passesOf<Isa, false, 1>(s, jobs, njobs, err);
    case 2: return passesOf<Isa, false, 2>(s, jobs, njobs, err);
    case 3: return passesOf<Isa, false, 3>(s, jobs, njobs, err);
    case 4: return passesOf<Isa, false, 4>(s, jobs, njobs, err);
    case 5: return passesOf<Isa, false, 5>(s, jobs, njobs, err);
    case 6: return passesOf<Isa, false, 6>(s, jobs, njobs, err);
    case 7: return passesOf<Isa, false, 7>(s, jobs, njobs, err);
    default: return passesOf<Isa, false, 0>(s, jobs, njobs, err);
  }
}

template <int Isa>
PH_INLINE void scheduled(const Shared& s, const SweepRun* runs, std::size_t n, const JobBases& b, float& err) {
  if (s.divideEach) return scheduledOf<Isa, true, 0>(s, runs, n, b, err);
  switch (s.powersOfTwo) {
    case 1: return scheduledOf<Isa, false, 1>(s, runs, n, b, err);
    case 2: return scheduledOf<Isa, false, 2>(s, runs, n, b, err);
    case 3: return scheduledOf<Isa, false, 3>(s, runs, n, b, err);
    case 4: return scheduledOf<Isa, false, 4>(s, runs, n, b, err);
    case 5: return scheduledOf<Isa, false, 5>(s, runs, n, b, err);
    case 6: return scheduledOf<Isa, false, 6>(s, runs, n, b, err);
    case 7: return scheduledOf<Isa, false, 7>(s, runs, n, b, err);
    default: return scheduledOf<Isa, false, 0>(s, runs, n, b, err);
  }
}

// 1/d where x/d and x*(1/d) agree for every x: d a power of two with a
// normal reciprocal. 0 otherwise.
double exactReciprocal(double d) {
  int e = 0;
  if (!(d > 0.0) || !std::isnormal(d) || std::frexp(d, &e) != 0.5) return 0.0;
  const double r = 1.0 / d;
  return std::isnormal(r) && r * d == 1.0 ? r : 0.0;
}

// a with lane T taken from b.
template <int T>
PH_INLINE vi withLane(vi a, vi b) {
  return __builtin_shufflevector(a, b, T == 0 ? 8 : 0, T == 1 ? 9 : 1, T == 2 ? 10 : 2, T == 3 ? 11 : 3,
                                 T == 4 ? 12 : 4, T == 5 ? 13 : 5, T == 6 ? 14 : 6, T == 7 ? 15 : 7);
}

// Row f of a block of eight columns goes, lane t, into pending row f + t.
template <int U, int... T>
PH_INLINE void spreadForward(vi* pend, vi v, std::integer_sequence<int, T...>) {
  ((pend[(U + T) & 7] = withLane<T>(pend[(U + T) & 7], v)), ...);
}
// Row f goes, lane t, into pending row f - t.
template <int U, int... T>
PH_INLINE void spreadBackward(vi* pend, vi v, std::integer_sequence<int, T...>) {
  ((pend[(U - T) & 7] = withLane<T>(pend[(U - T) & 7], v)), ...);
}

// Eight feeds of a shear, U = 0..7: read a row, spread it, write the row that
// is complete (from feed emitFrom on); both positions step on, wrapping after
// ny rows.
template <bool forward, typename Elem, int... U>
PH_INLINE void feeds8(vi* pend, const Elem*& src, Elem*& dst, int& f, int emitFrom,
                      const Elem* srcWrap, std::ptrdiff_t srcStep, Elem* dstWrap,
                      std::ptrdiff_t dstStep, const Elem* srcEnd, const Elem* dstEnd,
                      std::integer_sequence<int, U...>) {
  auto one = [&](auto u) {
    constexpr int Uc = decltype(u)::value;
    const vi v = load32(src);
    if constexpr (forward) {
      spreadForward<Uc>(pend, v, std::make_integer_sequence<int, lanes>{});
      if (f >= emitFrom) store32(dst, pend[Uc]);
    } else {
      spreadBackward<Uc>(pend, v, std::make_integer_sequence<int, lanes>{});
      if (f >= emitFrom) store32(dst, pend[(Uc + 1) & 7]);
    }
    ++f;
    src += srcStep;
    if (src == srcEnd) src = srcWrap;
    dst += dstStep;
    if (dst == dstEnd) dst = dstWrap;
  };
  (one(std::integral_constant<int, U>{}), ...);
}

// Copies one layer of a field (floats or ints, by their bits) into the
// sheared layout. Eight columns at a time: row j of the field gives lane t of
// the sheared row of diagonal (i0-1+t)+(j-1), which is complete once the
// seven rows before it have given theirs. Rows are taken cyclically, from
// seven rows before row 1, so that every sheared row is written whole.
template <typename Elem>
PH_INLINE void shearIn(const Elem* fieldLayer, Elem* shearedLayer, int nx, int ny) {
  const int feeds = (ny + 7 + 7) / 8 * 8;
  const int j0 = ((ny - 7) % ny + ny) % ny;  // row of the field (from 0) fed first
  for (int i0 = 1; i0 <= nx; i0 += lanes) {
    const Elem* srcWrap = fieldLayer + (i0 - 1);
    const Elem* src = srcWrap + j0 * sy;
    Elem* dstWrap = shearedLayer + i0;
    Elem* dst = dstWrap + std::ptrdiff_t((i0 - 1 + j0) % ny) * W;
    vi pend[lanes] = {};
    for (int f = 0; f < feeds;)
      feeds8<true>(pend, src, dst, f, 7, srcWrap, sy, dstWrap, W, srcWrap + ny * sy, dstWrap + ny * W,
                   std::make_integer_sequence<int, lanes>{});
  }
}

// The reverse: writes one sheared layer back into the field. The sheared row
// of diagonal (i0-1)+m gives lane t of row m+1-t of the field, which is
// complete once the seven sheared rows after it have given theirs.
template <typename Elem>
PH_INLINE void shearOut(const Elem* shearedLayer, Elem* fieldLayer, int nx, int ny) {
  const int feeds = (ny + 7 + 7) / 8 * 8;
  const int j0 = ((-7) % ny + ny) % ny;  // row of the field completed by the first feed
  for (int i0 = 1; i0 <= nx; i0 += lanes) {
    const Elem* srcWrap = shearedLayer + i0;
    const Elem* src = srcWrap + std::ptrdiff_t((i0 - 1) % ny) * W;
    Elem* dstWrap = fieldLayer + (i0 - 1);
    Elem* dst = dstWrap + j0 * sy;
    vi pend[lanes] = {};
    for (int f = 0; f < feeds;)
      feeds8<false>(pend, src, dst, f, 7, srcWrap, W, dstWrap, sy, srcWrap + ny * W, dstWrap + ny * sy,
                    std::make_integer_sequence<int, lanes>{});
  }
}

// What prepare() forms per step, over the sheared layout.
struct StepTables {
  const int* matIn;            // layer k of imat, sheared
  std::uint8_t* mat;           // sheared
  const int* active;
  double* oldTerm;
  double* oldLapl;
  const double *A, *sig, *Q;   // per material, as doubles
  std::ptrdiff_t layerSize;
  int nx, ny;
  double dx2, dy2, dz2, S, oneMinusAlpha, dt;
};

typedef std::uint8_t vb __attribute__((vector_size(lanes)));

// Layer k, from the layers k-1, k, k+1 of hold (sheared): the materials of
// the computed cells (numbers outside the tables, and cells not computed,
// read as 0 so that no lane looks past the tables), then the old-level terms
// of every cell.
template <int Isa>
PH_INLINE void prepareLayer(const StepTables& p, int k, const float* holdBelow, const float* holdCur,
                            const float* holdAbove) {
  const std::ptrdiff_t layer = std::ptrdiff_t(k - 1) * p.layerSize;
  for (std::ptrdiff_t q = 0; q < p.layerSize; q += lanes) {
    const vi m = load32(p.matIn + q);
    const vi keep = load32(p.active + q) & (m >= 0) & (m <= matcap);
    const vb narrow = __builtin_convertvector(keep ? m : vi{}, vb);
    std::memcpy(p.mat + layer + q, &narrow, sizeof narrow);
  }
  for (int r = 0; r < p.ny; ++r) {
    const std::ptrdiff_t row = std::ptrdiff_t(r) * W;
    const float* cur = holdCur + row;
    const float* prv = holdCur + std::ptrdiff_t(r == 0 ? p.ny - 1 : r - 1) * W;
    const float* nxt = holdCur + std::ptrdiff_t(r == p.ny - 1 ? 0 : r + 1) * W;
    const float* below = holdBelow + row;
    const float* above = holdAbove + row;
    for (int i = 2; i <= p.nx - 1; i += lanes) {
      const vd h = widenAt<Isa>(cur + i);
      const vd lold = (widenAt<Isa>(prv + i - 1) + widenAt<Isa>(nxt + i + 1)) / p.dx2 +
                      (widenAt<Isa>(prv + i) + widenAt<Isa>(nxt + i)) / p.dy2 +
                      (widenAt<Isa>(below + i) + widenAt<Isa>(above + i)) / p.dz2 - 2.0 * p.S * h;
      stored(p.oldLapl + layer + row + i, p.oneMinusAlpha * lold);
      const std::uint8_t* m = p.mat + layer + row + i;
      stored(p.oldTerm + layer + row + i, (gather(p.A, m) * h / p.dt + gather(p.Q, m)) / gather(p.sig, m));
    }
  }
}

// The kernels, built for each instruction set.
struct Kernels {
  void (*passes)(const Shared&, const Job*, int, float&);
  void (*scheduled)(const Shared&, const SweepRun*, std::size_t, const JobBases&, float&);
  void (*shearInFloat)(const float*, float*, int, int);
  void (*shearInInt)(const int*, int*, int, int);
  void (*shearOutFloat)(const float*, float*, int, int);
  void (*prepareLayer)(const StepTables&, int, const float*, const float*, const float*);
};

#define PH_KERNELS(NAME, ISA, ATTR)                                                             \
  ATTR void NAME##Passes(const Shared& s, const Job* jobs, int njobs, float& err) {              \
    passes<ISA>(s, jobs, njobs, err);                                                            \
  }                                                                                              \
  ATTR void NAME##Scheduled(const Shared& s, const SweepRun* runs, std::size_t n, const JobBases& b, \
                            float& err) {                                                        \
    scheduled<ISA>(s, runs, n, b, err);                                                          \
  }                                                                                              \
  ATTR void NAME##ShearInFloat(const float* f, float* s, int nx, int ny) { shearIn(f, s, nx, ny); } \
  ATTR void NAME##ShearInInt(const int* f, int* s, int nx, int ny) { shearIn(f, s, nx, ny); }       \
  ATTR void NAME##ShearOutFloat(const float* s, float* f, int nx, int ny) { shearOut(s, f, nx, ny); } \
  ATTR void NAME##PrepareLayer(const StepTables& p, int k, const float* b, const float* c,        \
                               const float* a) {                                                 \
    prepareLayer<ISA>(p, k, b, c, a);                                                            \
  }                                                                                              \
  const Kernels NAME##Kernels = {NAME##Passes, NAME##Scheduled, NAME##ShearInFloat, NAME##ShearInInt,             \
                                 NAME##ShearOutFloat, NAME##PrepareLayer};

PH_KERNELS(avx512, isaAvx512, __attribute__((target("avx512f,avx512vl,avx512dq,avx512bw"))))
PH_KERNELS(avx2, isaAvx2, __attribute__((target("avx2"))))
PH_KERNELS(generic, isaGeneric, )

const Kernels& kernels(Sweeper::Isa isa) {
  switch (isa) {
    case Sweeper::Isa::avx512: return avx512Kernels;
    case Sweeper::Isa::avx2: return avx2Kernels;
    default: return genericKernels;
  }
}

// The passes over the middle column(s) i0..i1 where the two halves meet, in
// the plain order, one cell at a time: the forward cell (i, j, lf), then the
// reflected cell (nx+1-i, ny+1-j, lr).
void middleColumns(const Shared& s, int lf, int lr, int i0, int i1, float& err) {
  auto at = [&](int i, int j, int k) { return std::ptrdiff_t(k - 1) * s.layerSize + s.diagRow[i + j - 2] + i; };
  auto computed = [&](int i, int j) { return s.active[s.diagRow[i + j - 2] + i] != 0; };
  float* h = s.work;
  float most = -std::numeric_limits<float>::infinity();
  auto update = [&](int i, int j, int k) {
    const std::ptrdiff_t c = at(i, j, k);
    const float t0 = h[c];
    const double nnew = (double(h[at(i - 1, j, k)]) + double(h[at(i + 1, j, k)])) / s.dx2 +
                        (double(h[at(i, j - 1, k)]) + double(h[at(i, j + 1, k)])) / s.dy2 +
                        (double(h[c - s.layerSize]) + double(h[c + s.layerSize])) / s.dz2;
    const double tstar = (s.oldTerm[c] + s.alpha * nnew + s.oldLapl[c]) / s.denom[lanes * s.mat[c]];
    const float v = static_cast<float>(s.relax * tstar - s.relaxM1 * double(t0));
    h[c] = v;
    if (s.divideEach) {
      const float e = std::fabs(v - t0) / s.tscale;
      if (e > err) err = e;
    } else {
      most = std::max(most, std::fabs(v - t0));
    }
  };
  for (int i = i0; i <= i1; ++i)
    for (int j = 2; j <= s.ny - 1; ++j) {
      if (computed(i, j)) update(i, j, lf);
      const int ri = s.nx + 1 - i, rj = s.ny + 1 - j;
      if (computed(ri, rj)) update(ri, rj, lr);
    }
  if (most >= 0.0f) {
    const float e = most / s.tscale;
    if (e > err) err = e;
  }
}

// The runs of eight cells of `passes` consecutive whole passes of the forward
// half, the reflected half or both, in the order passesOf() would take them:
// diagonal after diagonal, each job in turn, a job `lag` diagonals behind.
// The jobs are numbered in that order: for each pass, forward then reflected.
std::vector<SweepRun> makeSchedule(int passes, bool forward, bool reflected, int nx, int ny,
                                   const std::vector<int>& diagRow) {
  bool jobReflected[maxJobs];
  int lag[maxJobs], jobs = 0;
  for (int q = 0; q < passes; ++q) {
    if (forward) jobReflected[jobs] = false, lag[jobs++] = q;
    if (reflected) jobReflected[jobs] = true, lag[jobs++] = q;
  }
  const int first = 2, last = nx + ny - 4, count = last - first + 1;
  std::vector<SweepRun> runs;
  for (int step = 0; step < count + passes - 1; ++step)
    for (int n = 0; n < jobs; ++n) {
      const int t = step - lag[n];
      if (t < 0 || t >= count) continue;
      const int d = jobReflected[n] ? last - t : first + t;
      const int lo = std::max(2, d - ny + 3), hi = std::min(nx - 1, d);
      const int ahead = jobReflected[n] ? std::max(d - prefetchAhead, 0) : std::min(d + prefetchAhead, nx + ny - 1);
      for (int i = lo; i <= hi; i += lanes)
        runs.push_back({diagRow[d] + i, std::int16_t(diagRow[d - 1] - diagRow[d]),
                        std::int16_t(diagRow[d + 1] - diagRow[d]), diagRow[ahead] + i,
                        std::int8_t(std::min(lanes, hi - i + 1)), std::int8_t(n), 0});
    }
  return runs;
}

bool hasAvx512() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
         __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512bw");
}
bool hasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

// Processors this process may run on (taskset and the like narrow it).
int processorsAtHand() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
  return int(std::thread::hardware_concurrency());
}

// With the thread count left to it, the Sweeper sweeps on one thread or on
// two, whichever it last found faster (where the processors are busy with
// other work the second thread may be kept waiting for a scheduler's time
// slice, and two threads lose); every so often it tries the other count again
// for two sweeps, the second of which it times.
constexpr int probeEvery = 50;

// Below this many updates per sweep (about 0.1 ms of work for one thread) a
// second thread gains little, and loses where the processors are busy with
// other work: every sweep hands over to it and waits for it twice.
constexpr long long twoThreadUpdates = 2LL * 40 * 40 * 40;


// Waits until ready(a's value). Hand-overs within a sweep come within
// microseconds; between steps the wait is long, and the thread sleeps.
template <typename Ready>
int waitFor(const std::atomic<int>& a, Ready ready) {
  int v = a.load(std::memory_order_acquire);
  for (int spin = 0; spin < 400 && !ready(v); ++spin) {  // about 30 us
    __builtin_ia32_pause();
    v = a.load(std::memory_order_acquire);
  }
  while (!ready(v)) {
    a.wait(v, std::memory_order_acquire);
    v = a.load(std::memory_order_acquire);
  }
  return v;
}

void waitAtLeast(const std::atomic<int>& a, int v) {
  waitFor(a, [v](int now) { return now >= v; });
}

void publish(std::atomic<int>& a, int v) {
  a.store(v, std::memory_order_release);
  a.notify_all();
}

}  // namespace

// The second thread, and what it shares with the first. It runs one task at
// a time: in a sweep the reflected half of every pass but the middle ones
// (the first thread does the forward half and the middle passes); at the
// start of a step whatever the caller runs alongside the step's set-up.
// Each counter holds the number of the last task that reached its point.
struct Sweeper::Team {
  std::atomic<int> posted{0};    // tasks handed to the worker (or -1: stop)
  std::atomic<int> before{0};    // the worker is done with the passes before the middle
  std::atomic<int> middle{0};    // the first thread is done with the middle passes
  std::atomic<int> finished{0};  // the worker is done with the task
  // The task handed over, set before `posted` rises; in a sweep err is the
  // caller's err going in and the worker's coming out (read after `finished`
  // rises).
  void (*task)(void*, Team&) = nullptr;
  void* context = nullptr;
  float err = 0;
  std::thread worker;  // started once everything above is in place

  Team() { worker = std::thread([this] { run(); }); }
  ~Team() {
    publish(posted, -1);
    worker.join();
  }

  // Hands f, called as f(team), to the worker; returns the task's number.
  template <typename F>
  int start(F& f) {
    context = &f;
    task = [](void* c, Team& team) { (*static_cast<F*>(c))(team); };
    const int no = posted.load(std::memory_order_relaxed) + 1;
    publish(posted, no);
    return no;
  }
  void join(int no) { waitAtLeast(finished, no); }

  void run() {
    for (int seen = 0;;) {
      seen = waitFor(posted, [seen](int now) { return now != seen; });
      if (seen < 0) return;
      task(context, *this);
      publish(finished, seen);
    }
  }
};

std::vector<Sweeper::Isa> Sweeper::supportedIsas() {
  std::vector<Isa> isas{Isa::generic};
  if (hasAvx2()) isas.push_back(Isa::avx2);
  if (hasAvx512()) isas.push_back(Isa::avx512);
  return isas;
}

const char* Sweeper::isaName(Isa isa) {
  switch (isa) {
    case Isa::avx512: return "avx512";
    case Isa::avx2: return "avx2";
    default: return "generic";
  }
}

Sweeper::Sweeper(SweepOptions options)
    : options_(options),
      isa_(supportedIsas().back()),
      denom_(matcap + 1, 0.0),
      denomRows_(std::size_t(matcap + 1) * lanes, 0.0) {}
Sweeper::~Sweeper() = default;
Sweeper::Sweeper(Sweeper&&) noexcept = default;
Sweeper& Sweeper::operator=(Sweeper&&) noexcept = default;

namespace {
bool sweepsAnything(const StepInputs& in) { return in.nx >= 3 && in.ny >= 3 && in.nz >= 3; }
}  // namespace

int Sweeper::threads() const {
  if (threadsFor(in_) == 1) return 1;
  return options_.threads == 2 || lastTwo_ ? 2 : 1;
}

bool Sweeper::nextOnTwo() {
  bool two = true;
  if (options_.threads == 0) {
    if (sweepTime_[1] == 0.0)
      two = true;
    else if (sweepTime_[0] == 0.0)
      two = false;
    else {
      two = sweepTime_[1] < sweepTime_[0];
      if (++sinceProbe_ > probeEvery) {
        two = !two;
        if (sinceProbe_ == probeEvery + 2) sinceProbe_ = 0;
      }
    }
  }
  streak_ = two == lastTwo_ ? streak_ + 1 : 1;
  lastTwo_ = two;
  return two;
}

void Sweeper::timed(bool two, double seconds) {
  // The first sweep after a change of count starts cold.
  if (streak_ >= 2) sweepTime_[two ? 1 : 0] = seconds;
}

int Sweeper::threadsFor(const StepInputs& in) const {
  if (!sweepsAnything(in)) return 1;
  if (options_.threads == 1 || options_.threads == 2) return options_.threads;
  static const int cpus = processorsAtHand();
  const long long updates = 2LL * (in.nx - 2) * (in.ny - 2) * (in.nz - 2);
  return cpus >= 2 && updates >= twoThreadUpdates && in.nz >= 8 ? 2 : 1;
}

void Sweeper::begin(const StepInputs& in, const RealField& hnew, const std::function<void()>& alongside) {
  if (threadsFor(in) == 1 || (options_.threads == 0 && !lastTwo_)) {
    alongside();
    prepare(in);
    load(hnew);
    return;
  }
  if (!team_) team_ = std::make_unique<Team>();
  auto task = [&alongside](Team&) { alongside(); };
  const int no = team_->start(task);
  prepare(in);
  load(hnew);
  team_->join(no);
}

int Sweeper::divisionsPerUpdate(float tscale) const {
  int n = 4;
  for (double d2 : {in_.dx2, in_.dy2, in_.dz2})
    if (exactReciprocal(d2) != 0.0) --n;
  if (!(tscale > 0.0f && tscale <= std::numeric_limits<float>::max())) ++n;
  return n;
}

void Sweeper::prepare(const StepInputs& in) {
  in_ = in;
  const int nx = in.nx, ny = in.ny, nz = in.nz;
  if (!sweepsAnything(in)) return;
  const Kernels& kern = kernels(isa_);
  layerSize_ = std::ptrdiff_t(ny) * rowPitch;
  const std::size_t size = std::size_t(nz) * layerSize_;
  if (work_.size() < size) work_.resize(size, 0.0f);
  if (mat_.size() < size) {
    mat_.resize(size, 0);
    oldTerm_.resize(size, 0.0);
    oldLapl_.resize(size, 0.0);
  }
  diagRow_.resize(std::size_t(nx + ny));
  for (int d = 0; d < nx + ny; ++d) diagRow_[d] = (d % ny) * rowPitch;
  if (nx != scheduledNx_ || ny != scheduledNy_) {
    static_assert(group == 2);
    for (int g = 1; g <= group; ++g) {
      schedule_[g - 1][0] = makeSchedule(g, true, true, nx, ny, diagRow_);
      schedule_[g - 1][1] = makeSchedule(g, true, false, nx, ny, diagRow_);
      schedule_[g - 1][2] = makeSchedule(g, false, true, nx, ny, diagRow_);
    }
    scheduledNx_ = nx, scheduledNy_ = ny;
  }
  active_.assign(std::size_t(layerSize_), 0);
  const std::vector<int>& mask = *in.secmask;
  for (int j = 2; j <= ny - 1; ++j)
    for (int i = 2; i <= nx - 1; ++i)
      if (mask[column(i, j)]) active_[diagRow_[i + j - 2] + i] = -1;
  for (auto& byPasses : schedule_)
    for (std::vector<SweepRun>& runs : byPasses)
      for (SweepRun& r : runs) r.on = std::uint8_t(laneBits(active_.data() + r.at, r.count));

  // Per material: the denominator, and the operands of the old-level term.
  const double S = 1.0 / in.dx2 + 1.0 / in.dy2 + 1.0 / in.dz2;
  const double alpha = in.alpha;
  const double dt = in.dtstep;
  const MatTable& A = *in.A;
  const MatTable& sig = *in.sig;
  double Ad[matcap + 1], sigd[matcap + 1], Qd[matcap + 1];
  for (int m = 0; m <= matcap; ++m) {
    denom_[m] = 2.0 * alpha * S + (double(A[m]) / double(sig[m])) / dt;
    std::fill_n(denomRows_.begin() + lanes * m, lanes, denom_[m]);
    Ad[m] = A[m];
    sigd[m] = sig[m];
    Qd[m] = in.heat.rate * (*in.prod)[m];  // the product rounded to float
  }

  // hold is needed three layers at a time, sheared; imat one layer.
  holdRing_.resize(3 * std::size_t(layerSize_));
  matIn_.resize(std::size_t(layerSize_));
  auto holdLayer = [&](int k) { return holdRing_.data() + (k % 3) * layerSize_; };
  StepTables p;
  p.matIn = matIn_.data();
  p.mat = mat_.data();
  p.active = active_.data();
  p.oldTerm = oldTerm_.data();
  p.oldLapl = oldLapl_.data();
  p.A = Ad, p.sig = sigd, p.Q = Qd;
  p.layerSize = layerSize_;
  p.nx = nx, p.ny = ny;
  p.dx2 = in.dx2, p.dy2 = in.dy2, p.dz2 = in.dz2;
  p.S = S;
  p.oneMinusAlpha = 1.0 - alpha;
  p.dt = dt;
  const float* hold = in.hold->data();
  kern.shearInFloat(hold + cell(1, 1, 1), holdLayer(1), nx, ny);
  kern.shearInFloat(hold + cell(1, 1, 2), holdLayer(2), nx, ny);
  for (int k = 2; k <= nz - 1; ++k) {
    kern.shearInFloat(hold + cell(1, 1, k + 1), holdLayer(k + 1), nx, ny);
    kern.shearInInt(in.imat->data() + cell(1, 1, k), matIn_.data(), nx, ny);
    kern.prepareLayer(p, k, holdLayer(k - 1), holdLayer(k), holdLayer(k + 1));
  }
}

// A grid too small for a sweep keeps the field in its own layout: the sweeps
// change nothing, and the mirror faces are boundary()'s.
void Sweeper::load(const RealField& field) {
  const int nx = in_.nx, ny = in_.ny, nz = in_.nz;
  if (!sweepsAnything(in_)) {
    work_.assign(field.begin(), field.end());
    return;
  }
  const Kernels& kern = kernels(isa_);
  for (int k = 1; k <= nz; ++k)
    kern.shearInFloat(field.data() + cell(1, 1, k), work_.data() + (k - 1) * layerSize_, nx, ny);
}

void Sweeper::store(RealField& field) const {
  const int nx = in_.nx, ny = in_.ny, nz = in_.nz;
  if (!sweepsAnything(in_)) {
    std::copy(work_.begin(), work_.begin() + std::ptrdiff_t(field.size()), field.begin());
    return;
  }
  const Kernels& kern = kernels(isa_);
  for (int k = 1; k <= nz; ++k)
    kern.shearOutFloat(work_.data() + (k - 1) * layerSize_, field.data() + cell(1, 1, k), nx, ny);
}

void Sweeper::mirrorFaces(const FaceCodes& bound) {
  const int nx = in_.nx, ny = in_.ny, nz = in_.nz;
  if (!sweepsAnything(in_)) {
    // work_ holds the field as it is laid out in a RealField.
    RealField& plain = work_;
    boundary(nx, ny, nz, bound, plain);
    return;
  }
  float* h = work_.data();
  auto at = [&](int i, int j, int k) {
    return std::ptrdiff_t(k - 1) * layerSize_ + diagRow_[i + j - 2] + i;
  };
  copyMirrorFaces(nx, ny, nz, bound, h, at);
}

void Sweeper::sweep(RealField& field, float tscale, float& err, double& relax) {
  load(field);
  sweep(tscale, err, relax);
  store(field);
}

void Sweeper::sweep(float tscale, float& err, double& relax) {
  if (in_.dtstep < 0.12f) relax = 1.0;
  const int nx = in_.nx, ny = in_.ny, nz = in_.nz;
  if (!sweepsAnything(in_)) return;
  const Kernels& kern = kernels(isa_);

  Shared s;
  s.work = work_.data();
  s.mat = mat_.data();
  s.oldTerm = oldTerm_.data();
  s.oldLapl = oldLapl_.data();
  s.denom = denomRows_.data();
  s.active = active_.data();
  s.diagRow = diagRow_.data();
  s.layerSize = layerSize_;
  s.nx = nx;
  s.ny = ny;
  s.dx2 = in_.dx2, s.dy2 = in_.dy2, s.dz2 = in_.dz2;
  s.alpha = in_.alpha;
  s.relax = relax;
  s.relaxM1 = relax - 1.0;
  s.rx2 = exactReciprocal(s.dx2);
  s.ry2 = exactReciprocal(s.dy2);
  s.rz2 = exactReciprocal(s.dz2);
  s.powersOfTwo = (s.rx2 != 0.0 ? 1u : 0u) | (s.ry2 != 0.0 ? 2u : 0u) | (s.rz2 != 0.0 ? 4u : 0u);
  s.tscale = tscale;
  s.divideEach = !(tscale > 0.0f && tscale <= std::numeric_limits<float>::max());

  // The middle column(s) of a layer: one when nx is odd, two when even.
  const int bandLo = (nx + 1) / 2, bandHi = nx + 1 - bandLo;
  auto middle = [&](int lf, int lr) {
    const Job before[2] = {{lf, 2, bandLo - 1, false}, {lr, bandHi + 1, nx - 1, true}};
    kern.passes(s, before, 2, err);
    middleColumns(s, lf, lr, bandLo, bandHi, err);
    const Job after[2] = {{lf, bandHi + 1, nx - 1, false}, {lr, 2, bandLo - 1, true}};
    kern.passes(s, after, 2, err);
  };
  // The pass p (layer p forward, layer nz+1-p reflected) is a middle pass
  // when the two halves' layers touch: one pass when nz is odd, two when
  // even. Outside the middle passes the halves never touch: before them the
  // forward half works below the middle layer(s) and the reflected half
  // above, each reading only layers that no pass of the other half before
  // the middle writes; after them the other way round. So the halves may run
  // on two threads, each at its own pace, as long as the middle passes come
  // after every pass before them and before every pass after them.
  const int midLo = nz / 2 + (nz % 2), midHi = nz + 1 - midLo;
  auto middles = [&] {
    for (int p = midLo; p <= midHi; ++p) middle(p, nz + 1 - p);
  };
  // The passes from..to of the forward half, the reflected half or both, in
  // groups, each group one scheduled call; e collects the largest change.
  const std::ptrdiff_t layerSize = layerSize_;
  auto halves = [&kern, &s, this, nz, layerSize](int from, int to, bool forward, bool reflected, float& e) {
    for (int p = from; p <= to; p += group) {
      const int passes = std::min(group, to - p + 1);
      JobBases b;
      int n = 0;
      for (int q = p; q < p + passes; ++q) {
        if (forward) b.layer[n] = (q - 1) * layerSize, b.cold[n++] = layerSize;
        if (reflected) b.layer[n] = (nz - q) * layerSize, b.cold[n++] = -layerSize;
      }
      const std::vector<SweepRun>& runs = schedule_[passes - 1][forward && reflected ? 0 : forward ? 1 : 2];
      kern.scheduled(s, runs.data(), runs.size(), b, e);
    }
  };

  using clock = std::chrono::steady_clock;
  const clock::time_point begun = clock::now();
  const bool two = threadsFor(in_) == 2 && nextOnTwo();
  if (!two && !options_.halvesInTurns) {
    halves(2, midLo - 1, true, true, err);
    middles();
    halves(midHi + 1, nz - 1, true, true, err);
    timed(false, std::chrono::duration<double>(clock::now() - begun).count());
    return;
  }

  if (options_.halvesInTurns) {
    // All passes of one half up to the middle, then the other's; the middle
    // passes; then the same half's passes after the middle, then the
    // other's. The half that goes first changes from one sweep to the next.
    forwardLeads_ = !forwardLeads_;
    halves(2, midLo - 1, forwardLeads_, !forwardLeads_, err);
    halves(2, midLo - 1, !forwardLeads_, forwardLeads_, err);
    middles();
    halves(midHi + 1, nz - 1, forwardLeads_, !forwardLeads_, err);
    halves(midHi + 1, nz - 1, !forwardLeads_, forwardLeads_, err);
    return;
  }

  // Two threads: this one the forward half and the middle passes, the
  // worker the reflected half.
  if (!team_) team_ = std::make_unique<Team>();
  Team& t = *team_;
  const int sweepNo = t.posted.load(std::memory_order_relaxed) + 1;
  auto reflectedHalf = [&halves, midLo, midHi, nz, sweepNo](Team& team) {
    float e = team.err;
    halves(2, midLo - 1, false, true, e);
    publish(team.before, sweepNo);
    waitAtLeast(team.middle, sweepNo);
    halves(midHi + 1, nz - 1, false, true, e);
    team.err = e;
  };
  t.err = err;
  t.start(reflectedHalf);
  halves(2, midLo - 1, true, false, err);
  waitAtLeast(t.before, sweepNo);
  middles();
  publish(t.middle, sweepNo);
  halves(midHi + 1, nz - 1, true, false, err);
  t.join(sweepNo);
  if (t.err > err) err = t.err;
  timed(true, std::chrono::duration<double>(clock::now() - begun).count());
}

}  // namespace ph
