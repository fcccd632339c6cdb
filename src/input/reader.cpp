#include "input/reader.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <ctime>
#include <filesystem>

#include "input/keyword.h"
#include "input/layouts.h"
#include "model/stats.h"

namespace ph {

namespace {

bool has(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

std::string dateText() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[32];
  std::strftime(buf, sizeof buf, "%a %b %e %H:%M:%S %Y", &local);
  return fixedText(buf, 24);
}

void checkFinite(Run& run, std::string_view what, float v) {
  if (!std::isfinite(v)) run.reject("Problem: " + std::string(what) + " is not a finite number");
}

void checkRange(Run& run, std::string_view key, long long v, long long lo, long long hi) {
  if (v < lo || v > hi)
    run.reject("Problem: " + std::string(key) + " " + std::to_string(v) + " is outside " +
               std::to_string(lo) + " to " + std::to_string(hi));
}

// Reads `count` pairs (time in hours, value) starting on the next line, and
// turns the times into seconds. The table of `what` must hold finite numbers.
void readPairs(Run& run, int count, float* times, float* values, std::size_t stride,
               std::string_view what) {
  std::vector<ReadTarget> targets;
  for (int p = 0; p < count; ++p) {
    targets.push_back(ReadTarget::real(times[p * stride]));
    targets.push_back(ReadTarget::real(values[p * stride]));
  }
  run.files.readFreeOrFail(kProject, targets);
  for (int p = 0; p < count; ++p) {
    checkFinite(run, std::string(what) + " point " + std::to_string(p + 1), times[p * stride]);
    checkFinite(run, std::string(what) + " point " + std::to_string(p + 1), values[p * stride]);
  }
}

// Values of [times] that the scheme does not expect; the run goes on with them.
void warnTimes(Run& run, const ModelState& s, std::size_t line) {
  if (!(s.alpha >= 0.0f && s.alpha <= 1.0f))
    warnAt(run, kProject, line, "alpha " + numberText(s.alpha) + " is outside 0 to 1");
  if (s.maxits < 1)
    warnAt(run, kProject, line, "maxits " + std::to_string(s.maxits) + " is below 1: every step makes one sweep");
  if (s.maxerr < 0.0f)
    warnAt(run, kProject, line, "the tolerance maxerr " + numberText(s.maxerr) + " is negative");
}

// "[times]": alpha, start, endtime, dt, maxerr, maxits. A value of the wrong
// kind sends the reader on to the next "[times]" header.
void readTimes(Run& run, ModelState& s) {
  for (;;) {
    fndstrg(run, kProject, "[times]", 0);
    const ReadTarget t[] = {ReadTarget::real(s.alpha), ReadTarget::real(s.start),
                            ReadTarget::real(s.endtime), ReadTarget::real(s.dt),
                            ReadTarget::real(s.maxerr), ReadTarget::integer(s.maxits)};
    const std::size_t line = run.files.position(kProject) + 1;
    const ReadResult r = run.files.readFree(kProject, t);
    if (r.status == ReadStatus::Ok) {
      warnTimes(run, s, line);
      break;
    }
    if (r.status == ReadStatus::End) run.files.fail(kProject, "end of file while reading [times]");
  }
  checkFinite(run, "alpha in [times]", s.alpha);
  checkFinite(run, "start in [times]", s.start);
  checkFinite(run, "endtime in [times]", s.endtime);
  checkFinite(run, "dt in [times]", s.dt);
  checkFinite(run, "maxerr in [times]", s.maxerr);
}

// The output name must be a file that can be created: found out now rather
// than after the whole simulation has run.
void checkOutputName(Run& run, const std::string& name) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path path(name);
  if (name.empty()) run.files.fail(kProject, "the output= name is blank");
  // The system cuts a name at a NUL byte, so the file would be written
  // straight under the cut name instead of beside it until it is complete.
  if (name.find('\0') != std::string::npos) run.files.fail(kProject, "the output= name holds a NUL byte");
  if (fs::is_directory(path, ec)) run.files.fail(kProject, "output= names a folder, '" + name + "'");
  const fs::path parent = path.parent_path();
  if (!parent.empty() && !fs::is_directory(parent, ec))
    run.files.fail(kProject, "the folder of output= '" + name + "' does not exist");
}

// How a True/False text is taken: containing "True", or containing "ue"
// (the series flag sets its flag on "ue" and reads a table only on "True").
enum class FlagRule { True, Ue, Series };

// A True/False key: the first 5 characters of its text decide. A text that is
// neither True nor False is taken as they decide, with a warning.
std::string readFlag(Run& run, std::string_view key, std::string_view name, FlagRule rule) {
  const std::string text = rtrimmed(getstrg(run, kProject, key, kLineWidth));
  const std::string kept = fixedText(text, 5);
  if (text == "True" || text == "False") return kept;
  std::string taken = "False";
  if (has(kept, rule == FlagRule::True ? "True" : "ue")) taken = "True";
  if (rule == FlagRule::Series && taken == "True" && !has(kept, "True"))
    taken = "True, but no rate table is read (only True reads one)";
  warnAt(run, kProject, run.files.position(kProject),
         std::string(name) + "'" + visible(text) + "' is neither True nor False; it is taken as " + taken);
  return kept;
}

void readBoundaries(Run& run, ModelState& s) {
  fndstrg(run, kProject, "[End Sources]", 0);
  fndstrg(run, kProject, "[Boundaries]", 0);
  std::optional<std::string> codes = run.files.readLine(kProject);
  if (!codes) {
    run.free(kTerminal, {"ERROR READING ", s.infile});
    run.stop();
  }
  const std::string six = fixedText(*codes, 6);
  for (int f = 0; f < 6; ++f) {
    char c = six[f];
    if (c == 'd' || c == 'l' || c == 'n') c = static_cast<char>(std::toupper(c));
    s.bound[f] = c;
  }
  const std::size_t at = run.files.position(kProject);
  for (int f = 0; f < 6; ++f)
    if (s.bound[f] != 'D' && s.bound[f] != 'L' && s.bound[f] != 'N')
      warnAt(run, kProject, at,
             "face code " + std::to_string(f + 1) + " is '" + visible(std::string(1, s.bound[f])) +
                 "', not D, L or N (the codes read are '" + visible(six) + "')");
  for (int f = 0; f < 6; ++f)
    if (s.bound[f] == ' ') run.pause("trouble with bound");
  std::string code[6];
  for (int f = 0; f < 6; ++f) code[f] = std::string(1, s.bound[f]);
  run.free(kTerminal, {"BOUND IS ", code[0], code[1], code[2], code[3], code[4], code[5]});
  run.put(kLog, textLayout(), {"BOUND IS ", code[0], code[1], code[2], code[3], code[4], code[5]});

  const int count = getint(run, kProject, "materialboundaries=");
  checkRange(run, "materialboundaries=", count, 0, bndcap);
  const float initial = getval(run, kProject, "initial=");
  run.free(kLog, {"bndymaters=", count, " initTemp=", initial});

  for (int b = 1; b <= count; ++b) {
    fndstrg(run, kProject, "[boundary]", 0);
    run.free(kTerminal, {"found [boundary]", b, count});
    const std::string dirichlet = readFlag(run, "Dirichlet=", "Dirichlet=", FlagRule::True);
    s.bcp[b][1] = getint(run, kProject, "number=");
    (void)getval(run, kProject, "density=");
    const float initTemp = getval(run, kProject, "initTemp=");
    // Truncated toward zero into an integer: it has to fit one.
    if (std::fabs(initTemp) >= 2.0e9f)
      run.reject("Problem: initTemp= of boundary " + std::to_string(b) + " is out of range");
    s.bcp[b][3] = static_cast<int>(initTemp);
    int points = getint(run, kProject, "points=");
    if (!has(dirichlet, "True")) points = 0;
    checkRange(run, "points= of boundary " + std::to_string(b), points, 0, sercap);
    s.bcp[b][2] = points;
    if (points > 0) {
      readPairs(run, points, &s.bcser[b][1][1], &s.bcser[b][1][2], 3,
                "the series of boundary " + std::to_string(b));
      for (int p = 1; p <= points; ++p) {
        s.bcser[b][p][1] *= 3600.0f;
        checkFinite(run, "the time of point " + std::to_string(p) + " of boundary " + std::to_string(b) +
                             ", in seconds,", s.bcser[b][p][1]);
      }
    }
    std::vector<FmtValue> rec{s.bcp[b][1], s.bcp[b][2]};
    for (int p = 1; p <= points; ++p) {
      rec.emplace_back(s.bcser[b][p][1]);
      rec.emplace_back(s.bcser[b][p][2]);
    }
    run.free(kLog, rec);
  }
}

void logMatrices(Run& run, const ModelState& s) {
  run.put(kLog, textLayout(), {" writing matrices "});
  std::vector<FmtValue> row;
  for (int k = 1; k <= s.nz; ++k)
    for (int j = 1; j <= s.ny; ++j) {
      row.clear();
      for (int i = 1; i <= s.nx; ++i) row.emplace_back(s.imat[cell(i, j, k)]);
      run.put(kLog, mapRowLayout(), row);
      row.clear();
      for (int i = 1; i <= s.nx; ++i) row.emplace_back(s.hnew[cell(i, j, k)]);
      run.free(kLog, row);
    }
}

}  // namespace

