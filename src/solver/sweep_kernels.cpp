// The kernels, written once as templates over the instruction set and
// stamped for each: a run of eight cells updated in the processor's own
// vector width, the passes and schedules built on it, and the per-step terms.
#include "solver/sweep_kernels.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "solver/balanced_formula.h"
#include "solver/sheared_layout.h"
#include "solver/sweep_vectors.h"

namespace ph {

namespace {

using namespace simd;
static_assert(lanes == runLength);
constexpr int W = rowPitch;

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

// How an update forms Tstar: the legacy formula or the balanced one, on L
// lanes (V a Width, or One for a single cell). Offsets into the sheared
// arrays: c of the cell, p and n of the cells (i, j-1) and (i, j+1), whose
// rows hold (i-1, j) at p - 1 and (i+1, j) at n + 1; the layers below and
// above lie layerSize away.
struct LegacyTerms {
  template <typename V, unsigned P>
  static PH_INLINE typename V::d tstar(const Shared& s, std::ptrdiff_t c, std::ptrdiff_t p, std::ptrdiff_t n) {
    const float* h = s.work;
    // h(i-1,j) + h(i+1,j), h(i,j-1) + h(i,j+1), h(i,j,k-1) + h(i,j,k+1)
    // The conversions in the formula's order, and the denominator (which
    // may take a branch) before the terms that add up over it.
    const typename V::d alongI = V::widenAt(h + p - 1) + V::widenAt(h + n + 1);
    const typename V::d alongJ = V::widenAt(h + p) + V::widenAt(h + n);
    const typename V::d alongK = V::widenAt(h + c - s.layerSize) + V::widenAt(h + c + s.layerSize);
    const typename V::d nnew =
        formula::neighbours<P>(alongI, alongJ, alongK, s.dx2, s.dy2, s.dz2, s.rx2, s.ry2, s.rz2);
    const typename V::d denom = V::denomAt(s.denom, s.mat + c);
    return formula::tstar(V::loadd(s.oldTerm + c), s.alpha, nnew, V::loadd(s.oldLapl + c), denom);
  }
  static PH_INLINE void fetch(const Shared& s, std::ptrdiff_t at, std::ptrdiff_t) {
    __builtin_prefetch(s.oldTerm + at);
    __builtin_prefetch(s.oldLapl + at);
  }
};

struct BalancedTerms {
  // The six weights of the cells: from the table where the cells share a
  // code (as they do away from the faces between materials), from the
  // weights of each cell otherwise.
  template <typename V>
  static PH_INLINE void weights(const Shared& s, std::ptrdiff_t c, std::ptrdiff_t p, typename V::d (&w)[6]) {
    typename V::word code;
    if (__builtin_expect(V::agree(s.wcode + c, code), 1) && (code & 0xff) != unclassedWeights) {
      const double* row = s.wrows + 6 * lanes * (code & 0xff);
      for (int f = 0; f < 6; ++f) w[f] = V::loadd(row + lanes * f);
      return;
    }
    w[0] = V::loadd(s.wI + p - 1), w[1] = V::loadd(s.wI + c);
    w[2] = V::loadd(s.wJ + p), w[3] = V::loadd(s.wJ + c);
    w[4] = V::loadd(s.wK + c - s.layerSize), w[5] = V::loadd(s.wK + c);
  }
  template <typename V, unsigned>
  static PH_INLINE typename V::d tstar(const Shared& s, std::ptrdiff_t c, std::ptrdiff_t p, std::ptrdiff_t n) {
    const float* h = s.work;
    const std::ptrdiff_t L = s.layerSize;
    typename V::d w[6];
    weights<V>(s, c, p, w);
    const typename V::d flux = formula::balanced::faceSum(
        w[0], V::widenAt(h + p - 1), w[1], V::widenAt(h + n + 1), w[2], V::widenAt(h + p), w[3], V::widenAt(h + n),
        w[4], V::widenAt(h + c - L), w[5], V::widenAt(h + c + L));
    return formula::balanced::tstar(V::loadd(s.oldTerm + c), s.alpha, flux, V::loadd(s.recip + c));
  }
  // The cells' weights are fetched only for runs that will not find them
  // in the table; toPrv is about the step to the row of the diagonal before.
  static PH_INLINE void fetch(const Shared& s, std::ptrdiff_t at, std::ptrdiff_t toPrv) {
    __builtin_prefetch(s.oldTerm + at);
    __builtin_prefetch(s.recip + at);
    std::uint64_t code;
    std::memcpy(&code, s.wcode + at, sizeof code);
    if (__builtin_expect(code == (code & 0xff) * 0x0101010101010101ull && (code & 0xff) != unclassedWeights, 1))
      return;
    __builtin_prefetch(s.wI + at);
    __builtin_prefetch(s.wJ + at);
    __builtin_prefetch(s.wK + at);
    __builtin_prefetch(s.wI + at + toPrv - 1);
    __builtin_prefetch(s.wJ + at + toPrv);
    __builtin_prefetch(s.wK + at - s.layerSize);
  }
};

// A single cell as a vector of one lane, for the middle columns.
struct One {
  using d = double;
  using word = std::uint8_t;
  static PH_INLINE bool agree(const std::uint8_t* m, word& w) { return w = *m, true; }
  static PH_INLINE double widenAt(const float* p) { return *p; }
  static PH_INLINE double loadd(const double* p) { return *p; }
  static PH_INLINE double denomAt(const double* rows, const std::uint8_t* m) { return rows[lanes * *m]; }
};

// Updates the cells of eight from offset `at` of the sheared arrays whose
// bits are set in `on`; the cells (i, j-1) and (i, j+1) of a cell lie
// toPrv and toNxt away. The other lanes are left as they are. acc collects
// the largest change (or, with divideEach, the largest change / tscale) of
// the updated lanes.
template <typename Terms, int Isa, bool divideEach, unsigned P>
PH_INLINE void updateRun(const Shared& s, std::ptrdiff_t at, std::ptrdiff_t toPrv, std::ptrdiff_t toNxt,
                         unsigned on, typename Width<Isa>::f* acc) {
  using V = Width<Isa>;
  constexpr int L = V::L;
  for (int h = 0; h < lanes; h += L) {
    const unsigned part = (on >> h) & ((1u << L) - 1u);
    if (L < lanes && part == 0) continue;
    const std::ptrdiff_t c = at + h;
    float* const cur = s.work + c;
    const typename V::f t0 = V::loadf(cur);
    const typename V::d tstar = Terms::template tstar<V, P>(s, c, c + toPrv, c + toNxt);
    const typename V::f v = V::narrow(formula::relaxed(s.relax, tstar, s.relaxM1, V::widen(t0)));
    const typename V::f change = divideEach ? V::absf(v - t0) / s.tscale : V::absf(v - t0);
#if defined(__GNUC__) && !defined(__clang__)
    if constexpr (Isa == isaAvx512) {
      // A mask register picks the lanes: a masked store, and a masked
      // maximum, in which a change raises acc only where it is larger (a NaN
      // never does).
      asm("vmovups %1, %0%{%2%}" : "+m"(*reinterpret_cast<typename V::fu*>(cur)) : "v"(v), "Yk"(part));
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
    V::storef(cur, sel ? v : t0);
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
template <typename Terms, int Isa, bool divideEach, unsigned P>
PH_INLINE void diagonal(const Shared& s, std::ptrdiff_t layer, int d, int lo, int hi, int ahead,
                        std::ptrdiff_t cold, typename Width<Isa>::f* acc) {
  const std::ptrdiff_t row = layer + s.diagRow[d];
  const std::ptrdiff_t toPrv = s.diagRow[d - 1] - s.diagRow[d];
  const std::ptrdiff_t toNxt = s.diagRow[d + 1] - s.diagRow[d];
  const int* const act = s.active + s.diagRow[d];
  const std::ptrdiff_t far = layer + s.diagRow[ahead];
  for (int i = lo; i <= hi; i += lanes) {
    Terms::fetch(s, far + i, toPrv);
    __builtin_prefetch(s.mat + far + i);
    __builtin_prefetch(s.work + far + cold + i);
    updateRun<Terms, Isa, divideEach, P>(s, row + i, toPrv, toNxt, laneBits(act + i, std::min(lanes, hi - i + 1)),
                                         acc);
  }
}

// Runs a schedule: one loop over all its runs of eight, whatever diagonal or
// job they belong to, so that the short diagonals cost no more than their
// cells.
template <typename Terms, int Isa, bool divideEach, unsigned P>
PH_INLINE void scheduledOf(const Shared& shared, const SweepRun* runs, std::size_t n, const JobBases& b,
                           float& err) {
  const Shared s = shared;  // a copy that no store of the sweep can reach
  typename Width<Isa>::f acc = Width<Isa>::splatf(divideEach ? err : -std::numeric_limits<float>::infinity());
  for (const SweepRun* e = runs; e != runs + n; ++e) {
    const std::ptrdiff_t layer = b.layer[e->job];
    const std::ptrdiff_t far = layer + e->ahead;
    Terms::fetch(s, far, e->prv);
    __builtin_prefetch(s.work + far + b.cold[e->job]);
    updateRun<Terms, Isa, divideEach, P>(s, layer + e->at, e->prv, e->nxt, e->on, &acc);
  }
  mergeLanes<divideEach>(s, acc, err);
}

template <typename Terms, int Isa, bool divideEach, unsigned P>
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
      diagonal<Terms, Isa, divideEach, P>(s, std::ptrdiff_t(job.layer - 1) * s.layerSize, d, lo, hi, ahead, cold,
                                          &acc);
    }
  mergeLanes<divideEach>(s, acc, err);
}

template <int Isa>
PH_INLINE void passes(const Shared& s, const Job* jobs, int njobs, float& err) {
  if (s.balanced)
    return s.divideEach ? passesOf<BalancedTerms, Isa, true, 0>(s, jobs, njobs, err)
                        : passesOf<BalancedTerms, Isa, false, 0>(s, jobs, njobs, err);
  if (s.divideEach) return passesOf<LegacyTerms, Isa, true, 0>(s, jobs, njobs, err);
  switch (s.powersOfTwo) {
    case 1: return passesOf<LegacyTerms, Isa, false, 1>(s, jobs, njobs, err);
    case 2: return passesOf<LegacyTerms, Isa, false, 2>(s, jobs, njobs, err);
    case 3: return passesOf<LegacyTerms, Isa, false, 3>(s, jobs, njobs, err);
    case 4: return passesOf<LegacyTerms, Isa, false, 4>(s, jobs, njobs, err);
    case 5: return passesOf<LegacyTerms, Isa, false, 5>(s, jobs, njobs, err);
    case 6: return passesOf<LegacyTerms, Isa, false, 6>(s, jobs, njobs, err);
    case 7: return passesOf<LegacyTerms, Isa, false, 7>(s, jobs, njobs, err);
    default: return passesOf<LegacyTerms, Isa, false, 0>(s, jobs, njobs, err);
  }
}

template <int Isa>
PH_INLINE void scheduled(const Shared& s, const SweepRun* runs, std::size_t n, const JobBases& b, float& err) {
  if (s.balanced)
    return s.divideEach ? scheduledOf<BalancedTerms, Isa, true, 0>(s, runs, n, b, err)
                        : scheduledOf<BalancedTerms, Isa, false, 0>(s, runs, n, b, err);
  if (s.divideEach) return scheduledOf<LegacyTerms, Isa, true, 0>(s, runs, n, b, err);
  switch (s.powersOfTwo) {
    case 1: return scheduledOf<LegacyTerms, Isa, false, 1>(s, runs, n, b, err);
    case 2: return scheduledOf<LegacyTerms, Isa, false, 2>(s, runs, n, b, err);
    case 3: return scheduledOf<LegacyTerms, Isa, false, 3>(s, runs, n, b, err);
    case 4: return scheduledOf<LegacyTerms, Isa, false, 4>(s, runs, n, b, err);
    case 5: return scheduledOf<LegacyTerms, Isa, false, 5>(s, runs, n, b, err);
    case 6: return scheduledOf<LegacyTerms, Isa, false, 6>(s, runs, n, b, err);
    case 7: return scheduledOf<LegacyTerms, Isa, false, 7>(s, runs, n, b, err);
    default: return scheduledOf<LegacyTerms, Isa, false, 0>(s, runs, n, b, err);
  }
}

typedef std::uint8_t vb __attribute__((vector_size(lanes)));

// Layer k, from the layers k-1, k, k+1 of hold (sheared): the materials of
// the computed cells (numbers outside the tables, and cells not computed,
// read as 0 so that no lane looks past the tables), then the old-level terms
// of every cell, its heat Q from its material or, where the step gives one,
// its own; for balanced conduction the balanced old level and the
// reciprocal denominator of every cell.
template <int Isa, bool balanced>
PH_INLINE void prepareLayerOf(const StepTables& p, int k, const float* holdBelow, const float* holdCur,
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
    const std::ptrdiff_t prvRow = std::ptrdiff_t(r == 0 ? p.ny - 1 : r - 1) * W;
    const float* cur = holdCur + row;
    const float* prv = holdCur + prvRow;
    const float* nxt = holdCur + std::ptrdiff_t(r == p.ny - 1 ? 0 : r + 1) * W;
    const float* below = holdBelow + row;
    const float* above = holdAbove + row;
    for (int i = 2; i <= p.nx - 1; i += lanes) {
      const std::ptrdiff_t c = layer + row + i;
      const vd h = widenAt<Isa>(cur + i);
      const std::uint8_t* m = p.mat + c;
      const vd A = gather(p.A, m);
      const vd Q = p.heat ? widenAt<Isa>(p.heat + row + i) : gather(p.Q, m);
      if constexpr (balanced) {
        namespace bal = formula::balanced;
        const std::ptrdiff_t pc = layer + prvRow + i;
        const vd wIm = loadd(p.wI + pc - 1), wIp = loadd(p.wI + c), wJm = loadd(p.wJ + pc), wJp = loadd(p.wJ + c),
                 wKm = loadd(p.wK + c - p.layerSize), wKp = loadd(p.wK + c);
        const vd oldFlux = bal::faceSum(wIm, widenAt<Isa>(prv + i - 1) - h, wIp, widenAt<Isa>(nxt + i + 1) - h,
                                        wJm, widenAt<Isa>(prv + i) - h, wJp, widenAt<Isa>(nxt + i) - h, wKm,
                                        widenAt<Isa>(below + i) - h, wKp, widenAt<Isa>(above + i) - h);
        stored(p.oldTerm + c, bal::oldLevel(A, h, p.dt, Q, p.oneMinusAlpha, oldFlux));
        stored(p.recip + c, bal::reciprocal(A, p.dt, p.alpha, bal::weightSum(wIm, wIp, wJm, wJp, wKm, wKp)));
      } else {
        const vd alongI = widenAt<Isa>(prv + i - 1) + widenAt<Isa>(nxt + i + 1);
        const vd alongJ = widenAt<Isa>(prv + i) + widenAt<Isa>(nxt + i);
        const vd alongK = widenAt<Isa>(below + i) + widenAt<Isa>(above + i);
        const vd n = formula::neighbours(alongI, alongJ, alongK, p.dx2, p.dy2, p.dz2);
        stored(p.oldLapl + c, formula::oldLaplacian(n, h, p.S, p.oneMinusAlpha));
        stored(p.oldTerm + c, formula::oldLevel(A, h, p.dt, Q, gather(p.sig, m)));
      }
    }
  }
}

template <int Isa>
PH_INLINE void prepareLayer(const StepTables& p, int k, const float* holdBelow, const float* holdCur,
                            const float* holdAbove) {
  if (p.balanced) return prepareLayerOf<Isa, true>(p, k, holdBelow, holdCur, holdAbove);
  prepareLayerOf<Isa, false>(p, k, holdBelow, holdCur, holdAbove);
}

template <typename Terms>
void middleColumnsOf(const Shared& s, int lf, int lr, int i0, int i1, float& err) {
  auto at = [&](int i, int j, int k) { return std::ptrdiff_t(k - 1) * s.layerSize + s.diagRow[i + j - 2] + i; };
  auto computed = [&](int i, int j) { return s.active[s.diagRow[i + j - 2] + i] != 0; };
  float* h = s.work;
  float most = -std::numeric_limits<float>::infinity();
  auto update = [&](int i, int j, int k) {
    const std::ptrdiff_t c = at(i, j, k);
    const float t0 = h[c];
    const double tstar = Terms::template tstar<One, 0>(s, c, at(i, j - 1, k), at(i, j + 1, k));
    const float v = static_cast<float>(formula::relaxed(s.relax, tstar, s.relaxM1, double(t0)));
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

#define PH_KERNELS(NAME, ISA, ATTR)                                                             \
  ATTR void NAME##Passes(const Shared& s, const Job* jobs, int njobs, float& err) {              \
    passes<ISA>(s, jobs, njobs, err);                                                            \
  }                                                                                              \
  ATTR void NAME##Scheduled(const Shared& s, const SweepRun* runs, std::size_t n, const JobBases& b, \
                            float& err) {                                                        \
    scheduled<ISA>(s, runs, n, b, err);                                                          \
  }                                                                                              \
  ATTR void NAME##PrepareLayer(const StepTables& p, int k, const float* b, const float* c,        \
                               const float* a) {                                                 \
    prepareLayer<ISA>(p, k, b, c, a);                                                            \
  }                                                                                              \
  const Kernels NAME##Kernels = {NAME##Passes, NAME##Scheduled, NAME##PrepareLayer};

PH_KERNELS(avx512, isaAvx512, __attribute__((target("avx512f,avx512vl,avx512dq,avx512bw"))))
PH_KERNELS(avx2, isaAvx2, __attribute__((target("avx2"))))
PH_KERNELS(generic, isaGeneric, )

}  // namespace

const Kernels& kernels(SweepIsa isa) {
  switch (isa) {
    case SweepIsa::avx512: return avx512Kernels;
    case SweepIsa::avx2: return avx2Kernels;
    default: return genericKernels;
  }
}

// One cell at a time: the forward cell (i, j, lf), then the reflected cell
// (nx+1-i, ny+1-j, lr).
void middleColumns(const Shared& s, int lf, int lr, int i0, int i1, float& err) {
  if (s.balanced) return middleColumnsOf<BalancedTerms>(s, lf, lr, i0, i1, err);
  middleColumnsOf<LegacyTerms>(s, lf, lr, i0, i1, err);
}

// 1/d where x/d and x*(1/d) agree for every x: d a power of two with a
// normal reciprocal. 0 otherwise.
double exactReciprocal(double d) {
  int e = 0;
  if (!(d > 0.0) || !std::isnormal(d) || std::frexp(d, &e) != 0.5) return 0.0;
  const double r = 1.0 / d;
  return std::isnormal(r) && r * d == 1.0 ? r : 0.0;
}

}  // namespace ph
