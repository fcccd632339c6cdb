#include "results/heat_file.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace ph {

namespace {

std::string printed(const char* format, double a, double b = 0, double c = 0) {
  char buf[128];
  std::snprintf(buf, sizeof buf, format, a, b, c);
  return buf;
}

std::string filmText(bool first, int m, float h, float cover) {
  char buf[160];
  std::snprintf(buf, sizeof buf, "%s material %d %g W/(m2 K)", first ? "" : ",", m, double(h));
  if (cover > 0.0f)
    std::snprintf(buf + std::strlen(buf), sizeof buf - std::strlen(buf), " with covers of %g m2 K/W", double(cover));
  return buf;
}

// A share in %, empty where there is nothing to take it of.
std::string percent(double part, double whole) {
  return whole > 0.0 ? printed("%.4f", 100.0 * part / whole) : std::string();
}

constexpr double kMJ = 1.0e6;

}  // namespace

void writeHeatHeader(Run& run) {
  run.files.writeLines(kHeat, {"time_h,released_MJ,released_pct,stored_MJ,lost_MJ,error_MJ,error_pct,"
                               "hydration_min,hydration_mean,hydration_max,age_hottest_h,age_coldest_h,carried_MJ,sun_MJ"});
}

void writeHeatLine(Run& run, float time, const HeatFigures& f) {
  std::string line = printed("%.3f,%.6f,", time / 3600.0f, f.released / kMJ) + percent(f.released, f.releasable);
  // No share of a release under 1 J.
  line += printed(",%.6f,%.6f,%.6f,", f.stored / kMJ, f.lost / kMJ, f.error() / kMJ) +
          percent(f.error(), f.released >= 1.0 ? f.released : 0.0);
  if (f.concrete > 0)
    line += printed(",%.5f,%.5f,%.5f", f.hydrationMin, f.hydrationMean, f.hydrationMax) +
            printed(",%.3f,%.3f", f.ageHottest, f.ageColdest);
  else
    line += ",,,,,";
  line += printed(",%.6f", f.carried / kMJ);
  line += printed(",%.6f", f.sun / kMJ);
  run.files.writeLines(kHeat, {line});
}

void writePhysicsLines(Run& run, const ModelState& s, const HeatFigures& f, const std::string& warning) {
  const PhysicsOptions& p = s.physics;
  if (!warning.empty()) run.warn(warning);
  const bool balanced = p.conduction == Conduction::balanced, maturity = p.hydration == Hydration::maturity;
  std::vector<std::string> lines;
  std::string used = std::string("physics: conduction=") + (balanced ? "balanced" : "legacy") +
                     ", hydration=" + (maturity ? "maturity" : "legacy");
  if (maturity) used += printed(" (activation %g kJ/mol, reference %g C)", p.activation / 1000.0, p.reference);
  used += p.sound() ? printed(", steps of at most %g h", p.maxstep / 3600.0) : ", the legacy steps";
  lines.push_back(used);
  std::string films;
  for (int m = 1; m <= matcap; ++m)
    if (p.film[m] > 0.0f) films += filmText(films.empty(), m, p.film[m], p.cover[m]);
  if (!films.empty()) lines.push_back("films:" + films);
  if (f.tightened > 0)
    lines.push_back(printed("to balance the heat of its steps the tolerance was made %g times tighter (maxerr %g)",
                            std::pow(10.0, f.tightened), s.maxerr / std::pow(10.0, f.tightened)));
  lines.push_back(printed("heat: released %.6f MJ", f.released / kMJ) +
                  (f.releasable > 0.0 ? " (" + percent(f.released, f.releasable) + " % of what the concrete can release)"
                                      : std::string()) +
                  (f.sun != 0.0 ? printed(", sun %.6f MJ", f.sun / kMJ) : std::string()) +
                  printed(", stored %.6f MJ, lost %.6f MJ through held faces", f.stored / kMJ, f.lost / kMJ) +
                  printed(", balance error %.6f MJ", f.error() / kMJ) +
                  (f.released >= 1.0 ? " (" + percent(f.error(), f.released) + " %)" : std::string()));
  if (!p.events.empty())
    lines.push_back(printed("events: %g of %g applied, carrying %.6f MJ into the body", f.events,
                            double(p.events.size()), f.carried / kMJ));
  for (const int unit : {kTerminal, kLog})
    for (const std::string& line : lines) run.free(unit, {line});
}

}  // namespace ph