void reader(Run& run, ModelState& s) {
  static const Layout infileLayout("(a10,a20)");
  const std::string date = dateText();
  run.files.openRead(kProject, rtrimmed(s.infile));
  // The keyword reader's file ends before the [Physics] block.
  const std::vector<std::string>& lines = run.files.lines(kProject);
  const std::size_t physicsAt = std::size_t(std::find_if(lines.begin(), lines.end(), isPhysicsHeader) - lines.begin());
  const std::vector<std::string> physics = run.files.splitOff(kProject, physicsAt);
  run.put(kLog, infileLayout, {"Infile=", s.infile});

  readTimes(run, s);
  run.free(kLog, {date});
  run.put(kLog, textLayout(), {"alpha,start,endtime, dt ,  maxerr,  maxits"});
  run.free(kLog, {s.alpha, s.start, s.endtime, s.dt, s.maxerr, s.maxits});
  s.dt = s.dt * 3600.0f;
  s.start = s.start * 3600.0f;
  s.endtime = s.endtime * 3600.0f;
  checkFinite(run, "dt in [times], in seconds,", s.dt);
  checkFinite(run, "start in [times], in seconds,", s.start);
  checkFinite(run, "endtime in [times], in seconds,", s.endtime);

  fndstrg(run, kProject, "[parameters]", 0);
  s.nx = getint(run, kProject, "nx=");
  s.ny = getint(run, kProject, "ny=");
  s.nz = getint(run, kProject, "nz=");
  checkRange(run, "nx=", s.nx, 1, ijcap);
  checkRange(run, "ny=", s.ny, 1, ijcap);
  checkRange(run, "nz=", s.nz, 1, kcap);
  s.dx = getval(run, kProject, "dx=");
  s.dy = getval(run, kProject, "dy=");
  s.dz = getval(run, kProject, "dz=");
  if (!(s.dx > 0.0f) || !(s.dy > 0.0f) || !(s.dz > 0.0f))
    run.reject("Problem: the cell sizes dx=, dy=, dz= must be above 0");
  run.free(kLog, {"Params=", s.nx, s.ny, s.nz, s.dx, s.dy, s.dz});
  run.free(kTerminal, {"Params=", s.nx, s.ny, s.nz, s.dx, s.dy, s.dz});

  const std::string format = getstrg(run, kProject, "ormat=", 20);
  getflag(run, format, s.nx, s.ny, s.secmask);

  fndstrg(run, kProject, "ydration]", 0);
  s.rtsflag = 0;
  s.modflag = 0;
  const std::string seriesFlag = readFlag(run, "seriesFlag=", "seriesFlag=", FlagRule::Series);
  const std::string modelFlag = readFlag(run, "lag=", "modelFlag=", FlagRule::Ue);
  if (has(seriesFlag, "ue")) s.rtsflag = 1;
  if (has(modelFlag, "ue")) s.modflag = 1;
  const float rho = getval(run, kProject, "Rho=");
  const float tplace = getval(run, kProject, "ment=");
  float qcem = getval(run, kProject, "cementitious=");
  run.free(kLog, {"rho,placement,Qcem=", rho, tplace, qcem});
  s.curve[0] = getval(run, kProject, "P1=");
  s.curve[1] = getval(run, kProject, "P2=");
  s.curve[2] = getval(run, kProject, "P3=");
  qcem = qcem * 1000.0f;
  s.qtot = rho * qcem;
  checkFinite(run, "Rho= times cementitious= times 1000", s.qtot);
  run.free(kLog, {qcem, s.qtot, "=que,heat"});

  s.nrate = getint(run, kProject, "points=");
  if (!has(seriesFlag, "True")) {
    s.nrate = 0;
  } else {
    // The tracking appends a row, and needs two rows to start from.
    if (s.nrate == 1 || s.nrate < 0 || s.nrate > sercap - 1)
      run.reject("Problem: points= " + std::to_string(s.nrate) +
                 " in the hydration block; a rate table holds 2 to " + std::to_string(sercap - 1) +
                 " rows");
    readPairs(run, s.nrate, &s.rtab[1][1], &s.rtab[1][2], 3, "the rate table");
    for (int i = 2; i <= s.nrate; ++i)
      if (!(s.rtab[i][1] > s.rtab[i - 1][1]))
        run.reject("Problem: the times of the rate table must increase (row " + std::to_string(i) +
                   ")");
    for (int i = 1; i <= s.nrate; ++i) {
      s.rtab[i][1] *= 3600.0f;
      checkFinite(run, "the time of rate table row " + std::to_string(i) + ", in seconds,", s.rtab[i][1]);
    }
  }

  readBoundaries(run, s);

  fndstrg(run, kProject, "[End", 0);
  fndstrg(run, kProject, "[Files]", 0);
  s.outfile = getstrg(run, kProject, "output=", 80);
  checkOutputName(run, rtrimmed(s.outfile));
  const int nsec = getint(run, kProject, "sectionfiles=");
  run.free(kLog, {s.outfile});

  fndstrg(run, kProject, "[submodel]", 0);
  std::vector<int> laysec(kcap + 1, 0);
  {
    std::vector<ReadTarget> targets;
    for (int k = 1; k <= s.nz; ++k) targets.push_back(ReadTarget::integer(laysec[k]));
    const ReadResult r = run.files.readFree(kProject, targets);
    if (r.status == ReadStatus::End) {
      run.free(kTerminal, {"ERROR READING ", s.infile});
      run.stop();
    }
    if (r.status == ReadStatus::Bad)
      run.files.fail(kProject, "read error at line " + std::to_string(r.line + 1) +
                                   " in [submodel]: '" + r.token + "' is not an integer");
    std::vector<FmtValue> rec;
    for (int k = 1; k <= s.nz; ++k) rec.emplace_back(laysec[k]);
    run.free(kLog, rec);
  }

  fndstrg(run, kProject, "[Sectiongeometry]", 0);
  int nmat = 0;
  for (int isec = 1; isec <= nsec; ++isec) readsec(run, s.nx, s.ny, s.nz, isec, laysec, s.imat, nmat);
  readmats(run, s.nx, s.ny, s.nz, nmat, s.imat, s.A, s.prod, s.sig);
  run.files.close(kProject);

  placet(s.nx, s.ny, s.nz, s.imat, s.hnew, s.prod, tplace, s.bcp);

  const Stats sg = xdeviat(s.nx, s.ny, s.nz, s.imat, s.sig);
  run.free(kTerminal, {"conductivity:avg,min,xmax,rms=", sg.avg, sg.min, sg.max, sg.rms});
  run.free(kLog, {"conductivity:avg,min,xmax,rms=", sg.avg, sg.min, sg.max, sg.rms});
  if (sg.min <= 0.0f) run.pause("reader: sig()=0 somewhere");
  const Stats sa = xdeviat(s.nx, s.ny, s.nz, s.imat, s.A);
  run.free(kTerminal, {" A:avg,min,xmax,rms=", sa.avg, sa.min, sa.max, sa.rms});
  run.free(kLog, {" A:avg,min,xmax,rms=", sa.avg, sa.min, sa.max, sa.rms});
  if (sa.min <= 0.0f) run.pause("reader: A()=0 somewhere");

  logMatrices(run, s);
  if (!physics.empty()) readPhysics(run, physics, physicsAt + 1, s);
}

}  // namespace ph
