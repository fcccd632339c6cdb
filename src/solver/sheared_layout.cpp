// The copies between a field and the sheared layout, eight columns at a
// time through a ring of pending rows, stamped for each instruction set.
#include "solver/sheared_layout.h"

#include "solver/sweep_vectors.h"

namespace ph {

namespace {

using namespace simd;

constexpr std::ptrdiff_t sy = ijcap;  // step to j+1 in a field
constexpr int W = rowPitch;

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

#define PH_SHEARS(NAME, ATTR)                                                                      \
  ATTR void NAME##InFloat(const float* f, float* s, int nx, int ny) { shearIn(f, s, nx, ny); }     \
  ATTR void NAME##InInt(const int* f, int* s, int nx, int ny) { shearIn(f, s, nx, ny); }           \
  ATTR void NAME##OutFloat(const float* s, float* f, int nx, int ny) { shearOut(s, f, nx, ny); }   \
  const ShearKernels NAME##Shears = {NAME##InFloat, NAME##InInt, NAME##OutFloat};

PH_SHEARS(avx512, __attribute__((target("avx512f,avx512vl,avx512dq,avx512bw"))))
PH_SHEARS(avx2, __attribute__((target("avx2"))))
PH_SHEARS(generic, )

}  // namespace

void ShearedLayout::shape(int nx_, int ny_, int nz_) {
  nx = nx_, ny = ny_, nz = nz_;
  layerSize = std::ptrdiff_t(ny) * rowPitch;
  diagRow.resize(std::size_t(nx + ny));
  for (int d = 0; d < nx + ny; ++d) diagRow[d] = (d % ny) * rowPitch;
}

const ShearKernels& shearKernels(SweepIsa isa) {
  switch (isa) {
    case SweepIsa::avx512: return avx512Shears;
    case SweepIsa::avx2: return avx2Shears;
    default: return genericShears;
  }
}

void shearField(const ShearKernels& kern, const ShearedLayout& l, const float* field, float* sheared) {
  for (int k = 1; k <= l.nz; ++k) kern.inFloat(field + cell(1, 1, k), sheared + (k - 1) * l.layerSize, l.nx, l.ny);
}

void unshearField(const ShearKernels& kern, const ShearedLayout& l, const float* sheared, float* field) {
  for (int k = 1; k <= l.nz; ++k) kern.outFloat(sheared + (k - 1) * l.layerSize, field + cell(1, 1, k), l.nx, l.ny);
}

void shearDoubles(const ShearedLayout& l, const double* field, std::vector<double>& sheared) {
  sheared.assign(l.size(), 0.0);
  for (int k = 1; k <= l.nz; ++k)
    for (int j = 1; j <= l.ny; ++j)
      for (int i = 1; i <= l.nx; ++i) sheared[std::size_t(l.at(i, j, k))] = field[cell(i, j, k)];
}

}  // namespace ph
