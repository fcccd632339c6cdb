// The program's sweep against the plain sweep of the cell formula: the
// same inputs must give the same bits in the field, in err and in relax, over
// several sweeps in a row, on every instruction set this machine offers.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "solver/balanced_formula.h"
#include "solver/cell_formula.h"
#include "solver/converge.h"
#include "solver/sweep.h"
#include "support/readers.h"

namespace ph {
namespace {

enum class Mask { ring, holes, circle, none, all, checkerboard };

// Cells in the layers 1..nz.
std::size_t layers(int nz) { return std::size_t(nz) * ijcap * ijcap; }

struct Scene {
  int nx, ny, nz;
  float alpha, dtstep;
  float dx = 0.3f, dy = 0.25f, dz = 0.4f;
  Mask mask = Mask::ring;
  unsigned seed = 1;
  float NewRT = 3.5f;
  bool ownHeat = false;  // each cell its own heat, around NewRT * prod
  // Balanced conduction, with films on the held soil and top layer and
  // these faces: mirrors (N) take the weights of the faces opposite.
  bool balanced = false;
  FaceCodes bound{'D', 'D', 'D', 'D', 'D', 'D'};
  int strewn = 0;  // materials strewn at random over the cells, each of its own k and film
};

// Everything one step hands to the sweep, built from a scene: a concrete
// block (material 1) in soil (2) under a layer of a third material (3), the
// start-of-step field smooth with some roughness, and an iterate that has
// already moved away from it.
struct Inputs {
  IntField imat = IntField(cellCount, 0);
  MatTable A{}, sig{}, prod{};
  RealField hold = RealField(cellCount, 0.0f);
  RealField hnew = RealField(cellCount, 0.0f);
  RealField heat = RealField(cellCount, 0.0f);
  std::vector<int> secmask = std::vector<int>(std::size_t(ijcap) * ijcap, 0);
  MatTable film{};
  Conductances g;
  StepInputs in;

  explicit Inputs(const Scene& s) { set(s); }

