// The relaxation sweep on a full 80 x 80 x 80 grid, side by side: the cell
// formula written out per cell (formula::plainSweep), the plain
// sweep the program started with (plain_sweep.h), and the program's Sweeper
// on every instruction set the processor offers, on one thread and on two.
// Each reports nanoseconds per cell update (mean and best sweep); the faster
// forms also report their speed-up over the formula. The run also measures
// how fast the processor divides doubles at each kernel's vector width
// (division_floor.h), and the end of the run prints each form's time as a
// multiple of that floor: divisions per update x time per division.
// Balanced conduction (one weight per face, shared by its two cells) is
// timed on the same grid in the same forms, and the run ends with its time
// per update over the legacy sweep's, kernel by kernel.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include "division_floor.h"
#include "plain_sweep.h"
#include "solver/balanced_formula.h"
#include "solver/cell_formula.h"
#include "solver/converge.h"
#include "solver/sweep.h"

namespace ph {
namespace {

// A pour of concrete (material 1, ~50 C inside) in soil (material 2, 12 C):
// a 40-cell cube in the middle of the grid, the temperature rising smoothly
// across a few cells at its faces. Every column is computed except the
// outer ring; the iterate is the start-of-step field warmed a little.
struct Scene {
  static constexpr int n = ijcap;
  IntField imat = IntField(cellCount, 2);
  MatTable A{}, sig{}, prod{};
  RealField hold = RealField(cellCount, 12.0f);
  RealField start = RealField(cellCount, 12.0f);
  std::vector<int> secmask = std::vector<int>(std::size_t(ijcap) * ijcap, 0);
  StepInputs in;
  Conductances g;
  StepInputs balanced;  // the same step in balanced conduction
  long long updates = 0;  // cell updates per sweep

  Scene() {
    A[1] = 2400.0f * 950.0f, sig[1] = 2.6f, prod[1] = 1.0f;
    A[2] = 1900.0f * 850.0f, sig[2] = 1.5f, prod[2] = 0.0f;
    auto inside = [](int x) { return x > 20 && x <= 60; };
    auto ramp = [](int x) {  // 0 in the soil, 1 well inside the pour
      return 0.5f * (std::tanh((float(x) - 20.5f) / 3.0f) - std::tanh((float(x) - 60.5f) / 3.0f));
    };
    for (int k = 1; k <= n; ++k)
      for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) {
          const std::size_t c = cell(i, j, k);
          imat[c] = inside(i) && inside(j) && inside(k) ? 1 : 2;
          const float s = ramp(i) * ramp(j) * ramp(k);
          hold[c] = 12.0f + 38.0f * s;
          start[c] = hold[c] + 0.75f * s;
        }
    for (int j = 2; j <= n - 1; ++j)
      for (int i = 2; i <= n - 1; ++i) secmask[column(i, j)] = 1;
    updates = 2LL * (n - 2) * (n - 2) * (n - 2);
    in.nx = in.ny = in.nz = n;
    in.alpha = 0.7f;
    in.imat = &imat;
    in.A = &A, in.sig = &sig, in.prod = &prod;
    in.hold = &hold;
    in.heat.rate = 700.0f;
    in.secmask = &secmask;
    in.dx2 = in.dy2 = in.dz2 = double(0.3f) * double(0.3f);
    in.dtstep = 5400.0f;
    balanced = in;
    formConductances({n, n, n, &imat, &sig, nullptr, 0.3f, 0.3f, 0.3f, {'D', 'D', 'D', 'D', 'D', 'D'}, &secmask}, g);
    balanced.conductances = &g;
  }
};

Scene& scene() {
  static Scene s;
  return s;
}

std::map<std::string, double> bestNs;  // best ns per update of each form

// Times sweep(field, tscale, err, relax) over the relaxation schedule; the
// field starts again from the same iterate every ten sweeps, and is handed to
// restart(field) then (both untimed).
template <typename Sweep, typename Restart = void (*)(const RealField&)>
void timeSweeps(benchmark::State& state, const std::string& name, Sweep sweep,
                Restart restart = [](const RealField&) {}) {
  Scene& s = scene();
  RealField field = s.start;
  restart(field);
  double total = 0.0, best = 1e300;
  int n = 0;
  float sink = 0.0f;
  for (auto _ : state) {
    if (n == 10) field = s.start, n = 0, restart(field);
    ++n;
    float err = -1.0e10f;
    double relax = relaxFactor(n);
    const auto t0 = std::chrono::steady_clock::now();
    sweep(field, 10.0f, err, relax);
    const auto t1 = std::chrono::steady_clock::now();
    const double sec = std::chrono::duration<double>(t1 - t0).count();
    state.SetIterationTime(sec);
    total += sec;
    best = std::min(best, sec);
    sink += err;
  }
  benchmark::DoNotOptimize(sink);
  const double perUpdate = 1e9 / double(s.updates);
  state.counters["ns_per_update"] = total / double(state.iterations()) * perUpdate;
  state.counters["best_ns_per_update"] = best * perUpdate;
  bestNs[name] = best * perUpdate;
  if (name != "reference" && bestNs.count("reference"))
    state.counters["speedup_best"] = bestNs["reference"] / (best * perUpdate);
}

void BM_SweepReference(benchmark::State& state) {
  timeSweeps(state, "reference", [](RealField& f, float ts, float& err, double& relax) {
    formula::plainSweep(scene().in, f, ts, err, relax);
  });
}

void BM_SweepBalancedReference(benchmark::State& state) {
  timeSweeps(state, "balanced reference", [](RealField& f, float ts, float& err, double& relax) {
    formula::balanced::plainBalancedSweep(scene().balanced, f, ts, err, relax);
  });
}

void BM_SweepPlain(benchmark::State& state) {
  bench::PlainSweeper plain;
  plain.prepare(scene().in);
  timeSweeps(state, "plain", [&](RealField& f, float ts, float& err, double& relax) {
    plain.sweep(f, ts, err, relax);
  });
}

// The Sweeper as the step iteration uses it: the field loaded once into the
// sweep's layout (untimed, as are the reloads every ten sweeps), then only
// the sweeps timed.
void BM_Sweeper(benchmark::State& state, Sweeper::Isa isa, int threads, bool balanced) {
  Sweeper sweeper({.threads = threads});
  sweeper.useIsa(isa);
  sweeper.prepare(balanced ? scene().balanced : scene().in);
  timeSweeps(
      state, std::string(balanced ? "Balanced " : "Sweeper ") + Sweeper::isaName(isa) + (threads == 2 ? " x2" : ""),
      [&](RealField&, float ts, float& err, double& relax) { sweeper.sweep(ts, err, relax); },
      [&](const RealField& f) { sweeper.load(f); });
}

// The per-step part: what prepare() forms once for all sweeps of a step.
void BM_SweeperPrepare(benchmark::State& state, bool balanced) {
  Sweeper sweeper;
  double best = 1e300;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    sweeper.prepare(balanced ? scene().balanced : scene().in);
    const double sec = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    state.SetIterationTime(sec);
    best = std::min(best, sec);
    benchmark::ClobberMemory();
  }
  state.counters["best_ns_per_cell"] = best * 1e9 / double(scene().updates / 2);
}

}  // namespace
}  // namespace ph

