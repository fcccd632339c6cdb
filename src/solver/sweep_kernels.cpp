// The kernels, written once as templates over the instruction set and
// stamped for each: a run of eight cells updated in the processor's own
// vector width, the passes and schedules built on it, and the per-step terms.
#include "solver/sweep_kernels.h"

#include <algorithm>
#include <cmath>
#include <limits>

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
    // The conversions in the formula's order, and the denominator (which
    // may take a branch) before the terms that add up over it.
    const typename V::d alongI = V::widenAt(prv + x - 1) + V::widenAt(nxt + x + 1);
    const typename V::d alongJ = V::widenAt(prv + x) + V::widenAt(nxt + x);
    const typename V::d alongK = V::widenAt(below + x) + V::widenAt(above + x);
    const typename V::d nnew =
        formula::neighbours<P>(alongI, alongJ, alongK, s.dx2, s.dy2, s.dz2, s.rx2, s.ry2, s.rz2);
    const typename V::d denom = V::denomAt(s.denom, s.mat + row + x);
    const typename V::d tstar =
        formula::tstar(V::loadd(s.oldTerm + row + x), s.alpha, nnew, V::loadd(s.oldLapl + row + x), denom);
    const typename V::f v = V::narrow(formula::relaxed(s.relax, tstar, s.relaxM1, V::widen(t0)));
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

typedef std::uint8_t vb __attribute__((vector_size(lanes)));

// Layer k, from the layers k-1, k, k+1 of hold (sheared): the materials of
// the computed cells (numbers outside the tables, and cells not computed,
// read as 0 so that no lane looks past the tables), then the old-level terms
// of every cell, its heat Q from its material or, where the step gives one,
// its own.
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
      const vd alongI = widenAt<Isa>(prv + i - 1) + widenAt<Isa>(nxt + i + 1);
      const vd alongJ = widenAt<Isa>(prv + i) + widenAt<Isa>(nxt + i);
      const vd alongK = widenAt<Isa>(below + i) + widenAt<Isa>(above + i);
      const vd n = formula::neighbours(alongI, alongJ, alongK, p.dx2, p.dy2, p.dz2);
      stored(p.oldLapl + layer + row + i, formula::oldLaplacian(n, h, p.S, p.oneMinusAlpha));
      const std::uint8_t* m = p.mat + layer + row + i;
      const vd A = gather(p.A, m);
      const vd Q = p.heat ? widenAt<Isa>(p.heat + row + i) : gather(p.Q, m);
      stored(p.oldTerm + layer + row + i, formula::oldLevel(A, h, p.dt, Q, gather(p.sig, m)));
    }
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
  auto at = [&](int i, int j, int k) { return std::ptrdiff_t(k - 1) * s.layerSize + s.diagRow[i + j - 2] + i; };
  auto computed = [&](int i, int j) { return s.active[s.diagRow[i + j - 2] + i] != 0; };
  float* h = s.work;
  float most = -std::numeric_limits<float>::infinity();
  auto update = [&](int i, int j, int k) {
    const std::ptrdiff_t c = at(i, j, k);
    const float t0 = h[c];
    const double nnew = formula::neighbours(double(h[at(i - 1, j, k)]) + double(h[at(i + 1, j, k)]),
                                            double(h[at(i, j - 1, k)]) + double(h[at(i, j + 1, k)]),
                                            double(h[c - s.layerSize]) + double(h[c + s.layerSize]), s.dx2,
                                            s.dy2, s.dz2);
    const double tstar = formula::tstar(s.oldTerm[c], s.alpha, nnew, s.oldLapl[c], s.denom[lanes * s.mat[c]]);
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

// 1/d where x/d and x*(1/d) agree for every x: d a power of two with a
// normal reciprocal. 0 otherwise.
double exactReciprocal(double d) {
  int e = 0;
  if (!(d > 0.0) || !std::isnormal(d) || std::frexp(d, &e) != 0.5) return 0.0;
  const double r = 1.0 / d;
  return std::isnormal(r) && r * d == 1.0 ? r : 0.0;
}

}  // namespace ph