  // Fills the layers 1..nz; the sweep reads nothing beyond them.
  void set(const Scene& s) {
    std::mt19937 rng(s.seed);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    std::uniform_int_distribution<int> coin(0, 4);
    A = {0, 2.28e6f, 1.615e6f, 1206.0f};
    sig = {0, 2.6f, 1.5f, 0.5f};
    prod = {0, 1.0f, 0.0f, 0.125f};
    film = {0, 0, 8.5f, 12.0f};
    std::fill(imat.begin(), imat.begin() + layers(s.nz), 0);
    std::fill(hold.begin(), hold.begin() + layers(s.nz), 0.0f);
    std::fill(hnew.begin(), hnew.begin() + layers(s.nz), 0.0f);
    std::fill(secmask.begin(), secmask.end(), 0);
    test::eachCell(s.nx, s.ny, s.nz, [&](int i, int j, int k) {
      const std::size_t c = cell(i, j, k);
      const bool core = 3 * i > s.nx && 3 * i <= 2 * s.nx && 3 * j > s.ny && 3 * j <= 2 * s.ny && 2 * k > s.nz;
      imat[c] = k == s.nz - 1 && s.nz > 4 ? 3 : core ? 1 : 2;
      const float x = float(i) / float(s.nx) - 0.5f, y = float(j) / float(s.ny) - 0.5f,
                  z = float(k) / float(s.nz) - 0.5f;
      hold[c] = 12.0f + 38.0f * std::exp(-6.0f * (x * x + y * y + z * z)) + 0.5f * noise(rng);
      hnew[c] = hold[c] + 2.0f * noise(rng);
      heat[c] = s.NewRT * prod[imat[c]] * (1.0f + noise(rng));
    });
    test::eachCell(s.nx, s.ny, 1, [&](int i, int j, int) {
      const bool inner = i >= 2 && i <= s.nx - 1 && j >= 2 && j <= s.ny - 1;
      const float ri = float(i) - float(s.nx + 1) / 2, rj = float(j) - float(s.ny + 1) / 2;
      int& on = secmask[column(i, j)];
      switch (s.mask) {
        case Mask::ring: on = inner; break;
        case Mask::holes: on = inner && coin(rng) != 0; break;
        case Mask::circle: on = std::sqrt(ri * ri + rj * rj) < float(s.nx + 1) / 2 - 1; break;
        case Mask::none: on = 0; break;
        case Mask::all: on = 1; break;
        case Mask::checkerboard: on = inner && (i + j) % 2 == 0; break;
      }
    });
    in = {s.nx, s.ny, s.nz, s.alpha, &imat, &A, &sig, &prod, &hold, {s.NewRT}, &secmask,
          double(s.dx) * s.dx, double(s.dy) * s.dy, double(s.dz) * s.dz, s.dtstep};
    if (s.ownHeat) in.heat.cells = &heat;
    for (int m = 1; m <= s.strewn; ++m) A[m] = 2.0e6f, sig[m] = 0.25f * float(m), film[m] = float(m % 3);
    if (s.strewn) test::eachCell(s.nx, s.ny, s.nz, [&](int i, int j, int k) { imat[cell(i, j, k)] = 1 + int(rng() % unsigned(s.strewn)); });
    if (s.balanced) {
      formConductances({s.nx, s.ny, s.nz, &imat, &sig, &film, s.dx, s.dy, s.dz, s.bound, &secmask}, g);
      in.conductances = &g;
    }
  }
};

template <class T>
auto bits(T x) { return std::bit_cast<std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>(x); }

// One Sweeper per instruction set and thread count, kept across scenes as
// the program keeps its one Sweeper across steps.
// Two threads are also run as halves in turns, each as far ahead of the other
// as the hand-over rule allows.
struct Variant {
  Sweeper::Isa isa;
  SweepOptions options;
  Sweeper sweeper;
  std::string name() const {
    return std::string(Sweeper::isaName(isa)) + " threads " + std::to_string(options.threads) +
           (options.halvesInTurns ? " in turns" : "");
  }
};
std::vector<Variant>& sweepers() {
  static auto all = [] {
    std::vector<Variant> v;
    for (Sweeper::Isa isa : Sweeper::supportedIsas())
      for (SweepOptions o : {SweepOptions{1}, SweepOptions{2}, SweepOptions{2, true}})
        v.push_back({isa, o, Sweeper(o)}), v.back().sweeper.useIsa(isa);
    return v;
  }();
  return all;
}

// Runs `sweeps` sweeps of both forms from the same start, on every
// instruction set, and requires the same bits after every one.
void expectSameSweeps(Inputs& ref, int sweeps, const std::string& what, float errStart = -1.0e10f,
                      float tscale0 = 0.75f, int firstSweep = 1) {
  const std::size_t used = layers(ref.in.nz);
  static std::vector<RealField> fast(sweepers().size(), RealField(cellCount));
  for (std::size_t v = 0; v < fast.size(); ++v) {
    std::copy(ref.hnew.begin(), ref.hnew.begin() + used, fast[v].begin());
    sweepers()[v].sweeper.prepare(ref.in);
  }
  for (int n = firstSweep; n < firstSweep + sweeps; ++n) {
    const float tscale = tscale0 + 0.125f * n;
    double relaxRef = relaxFactor(n);
    float errRef = errStart;
    if (ref.in.conductances)
      formula::balanced::plainBalancedSweep(ref.in, ref.hnew, tscale, errRef, relaxRef);
    else
      formula::plainSweep(ref.in, ref.hnew, tscale, errRef, relaxRef);
    for (std::size_t v = 0; v < fast.size(); ++v) {
      Variant& variant = sweepers()[v];
      const std::string where = what + " " + variant.name() + " sweep " + std::to_string(n);
      double relax = relaxFactor(n);
      float err = errStart;
      variant.sweeper.sweep(fast[v], tscale, err, relax);
      ASSERT_EQ(bits(errRef), bits(err)) << where << ": err " << errRef << " vs " << err;
      ASSERT_EQ(bits(relaxRef), bits(relax)) << where;
      if (std::memcmp(ref.hnew.data(), fast[v].data(), used * sizeof(float)) == 0) continue;
      for (std::size_t c = 0; c < used; ++c)
        ASSERT_EQ(bits(ref.hnew[c]), bits(fast[v][c]))
            << where << ": cell " << c % ijcap + 1 << "," << c / ijcap % ijcap + 1 << ","
            << c / (ijcap * ijcap) + 1 << " " << ref.hnew[c] << " vs " << fast[v][c];
    }
  }
}

void expectSameSweeps(const Scene& s, int sweeps, float errStart = -1.0e10f) {
  static Inputs ref(s);
  ref.set(s);
  std::ostringstream what;
  what << s.nx << "x" << s.ny << "x" << s.nz << " mask " << int(s.mask) << " alpha " << s.alpha << " dt " << s.dtstep
       << (s.balanced ? " balanced " + std::string(s.bound.begin(), s.bound.end()) : "");
  expectSameSweeps(ref, sweeps, what.str(), errStart);
}

TEST(SweepIdentity, SmallGridsOddAndEvenExtentsAndMasks) {
  // Odd and even extents in every direction, so that the two halves of a
  // pass meet on one shared middle layer or on two neighbouring ones, with
  // one middle column or two; 3x3x3 and 5x5x5 have a centre cell that is
  // updated twice in a row.
  const int extents[][3] = {{3, 3, 3}, {5, 5, 5}, {4, 4, 4}, {6, 5, 4}, {5, 6, 7}, {3, 9, 4},
                            {9, 3, 5}, {12, 11, 10}, {11, 12, 9}, {17, 23, 19}, {16, 16, 12},
                            {20, 21, 3}, {21, 20, 4}, {34, 9, 6}};
  const Mask masks[] = {Mask::ring, Mask::holes, Mask::circle, Mask::all};
  const float alphas[] = {0.0f, 0.5f, 1.0f, 0.7f};
  unsigned seed = 7;
  for (const auto& e : extents)
    for (Mask m : masks)
      for (float a : alphas)
        expectSameSweeps({.nx = e[0], .ny = e[1], .nz = e[2], .alpha = a, .dtstep = 900.0f, .mask = m, .seed = seed++},
                         6);
}

TEST(SweepIdentity, BalancedConduction) {
  // Materials of different k side by side, films against held cells, mirror
  // faces, masked columns, odd and even extents, a cell's own heat, a step
  // under 0.12 s and a scale of changes that is not positive.
  const int extents[][3] = {{3, 3, 3}, {5, 5, 5}, {4, 4, 4}, {6, 5, 4}, {5, 6, 7}, {9, 3, 5}, {12, 11, 10},
                            {17, 23, 19}, {20, 21, 3}, {34, 9, 6}, {ijcap, ijcap, kcap}};
  const Mask masks[] = {Mask::ring, Mask::holes, Mask::circle, Mask::all};
  const FaceCodes codes[] = {{'D', 'D', 'D', 'D', 'D', 'D'}, {'N', 'D', 'N', 'N', 'N', 'D'}, {'D', 'N', 'D', 'N', 'D', 'N'}};
  unsigned seed = 900;
  for (const auto& e : extents)
    for (int m = 0; m < 4; ++m) {
      const bool full = e[0] == ijcap;
      const Scene s{.nx = e[0], .ny = e[1], .nz = e[2], .alpha = m == 2 ? 1.0f : 0.7f, .dtstep = m == 3 ? 0.1f : 900.0f,
                    .mask = masks[m], .seed = seed++, .ownHeat = m == 1, .balanced = true, .bound = codes[seed % 3]};
      expectSameSweeps(s, full ? 2 : 6);
      if (full) break;
    }
  Inputs in(Scene{.nx = 11, .ny = 10, .nz = 9, .alpha = 0.5f, .dtstep = 900.0f, .balanced = true});
  expectSameSweeps(in, 2, "balanced tscale -1", -1.0e10f, -1.125f);
  // Forty materials strewn at random: far more than 255 sets of six weights.
  expectSameSweeps({.nx = 37, .ny = 30, .nz = 12, .alpha = 0.7f, .dtstep = 900.0f, .mask = Mask::holes,
                    .balanced = true, .strewn = 40},
                   3);
}

TEST(SweepIdentity, HeatOfEachCell) {
  // A step that gives each cell its own heat: it enters each old-level term.
  const int extents[][3] = {{5, 6, 7}, {17, 23, 19}, {ijcap, ijcap, kcap}};
  for (const auto& e : extents)
    expectSameSweeps({.nx = e[0], .ny = e[1], .nz = e[2], .alpha = 0.7f, .dtstep = 1800.0f, .mask = Mask::holes,
                      .ownHeat = true},
                     2);
}

TEST(SweepIdentity, FullSizeGrids) {
  // The largest grid the model holds, and an odd one just below it, with
  // holes in the plan; nine sweeps run the whole relaxation schedule once.
  expectSameSweeps(Scene{ijcap, ijcap, kcap, 0.7f, 3600.0f, 0.3f, 0.3f, 0.3f}, 3);
  expectSameSweeps({.nx = 79, .ny = 77, .nz = 75, .alpha = 0.5f, .dtstep = 5400.0f, .mask = Mask::holes}, 9);
}

TEST(SweepIdentity, CellSizesOfPowersOfTwo) {
  // Squares that are powers of two (0.25 m -> 1/16, 0.5 m, 1 m, 2 m), alone
  // and together, mixed with sizes that are not.
  const float sizes[][3] = {{0.25f, 0.3f, 0.3f}, {0.3f, 0.5f, 0.3f}, {0.3f, 0.3f, 0.25f},
                            {0.25f, 0.5f, 0.3f}, {1.0f, 0.3f, 2.0f}, {0.3f, 0.125f, 0.25f},
                            {0.25f, 0.25f, 0.25f}, {0.3f, 0.3f, 0.3f}};
  unsigned seed = 500;
  for (const auto& d : sizes)
    expectSameSweeps({21, 20, 19, 0.7f, 1800.0f, d[0], d[1], d[2], Mask::holes, seed++}, 5);
  expectSameSweeps(Scene{ijcap, ijcap, kcap, 0.7f, 5400.0f, 0.3f, 0.3f, 0.25f}, 2);
}

// A change of the last bit of a double term hardly ever shows in the float
// that is stored, so realistic fields cannot tell an exact quotient from a
// near one. These fields make the stored value the small difference of large
// terms, which brings the last bits of the terms into the float. Computed
// columns stand alone (checkerboard plan) between columns of fixed values, and
// the layers are coupled only weakly (dz of 1000 km), so that every update of
// a sweep sees the same neighbours.
TEST(SweepIdentity, CancellingTermsBringOutTheLastBits) {
  const float sizes[][2] = {{0.3f, 0.25f}, {0.25f, 0.3f}};
  for (const auto& d : sizes) {
    const Scene s{40, 37, 12, 0.5f, 900.0f, d[0], d[1], 1.0e6f, Mask::checkerboard};

    // The fixed columns stand near 1e7, the computed ones near 0, and the
    // source cancels the pull of the fixed ones at both time levels: the
    // numerator is what is left of terms near 1e9, and relax is 1.
    Inputs big(s);
    const float H = 1.0e7f;
    test::eachCell(s.nx, s.ny, s.nz, [&](int i, int j, int k) {
      const std::size_t c = cell(i, j, k);
      big.hold[c] = big.hnew[c] = big.secmask[column(i, j)] ? big.hold[c] - 30.0f : H + big.hold[c];
    });
    big.in.heat.rate = 1.0f;
    const double pull = 2.0 * H * (1.0 / big.in.dx2 + 1.0 / big.in.dy2);
    for (int m = 1; m <= 3; ++m) big.prod[m] = float(-double(big.sig[m]) * pull);
    expectSameSweeps(big, 1, "cancelling source", -1.0e10f, 0.75f, 3);

    // Each computed cell starts at -24 times its Tstar: with relax 1.2 the
    // first update stores 6 Tstar and the second 1.2 Tstar - 0.2 * 6 Tstar,
    // which is nothing but the rounding of the two.
    Inputs flip(s);
    RealField tstar = flip.hnew;
    double one = 1.0;
    float ignored = 0.0f;
    formula::plainSweep(flip.in, tstar, 1.0f, ignored, one);
    for (std::size_t c = 0; c < layers(s.nz); ++c)
      if (flip.secmask[c % (std::size_t(ijcap) * ijcap)] && tstar[c] != flip.hnew[c])
        flip.hnew[c] = -24.0f * tstar[c];
    expectSameSweeps(flip, 1, "cancelling relaxation");
  }
}

TEST(SweepIdentity, ShortStepEmptyGridsAndNonFiniteValues) {
  // A step under 0.12 s (as a float) forces relax to 1.0, which comes back
  // to the caller; 0.12 itself does not.
  expectSameSweeps(Scene{13, 10, 8, 0.5f, 0.1f}, 4);
  expectSameSweeps(Scene{13, 10, 8, 0.5f, 0.12f}, 2);
  for (float dt : {0.1f, 0.11999999f, 0.12f}) {
    Inputs in(Scene{6, 6, 6, 0.5f, dt});
    Sweeper sweeper;
    sweeper.prepare(in.in);
    double relax = 1.8;
    float err = -1.0e10f;
    sweeper.sweep(in.hnew, 1.0f, err, relax);
    EXPECT_EQ(relax, dt < 0.12f ? 1.0 : 1.8) << dt;
  }
  // A scale of changes that is zero, negative, infinite or NaN.
  for (float tscale0 : {-0.125f, -3.0f, std::numeric_limits<float>::infinity(),
                        std::numeric_limits<float>::quiet_NaN()}) {
    Inputs in(Scene{11, 10, 9, 0.5f, 900.0f});
    expectSameSweeps(in, 2, "tscale " + std::to_string(tscale0), -1.0e10f, tscale0);
  }
  // Nothing to compute: no cell changes and err keeps the caller's value.
  expectSameSweeps(Scene{2, 9, 9, 0.5f, 900.0f}, 1, 3.0f);
  expectSameSweeps(Scene{9, 9, 2, 0.5f, 900.0f}, 1, 3.0f);
  expectSameSweeps({.nx = 9, .ny = 9, .nz = 9, .alpha = 0.5f, .dtstep = 900.0f, .mask = Mask::none}, 1, 3.0f);
  // A caller's err above every change stays where it was.
  expectSameSweeps(Scene{8, 7, 6, 0.5f, 900.0f}, 2, 1.0e30f);

  // A conductivity of zero is not guarded against in the sweep: the cells of
  // that material become NaN and spread it; err never rises on NaN.
  Inputs zeroSig(Scene{10, 9, 7, 0.5f, 900.0f});
  zeroSig.sig[3] = 0.0f;
  expectSameSweeps(zeroSig, 3, "zero conductivity", -1.0e10f, 1.0f);
  EXPECT_GT(std::count_if(zeroSig.hnew.begin(), zeroSig.hnew.end(), [](float t) { return std::isnan(t); }), 50);
}

TEST(SweepIdentity, MirrorFacesInTheSweepLayout) {
  // The faces refreshed in the sheared copy, stored back, against boundary()
  // on the field; extents of 3 make opposite faces copy each other's plane.
  const int extents[][3] = {{3, 5, 4}, {3, 3, 3}, {6, 3, 7}, {12, 11, 10}, {9, 8, 3}, {2, 6, 6}};
  const FaceCodes codes[] = {{'N', 'N', 'N', 'N', 'N', 'N'}, {'N', 'D', 'N', 'D', 'N', 'L'},
                             {'D', 'N', 'D', 'N', 'D', 'N'}, {'n', 'N', 'L', 'N', 'N', 'D'}};
  for (const auto& e : extents)
    for (const FaceCodes& bound : codes) {
      Inputs in(Scene{e[0], e[1], e[2], 0.5f, 900.0f});
      RealField plain = in.hnew;
      boundary(e[0], e[1], e[2], bound, plain);
      for (Variant& v : sweepers()) {
        RealField field = in.hnew;
        v.sweeper.prepare(in.in);
        v.sweeper.load(field);
        v.sweeper.mirrorFaces(bound);
        v.sweeper.store(field);
        ASSERT_EQ(0, std::memcmp(plain.data(), field.data(), layers(e[2]) * sizeof(float)))
            << e[0] << "x" << e[1] << "x" << e[2] << " " << std::string(bound.begin(), bound.end()) << " " << v.name();
      }
    }
}

}  // namespace
}  // namespace ph
