#include "driver/forward.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "driver/named_points.h"
#include "driver/sound.h"
#include "hydration/field.h"
#include "hydration/source.h"
#include "input/layouts.h"
#include "model/single_math.h"
#include "model/stats.h"
#include "model/step_pass.h"
#include "record/text.h"
#include "results/concrete.h"
#include "results/result_files.h"
#include "results/results.h"
#include "solver/converge.h"
#include "solver/dirichlet.h"
#include "solver/mirror.h"

namespace ph {

float roundDt(float dt) { return 900.0f * std::trunc(dt / 900.0f + 0.51f); }
float roundDtmax(float dtmax) { return 900.0f * std::trunc(dtmax / 900.0f + 1.0f); }

namespace {

std::string cellText(int i, int j, int k) {
  std::string t = "(";
  t += std::to_string(i);
  t += ',';
  t += std::to_string(j);
  t += ',';
  t += std::to_string(k);
  t += ')';
  return t;
}

// A mirror face copies the plane two cells inside, so it needs three cells
// across it; an edge between two mirror faces then has its sources too.
void checkMirrorFaces(Run& run, const ModelState& s) {
  const char* names[6] = {"1 (i = 1)", "2 (j = ny)", "3 (i = nx)", "4 (j = 1)", "5 (k = 1)", "6 (k = nz)"};
  const int across[6] = {s.nx, s.ny, s.nx, s.ny, s.nz, s.nz};
  const char* extent[6] = {"nx=", "ny=", "nx=", "ny=", "nz=", "nz="};
  for (int f = 0; f < 6; ++f)
    if (s.bound[f] == 'N' && across[f] < 3)
      run.reject(std::string("Problem: face ") + names[f] + " is a mirror face (N) but " + extent[f] +
                 " " + std::to_string(across[f]) + "; a mirror face needs at least 3 cells across it");
}

void checkSeriesPoints(Run& run, const ModelState& s, const SeriesPoints& pts) {
  for (int p = 1; p <= pts.ipts; ++p) {
    const int i = pts.ix[p], j = pts.iy[p], k = pts.iz[p];
    if (i < 1 || i > s.nx || j < 1 || j > s.ny || k < 1 || k > s.nz)
      run.reject("Problem: series point " + std::to_string(p) + " " + cellText(i, j, k) +
                 " in series.pr lies outside the grid of " + std::to_string(s.nx) + " x " +
                 std::to_string(s.ny) + " x " + std::to_string(s.nz) + " cells");
  }
}

const Layout& endLayout() {
  static const Layout l("(15X,'TIME =',F7.3,5X,'  DT=',F9.4,'  ERROR= ',E7.2,/)");
  return l;
}

// What the checks of the materials find, for the step limits.
struct MaterialFigures {
  Stats sig, A, prod;
  int icc = 0;  // cells in use
};

// Every cell must conduct and store heat: a material with no conductivity
// or no capacity pauses the run, a cell of one stops it.
MaterialFigures checkMaterials(Run& run, const ModelState& s) {
  MaterialFigures m;
  m.sig = xdeviat(s.nx, s.ny, s.nz, s.imat, s.sig);
  m.A = xdeviat(s.nx, s.ny, s.nz, s.imat, s.A);
  if (m.sig.min <= 0.0f) run.pause(" PROBLEM: sig() =0.0");
  if (m.A.min <= 0.0f) run.pause(" PROBLEM: A() =0.0");
  m.prod = xdeviat(s.nx, s.ny, s.nz, s.imat, s.prod);
  for (int i = 1; i <= s.nx; ++i)
    for (int j = 1; j <= s.ny; ++j)
      for (int k = 1; k <= s.nz; ++k) {
        const int mat = s.imat[cell(i, j, k)];
        if (s.A[mat] * s.sig[mat] > 0.0f) {
          ++m.icc;
        } else {
          run.free(kTerminal, {"Problem: A,sig", s.A[mat], s.sig[mat], i, j, k});
          run.stop();
        }
      }
  return m;
}

// The longest step and the first one (seconds).
struct StepLimits {
  float DTmax = 0;
  float first = 0;
};

// DTmax from the diffusivity of the grid's representative material and the
// cell sizes, blended with a limit from the heat where the concrete holds
// much of it; the starting step dt (s.dt) kept at or below it; both rounded
// to quarter hours. The first step is a twelfth of DTmax.
StepLimits stepLimits(Run& run, ModelState& s, const MaterialFigures& m) {
  const Stats& sA = m.A;
  const Stats& sS = m.sig;
  const Stats& sP = m.prod;
  float a_val = sA.avg - 0.2f * (sA.rms - sA.mad);
  const float SIG_val = sS.avg + 0.2f * (sS.rms - sS.mad);
  if (a_val <= 0.0f) {
    run.free(kTerminal, {"A: avg value =", sA.avg, a_val});
    a_val = sA.min + sA.rms;
  }
  const float D = std::fabs(SIG_val / a_val);
  const float half = static_cast<float>(s.nz) * static_cast<float>(s.nx + s.ny) / 2.0f;
  float DTmax = (s.dx + s.dy + s.dz) * (std::sqrt(s.dx * s.dy) + s.dz) / 6.0f /
                single::cos(2.0f / std::sqrt(half)) / D;
  if (s.qtot != 0.0f && sP.avg + sP.rms > 0.1f) {
    const float dth = (sA.avg - 2.0f * (sA.rms - sA.mad)) * 21600.0f * 15.0f / (s.qtot * 0.18f);
    if (dth > DTmax) {
      DTmax = 0.37f * dth + 0.63f * DTmax;
      if (dth < s.dt) s.dt = dth;
    }
  }
  if (s.dt > DTmax) s.dt = 0.5f * s.dt + 0.5f * DTmax;
  s.dt = roundDt(s.dt);
  DTmax = roundDtmax(DTmax);
  float dtstep = DTmax / 12.0f;
  run.free(kLog, {"DIFFUSIVITY,DTmax,dt0, dt(0),icc,SIG_val,a_val=", D, DTmax, s.dt, dtstep, m.icc,
                  SIG_val, a_val});
  if (m.icc == 0) run.pause("icc=0: trouble");
  return {DTmax, dtstep};
}

// What a step solves with: the field at its start, the sweeper and the
// step's description, kept from step to step.
struct Solve {
  RealField hold = RealField(cellCount, 0.0f);
  Sweeper sweeper;
  StepInputs in;
  StepControl control;
  std::optional<SoundRun> sound;  // where the project has a [Physics] block
  std::optional<PointReadings> points;  // where its block names points
  std::optional<SectionKeeper> section;  // where it has section=
};

// The model as every step hands it to the sweeps; each step adds its heat
// and its length.
StepInputs stepInputs(const ModelState& s, const RealField& hold) {
  StepInputs in;
  in.nx = s.nx, in.ny = s.ny, in.nz = s.nz;
  in.alpha = s.alpha;
  in.imat = &s.imat;
  in.A = &s.A, in.sig = &s.sig, in.prod = &s.prod;
  in.hold = &hold;
  in.secmask = &s.secmask;
  in.dx2 = double(s.dx) * double(s.dx);
  in.dy2 = double(s.dy) * double(s.dy);
  in.dz2 = double(s.dz) * double(s.dz);
  return in;
}

// The step loop's own state.
struct Steps {
  StepClock clock;
  float DTmax = 0;
  float err = 0;     // of the latest step
  float errsum = 0;  // the sum of log10 of the steps' errors
  long long computed = 0;
  // Steps whose sweeps ran out before the change fell to the tolerance.
  long long unconverged = 0;
  float worst = 0;
  ConcreteSums sums;  // of the mean concrete temperature of the field the next step starts from
  ConcreteRecord concrete;
};

// Moves the clock to the end of the next step, cut to end at the end time
// and at the time `cut` of the next event where it lies within the step.
void advanceClock(Run& run, const ModelState& s, StepClock& c, float cut) {
  if (c.time + c.dtstep > s.endtime) c.dtstep = std::fabs(s.endtime - c.time);
  const bool toEvent = c.time < cut && c.time + c.dtstep > cut;
  if (toEvent) c.dtstep = cut - c.time;
  // A step that does not move the clock (none left, or too small to
  // count at this time) would repeat for ever.
  const float next = toEvent ? cut : c.time + c.dtstep;
  if (!(next > c.time) || !std::isfinite(next))
    run.reject("Problem: the time step " + std::to_string(c.dtstep) + " s cannot advance the time " +
               std::to_string(c.time / 3600.0f) + " h; check the times and the material data");
  // Far out the single-precision clock counts in coarse units and would
  // move by more or less than the step that is computed: the times of the
  // result lines would no longer be those of the field. (Whole quarter
  // hours stay exact to beyond two years.)
  if (std::fabs((next - c.time) - c.dtstep) > 1.0f)
    run.reject("Problem: at " + std::to_string(c.time / 3600.0f) +
               " h the clock can no longer count a time step of " + std::to_string(c.dtstep) +
               " s exactly; the end time " + std::to_string(s.endtime / 3600.0f) + " h is too far");
  c.time = next;
}

// One time step: its heat, the boundary temperatures at mid-step, the
// mirror edges, the solution, the pass after it and the step's lines of the
// log and the result files.
void timeStep(Run& run, ModelState& s, const SeriesPoints& pts, HeatSource& heat, Solve& solve, Steps& st,
              ForwardStats* counters) {
  const int nx = s.nx, ny = s.ny, nz = s.nz;
  StepClock& c = st.clock;
  solve.in.heat = heat.heat(run, s, c, st.sums);
  if (solve.sound) solve.in.heat = solve.sound->withWeather(s, solve.in.heat, c.time - c.dtstep / 2.0f, c.dtstep);
  ttdirich(run, s, c.time - c.dtstep / 2.0f, s.hnew);
  if (solve.sound) solve.sound->beforeStep(s, c.time - c.dtstep / 2.0f, solve.hold);
  nedge(nx, ny, nz, s.bound, s.hnew);
  solve.in.dtstep = c.dtstep;
  int sweeps = 0;
  float tol = 0.0f;
  st.err = converge(solve.sweeper, solve.in, s.bound, solve.control, s.hnew, &sweeps, &tol);
  // In the sound mode a step whose heat does not balance is solved on.
  for (int more = 0; solve.sound && solve.sound->solveOn(s, solve.in, solve.control); sweeps += more)
    st.err = converge(solve.sweeper, solve.in, s.bound, solve.control, s.hnew, &more, &tol);
  if (solve.sound) solve.sound->restoreHeld(s.hnew);
  if (st.err > tol && st.err > 0.0f) {
    ++st.unconverged;
    st.worst = std::max(st.worst, st.err);
  }
  nedge(nx, ny, nz, s.bound, s.hnew);
  // The balance needs the field the step started from, which the pass after
  // the step replaces.
  const HeatFigures* heatFigures = solve.sound ? &solve.sound->afterStep(s, solve.in, heat, c.time) : nullptr;
  const StepFigures fig = afterStep(nx, ny, nz, s.imat, s.prod, s.hnew, solve.hold, heat.followsConcrete());
  const Stats& sf = fig.st;
  st.sums = fig.concrete;
  if (counters) {
    ++counters->steps;
    counters->sweeps += sweeps;
  }
  // With no heat at all there is no fraction released to show.
  const float released = s.qtot != 0.0f ? heat.qused() * 100.0f / s.qtot : 0.0f;
  run.free(kLog, {"TIME", c.time / 3600.0f, st.err, c.dtstep / 3600.0f, released, sf.rms, sf.max, sf.min,
                  sf.avg});
  if (!std::isfinite(sf.avg) || !std::isfinite(sf.rms))
    run.reject("Problem: the temperatures are no longer finite numbers at " + std::to_string(c.time / 3600.0f) +
               " h; check the material and hydration data");
  if (st.err > 0.0f)
    st.errsum = st.errsum + single::log10(st.err);
  else
    st.errsum = st.errsum - 7.0f;
  const std::vector<double>* readings = solve.points ? &solve.points->read(s.hnew) : nullptr;
  writeStepLines(run, c.time, s, pts, sf, st.concrete, heatFigures, readings);
  if (solve.section) solve.section->afterStep(run, s, c.time, *readings);
}

// The next step four times as long, held to 1.5 h while less than a third of
// the heat is out (with no heat at all there is nothing to wait for), and to
// DTmax, which from the third day on is at least dt; in the sound mode
// never longer than maxstep.
void growStep(const ModelState& s, float qused, Steps& st) {
  float& dtstep = st.clock.dtstep;
  dtstep = 4.0f * dtstep;
  if (s.qtot != 0.0f && qused / s.qtot < 0.33f && dtstep > 5400.0f) dtstep = 5400.0f;
  if (st.clock.time > 259200.0f && st.DTmax < s.dt) {
    st.DTmax = s.dt;
    dtstep = st.DTmax;
  }
  if (dtstep > st.DTmax) dtstep = st.DTmax;
  if (s.physics.sound() && dtstep > s.physics.maxstep) dtstep = s.physics.maxstep;
}

// The end of the run: its last lines, the final field, and a warning for
// the steps that ended above their tolerance.
void endOfRun(Run& run, ModelState& s, const Steps& st) {
  const StepClock& c = st.clock;
  run.put(kTerminal, endLayout(), {c.time / 3600.0f, c.dtstep / 3600.0f, st.err});
  run.put(kLog, endLayout(), {c.time / 3600.0f, c.dtstep / 3600.0f, st.err});
  nedge(s.nx, s.ny, s.nz, s.bound, s.hnew);
  run.free(kTerminal, {"Summed Iteration Errors for run=", st.errsum});
  const Stats fin = deviat(s.nx, s.ny, s.nz, s.hnew);
  run.free(kTerminal, {"T:avg,rms,mad,min,max= ", fin.avg, fin.rms, fin.mad, fin.min, fin.max});
  run.free(kLog, {"T:avg,rms,mad,min,max= ", fin.avg, fin.rms, fin.mad, fin.min, fin.max});
  writeFinalField(run, rtrimmed(s.outfile), s.nx, s.ny, s.nz, s.hnew);
  run.put(kLog, textLayout(), {"leaving forward, closed " + s.outfile});
  // New lines go after the ones a run has always ended with.
  if (st.unconverged > 0)
    run.warn(std::to_string(st.unconverged) + (st.unconverged == 1 ? " step" : " steps") +
             " ended above their tolerance within maxits= " + std::to_string(s.maxits) +
             " sweeps; the largest error was " + numberText(st.worst));
}

}  // namespace

void checkBeforeStepping(Run& run, const ModelState& s, const SeriesPoints& pts) {
  checkMirrorFaces(run, s);
  checkSeriesPoints(run, s, pts);
  checkNamedPoints(run, s);
}

ForwardRecord forward(Run& run, ModelState& s, const SeriesPoints& pts, ForwardStats* counters,
                      long long maxSteps) {
  checkBeforeStepping(run, s, pts);
  Solve solve;
  const std::unique_ptr<HeatSource> heat = chooseHeatSource(run, s);
  hupdate(s.nx, s.ny, s.nz, solve.hold, s.hnew);
  const MaterialFigures materials = checkMaterials(run, s);
  heat->start(run, s);
  const StepLimits limits = stepLimits(run, s, materials);

  if (s.physics.present) solve.sound.emplace(s);
  if (!s.physics.points.empty()) solve.points.emplace(s);
  if (!s.physics.section.empty()) solve.section.emplace(s, *solve.points);
  Steps st;
  // In the sound mode the first step too is at most maxstep.
  const float first = s.physics.sound() ? std::min(limits.first, s.physics.maxstep) : limits.first;
  st.clock = {s.start, first};
  st.DTmax = limits.DTmax;
  if (s.endtime <= s.start) {
    run.pause(" starttime is later than endtime");
    // No step is computed: the end line shows the start time, no step and
    // no error.
    st.clock.dtstep = 0.0f;
  } else {
    st.clock.time = s.start - first;
    run.free(kLog, {"TIME , error , dt hrs, qused %,  rms ,  xmax ,  xmin ,  xavg"});
    solve.in = stepInputs(s, solve.hold);
    if (solve.sound) {
      solve.in.conductances = solve.sound->conductances();
      solve.in.A = solve.sound->capacities();
    }
    solve.control = {s.maxits, s.maxerr};
    if (heat->followsConcrete()) st.sums = concreteSums(s.nx, s.ny, s.nz, s.imat, s.prod, s.hnew);
    for (;;) {
      st.err = 0.0f;
      if (st.clock.time >= s.endtime) break;
      float cut = std::numeric_limits<float>::infinity();
      if (solve.sound && st.clock.time >= s.start) {
        solve.sound->applyEvents(run, s, solve.hold, st.clock.time);
        cut = solve.sound->nextEvent();
      }
      advanceClock(run, s, st.clock, cut);
      if (st.clock.time < s.start) continue;
      timeStep(run, s, pts, *heat, solve, st, counters);
      growStep(s, heat->qused(), st);
      ++st.computed;
      if (maxSteps > 0 && st.computed >= maxSteps) break;
      if (!(st.clock.time < s.endtime)) break;
    }
  }
  endOfRun(run, s, st);
  ForwardRecord record{st.concrete, {}, {}};
  if (solve.sound) {
    record.heat = solve.sound->figures();
    record.warning = solve.sound->contrastWarning(s);
  }
  return record;
}

}  // namespace ph
