#include "driver/forward.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "model/step_pass.h"
#include "hydration/field.h"
#include "hydration/model.h"
#include "hydration/ratetable.h"
#include "input/keyword.h"
#include "input/layouts.h"
#include "results/concrete.h"
#include "results/results.h"
#include "solver/converge.h"
#include "solver/dirichlet.h"
#include "solver/mirror.h"
#include "model/single_math.h"
#include "model/stats.h"

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

}  // namespace

void checkBeforeStepping(Run& run, const ModelState& s, const SeriesPoints& pts) {
  checkMirrorFaces(run, s);
  checkSeriesPoints(run, s, pts);
}

ConcreteRecord forward(Run& run, ModelState& s, const SeriesPoints& pts, ForwardStats* counters,
                       long long maxSteps) {
  const int nx = s.nx, ny = s.ny, nz = s.nz;
  checkBeforeStepping(run, s, pts);

  RealField hold(cellCount, 0.0f);
  Sweeper sweeper;

  int rtsflag = s.rtsflag;
  if (s.nrate == 0 && rtsflag != 0) {
    run.pause("Problem: RTSFLAG IS NOT CONSISTENT W/ SOURCE");
    // There is no table to follow: the hydration model takes over.
    rtsflag = 0;
    run.free(kLog, {"no rate table (points= 0): the run goes on with the hydration model"});
  }
  float errsum = 0.0f;
  hupdate(nx, ny, nz, hold, s.hnew);
  const float P[3] = {s.rtab[1][1], s.rtab[2][1], s.rtab[3][1]};

  const Stats sS = xdeviat(nx, ny, nz, s.imat, s.sig);
  const Stats sA = xdeviat(nx, ny, nz, s.imat, s.A);
  if (sS.min <= 0.0f) run.pause(" PROBLEM: sig() =0.0");
  if (sA.min <= 0.0f) run.pause(" PROBLEM: A() =0.0");
  const Stats sP = xdeviat(nx, ny, nz, s.imat, s.prod);

  int icc = 0;
  for (int i = 1; i <= nx; ++i)
    for (int j = 1; j <= ny; ++j)
      for (int k = 1; k <= nz; ++k) {
        const int m = s.imat[cell(i, j, k)];
        if (s.A[m] * s.sig[m] > 0.0f) {
          ++icc;
        } else {
          run.free(kTerminal, {"Problem: A,sig", s.A[m], s.sig[m], i, j, k});
          run.stop();
        }
      }

  if (rtsflag != 0) {
    const float S = initrt(run, s.nrate, s.rtab, s.endtime);
    if (!(S > 0.0f) || !std::isfinite(S))
      run.reject("Problem: the rate table releases no heat (its integral is not above 0); "
                 "check the rates in the hydration block");
  }

  float a_val = sA.avg - 0.2f * (sA.rms - sA.mad);
  const float SIG_val = sS.avg + 0.2f * (sS.rms - sS.mad);
  if (a_val <= 0.0f) {
    run.free(kTerminal, {"A: avg value =", sA.avg, a_val});
    a_val = sA.min + sA.rms;
  }
  const float D = std::fabs(SIG_val / a_val);
  const float half = static_cast<float>(nz) * static_cast<float>(nx + ny) / 2.0f;
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
  run.free(kLog, {"DIFFUSIVITY,DTmax,dt0, dt(0),icc,SIG_val,a_val=", D, DTmax, s.dt, dtstep, icc,
                  SIG_val, a_val});
  if (icc == 0) run.pause("icc=0: trouble");

  float time = s.start;
  float err = 0.0f;
  ConcreteRecord concrete;
  // Steps whose sweeps ran out before the change fell to the tolerance.
  long long unconverged = 0;
  float worst = 0.0f;
  if (s.endtime <= s.start) {
    run.pause(" starttime is later than endtime");
    // No step is computed: the end line shows the start time, no step and
    // no error.
    dtstep = 0.0f;
  } else {
    time = s.start - dtstep;
    int irt = 1;
    float OldRT = 1.0f, NewRT = 0.0f, qused = 0.0f;
    if (rtsflag != 0 && s.rtab[1][1] <= 0.0f) NewRT = s.rtab[1][2] * s.qtot;
    run.free(kLog, {"TIME , error , dt hrs, qused %,  rms ,  xmax ,  xmin ,  xavg"});

    StepInputs in;
    in.nx = nx;
    in.ny = ny;
    in.nz = nz;
    in.alpha = s.alpha;
    in.imat = &s.imat;
    in.A = &s.A;
    in.sig = &s.sig;
    in.prod = &s.prod;
    in.hold = &hold;
    in.secmask = &s.secmask;
    in.dx2 = double(s.dx) * double(s.dx);
    in.dy2 = double(s.dy) * double(s.dy);
    in.dz2 = double(s.dz) * double(s.dz);
    const StepControl control{s.maxits, s.maxerr};
    const std::size_t centre = centreCell(nx, ny, nz);
    // The sums of the mean concrete temperature of the field the next step
    // starts from (model mode).
    ConcreteSums tconcSums;
    if (rtsflag == 0) tconcSums = concreteSums(nx, ny, nz, s.imat, s.prod, s.hnew);

    long long computed = 0;
    for (;;) {
      err = 0.0f;
      if (time >= s.endtime) break;
      if (time + dtstep > s.endtime) dtstep = std::fabs(s.endtime - time);
      // A step that does not move the clock (none left, or too small to
      // count at this time) would repeat for ever.
      const float next = time + dtstep;
      if (!(next > time) || !std::isfinite(next))
        run.reject("Problem: the time step " + std::to_string(dtstep) + " s cannot advance the time " +
                   std::to_string(time / 3600.0f) + " h; check the times and the material data");
      // Far out the single-precision clock counts in coarse units and would
      // move by more or less than the step that is computed: the times of the
      // result lines would no longer be those of the field. (Whole quarter
      // hours stay exact to beyond two years.)
      if (std::fabs((next - time) - dtstep) > 1.0f)
        run.reject("Problem: at " + std::to_string(time / 3600.0f) +
                   " h the clock can no longer count a time step of " + std::to_string(dtstep) +
                   " s exactly; the end time " + std::to_string(s.endtime / 3600.0f) + " h is too far");
      time = next;
      if (time < s.start) continue;

      if (rtsflag != 0) {
        qused = qused + NewRT * dtstep;
        rtsource(run, s.nrate, irt, s.rtab, s.qtot, dtstep, time, OldRT, NewRT);
      } else {
        const float tconc = concreteTemperature(run, nx, ny, nz, tconcSums, s.hnew);
        modsource(run, time, s.qtot, tconc, P, dtstep, qused, s.modflag, OldRT, NewRT);
      }
      ttdirich(run, s, time - dtstep / 2.0f, s.hnew);
      nedge(nx, ny, nz, s.bound, s.hnew);
      in.NewRT = NewRT;
      in.dtstep = dtstep;
      int sweeps = 0;
      float tol = 0.0f;
      err = converge(sweeper, in, s.bound, control, s.hnew, &sweeps, &tol);
      if (err > tol && err > 0.0f) {
        ++unconverged;
        worst = std::max(worst, err);
      }
      nedge(nx, ny, nz, s.bound, s.hnew);
      const StepFigures fig = afterStep(nx, ny, nz, s.imat, s.prod, s.hnew, hold, rtsflag == 0);
      const Stats& st = fig.st;
      tconcSums = fig.concrete;
      if (counters) {
        ++counters->steps;
        counters->sweeps += sweeps;
      }
      // With no heat at all there is no fraction released to show.
      const float released = s.qtot != 0.0f ? qused * 100.0f / s.qtot : 0.0f;
      run.free(kLog, {"TIME", time / 3600.0f, err, dtstep / 3600.0f, released, st.rms, st.max,
                      st.min, st.avg});
      if (!std::isfinite(st.avg) || !std::isfinite(st.rms))
        run.reject("Problem: the temperatures are no longer finite numbers at " +
                   std::to_string(time / 3600.0f) + " h; check the material and hydration data");
      if (err > 0.0f)
        errsum = errsum + single::log10(err);
      else
        errsum = errsum - 7.0f;
      writeTmaxLine(run, time, st, s.hnew[centre]);
      if (pts.ipts > 0) writeCenterLine(run, time, pts, s.hnew);

      // The concrete's own figures: one pass over the field, one line of concrete.csv.
      writeConcreteLine(run, time, concreteFigures(nx, ny, nz, s.imat, s.prod, s.bound, s.hnew), concrete);

      dtstep = 4.0f * dtstep;
      // The cap holds while less than a third of the heat is out; with no
      // heat at all there is nothing to wait for.
      if (s.qtot != 0.0f && qused / s.qtot < 0.33f && dtstep > 5400.0f) dtstep = 5400.0f;
      if (time > 259200.0f && DTmax < s.dt) {
        DTmax = s.dt;
        dtstep = DTmax;
      }
      if (dtstep > DTmax) dtstep = DTmax;
      ++computed;
      if (maxSteps > 0 && computed >= maxSteps) break;
      if (!(time < s.endtime)) break;
    }
  }

  run.put(kTerminal, endLayout(), {time / 3600.0f, dtstep / 3600.0f, err});
  run.put(kLog, endLayout(), {time / 3600.0f, dtstep / 3600.0f, err});
  nedge(nx, ny, nz, s.bound, s.hnew);
  run.free(kTerminal, {"Summed Iteration Errors for run=", errsum});
  const Stats fin = deviat(nx, ny, nz, s.hnew);
  run.free(kTerminal, {"T:avg,rms,mad,min,max= ", fin.avg, fin.rms, fin.mad, fin.min, fin.max});
  run.free(kLog, {"T:avg,rms,mad,min,max= ", fin.avg, fin.rms, fin.mad, fin.min, fin.max});
  writeFinalField(run, rtrimmed(s.outfile), nx, ny, nz, s.hnew);
  run.put(kLog, textLayout(), {"leaving forward, closed " + s.outfile});
  // New lines go after the ones a run has always ended with.
  if (unconverged > 0)
    run.warn(std::to_string(unconverged) + (unconverged == 1 ? " step" : " steps") +
             " ended above their tolerance within maxits= " + std::to_string(s.maxits) +
             " sweeps; the largest error was " + numberText(worst));
  return concrete;
}

}  // namespace ph