int main(int argc, char** argv) {
  using namespace ph;
  benchmark::RegisterBenchmark("Sweep/reference", BM_SweepReference)->UseManualTime()->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Sweep/plain", BM_SweepPlain)->UseManualTime()->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Sweep/balanced_reference", BM_SweepBalancedReference)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  // Legacy and balanced side by side, kernel by kernel.
  for (int threads : {1, 2})
    for (Sweeper::Isa isa : Sweeper::supportedIsas())
      for (bool balanced : {false, true})
        benchmark::RegisterBenchmark((std::string(balanced ? "Sweep/Balanced_" : "Sweep/Sweeper_") +
                                      Sweeper::isaName(isa) + "/threads:" + std::to_string(threads)).c_str(),
                                     BM_Sweeper, isa, threads, balanced)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
  for (bool balanced : {false, true})
    benchmark::RegisterBenchmark(balanced ? "Sweep/Balanced_prepare" : "Sweep/Sweeper_prepare", BM_SweeperPrepare,
                                 balanced)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  if (bestNs.count("reference")) {
    const Sweeper chosen;
    std::printf("\nBest ns per cell update on the 80 x 80 x 80 pour (the program uses Sweeper %s):\n",
                Sweeper::isaName(chosen.isa()));
    for (const auto& [name, ns] : bestNs)
      std::printf("  %-18s %8.3f ns   reference / this = %6.2f\n", name.c_str(), ns, bestNs["reference"] / ns);
  }

  // Balanced conduction against the legacy sweep, same grid, same run.
  std::printf("\nBalanced / legacy, best ns per cell update (goal: at most 1.5):\n");
  for (const char* two : {"", " x2"})
    for (Sweeper::Isa isa : Sweeper::supportedIsas()) {
      const auto legacy = bestNs.find(std::string("Sweeper ") + Sweeper::isaName(isa) + two);
      const auto balanced = bestNs.find(std::string("Balanced ") + Sweeper::isaName(isa) + two);
      if (legacy != bestNs.end() && balanced != bestNs.end())
        std::printf("  %-8s %-11s %8.3f / %8.3f ns = %5.2f\n", Sweeper::isaName(isa), *two ? "two threads" : "one thread",
                    balanced->second, legacy->second, balanced->second / legacy->second);
    }

  // The floor: the divisions of an update at the divider's pace. Beside it,
  // the conversions of an update (six neighbours and the old value widened,
  // the new value narrowed) at the converter's pace.
  Sweeper probe;
  probe.prepare(scene().in);
  const int divisions = probe.divisionsPerUpdate(10.0f);
  constexpr int conversions = 8;
  std::printf("\nFloors per update on this pour: %d double divisions (the division floor), %d conversions\n",
              divisions, conversions);
  std::printf("  %-8s %12s %12s %12s   %s\n", "kernel", "ns/division", "div floor", "cvt floor",
              "best sweep / division floor of the processors it runs on");
  for (Sweeper::Isa isa : Sweeper::supportedIsas()) {
    const double floor = divisions * bench::nsPerDivision(isa);
    const double convert = conversions * bench::nsPerConversion(isa);
    std::printf("  %-8s %12.4f %12.4f %12.4f", Sweeper::isaName(isa), floor / divisions, floor, convert);
    // Two threads have two dividers: their floor is half.
    for (int threads : {1, 2}) {
      const auto it = bestNs.find(std::string("Sweeper ") + Sweeper::isaName(isa) + (threads == 2 ? " x2" : ""));
      if (it != bestNs.end())
        std::printf("   %s%5.2f", threads == 2 ? "two threads " : "one thread ", it->second / (floor / threads));
    }
    std::printf("\n");
  }
  return 0;
}
