// The [Physics] block: the last lines of a project file, from a line
// "[Physics]" to a line "[End Physics]", each line between them blank or
// key=value. The keyword reader's file ends before the block, so no key it
// searches for is ever found inside it. Keys are a table: one row each, with
// the function that takes its value.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "input/keyword.h"
#include "input/physics_point.h"
#include "input/reader.h"

namespace ph {

namespace {

constexpr std::string_view kHeader = "[Physics]";
constexpr std::string_view kEnd = "[End Physics]";

// A line without the blanks (and control characters) around it.
std::string_view stripped(std::string_view line) {
  std::size_t p = 0, q = line.size();
  while (p < q && blankChar(line[p])) ++p;
  while (q > p && blankChar(line[q - 1])) --q;
  return line.substr(p, q - p);
}

// One line of the block being read: where it stands, for the messages.
struct Reading {
  Run& run;
  ModelState& s;
  std::string file;
  std::size_t line = 0;  // from 1, in the whole project file

  [[noreturn]] void refuse(const std::string& what) const {
    run.reject("Problem: " + file + " line " + std::to_string(line) + ", in the [Physics] block: " + what);
  }

  // A finite number, the whole value.
  double number(std::string_view key, std::string_view value) const {
    const std::string text(value);
    char* end = nullptr;
    errno = 0;
    const double v = text.empty() ? 0.0 : std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(v))
      refuse(std::string(key) + " '" + visible(text) + "' is not a number");
    return v;
  }
};

void takeConduction(Reading& r, std::string_view v) {
  if (v == "legacy") r.s.physics.conduction = Conduction::legacy;
  else if (v == "balanced") r.s.physics.conduction = Conduction::balanced;
  else r.refuse("conduction= '" + visible(v) + "' is neither legacy nor balanced");
}

void takeHydration(Reading& r, std::string_view v) {
  if (v == "legacy") r.s.physics.hydration = Hydration::legacy;
  else if (v == "maturity") r.s.physics.hydration = Hydration::maturity;
  else r.refuse("hydration= '" + visible(v) + "' is neither legacy nor maturity");
}

void takeActivation(Reading& r, std::string_view v) {
  const double kJ = r.number("activation=", v);
  if (!(kJ > 0.0)) r.refuse("activation= " + std::string(v) + " kJ/mol is not above 0");
  r.s.physics.activation = kJ * 1000.0;
}

void takeReference(Reading& r, std::string_view v) {
  const double C = r.number("reference=", v);
  if (!(C > -273.15)) r.refuse("reference= " + std::string(v) + " C is not above absolute zero");
  r.s.physics.reference = C;
}

void takeMaxstep(Reading& r, std::string_view v) {
  const double hours = r.number("maxstep=", v);
  // Shorter steps than 36 s would take millions of them for a day.
  if (!(hours >= 0.01)) r.refuse("maxstep= " + std::string(v) + " h is below 0.01 h (36 s)");
  if (!(hours * 3600.0 < 1.0e9)) r.refuse("maxstep= " + std::string(v) + " h is too long");
  r.s.physics.maxstep = static_cast<float>(hours * 3600.0);
}

// film=M H: held material M meets the computed cells through a film of
// H W/(m2 K).
void takeFilm(Reading& r, std::string_view v) {
  const std::size_t gap = v.find_first_of(" \t");
  if (gap == std::string_view::npos)
    r.refuse("film= '" + visible(v) + "' is not a material and a film coefficient (as in film=3 12)");
  const double m = r.number("the material of film=", stripped(v.substr(0, gap)));
  const double h = r.number("the film coefficient of film=", stripped(v.substr(gap)));
  if (!(m == std::floor(m) && m >= 1 && m <= matcap))
    r.refuse("film= names material " + std::string(stripped(v.substr(0, gap))) + "; materials are 1 to " +
             std::to_string(matcap));
  const int mat = int(m);
  bool held = false;
  for (int b = 1; b <= bndcap; ++b) held = held || (r.s.bcp[b][1] == mat && r.s.bcp[b][2] > 0);
  if (!held)
    r.refuse("film= names material " + std::to_string(mat) +
             ", which is not a boundary material held by a series (Dirichlet=True with points)");
  if (!(h > 0.0)) r.refuse("the film coefficient of material " + std::to_string(mat) + " is not above 0");
  if (r.s.physics.film[mat] > 0.0f) r.refuse("a second film= for material " + std::to_string(mat));
  r.s.physics.film[mat] = static_cast<float>(h);
}

void takePoint(Reading& r, std::string_view v) {
  if (const std::string why = takePointLine(v, r.line, r.s.physics.points); !why.empty()) r.refuse(why);
}

void takeSection(Reading& r, std::string_view v) {
  if (const std::string why = takeSectionLine(v, r.line, r.s.physics); !why.empty()) r.refuse(why);
}

struct Key {
  std::string_view name;  // without its "="
  void (*take)(Reading&, std::string_view);
  bool repeats;           // may stand on more than one line
};

constexpr Key kKeys[] = {
    {"conduction", takeConduction, false}, {"hydration", takeHydration, false},
    {"activation", takeActivation, false}, {"reference", takeReference, false},
    {"maxstep", takeMaxstep, false},       {"film", takeFilm, true},
    {"point", takePoint, true},           {"section", takeSection, false},
};

std::string keyList() {
  std::string list;
  for (const Key& k : kKeys) list += (list.empty() ? "" : ", ") + std::string(k.name) + "=";
  return list;
}

}  // namespace

bool isPhysicsHeader(std::string_view line) { return stripped(line) == kHeader; }

void readPhysics(Run& run, const std::vector<std::string>& block, std::size_t first, ModelState& s) {
  Reading r{run, s, rtrimmed(s.infile), first};
  s.physics = PhysicsOptions{};
  s.physics.present = true;
  std::size_t given[std::size(kKeys)] = {};  // the line of each key, once found
  std::size_t at = 1;
  for (; at < block.size(); ++at) {
    r.line = first + at;
    const std::string_view line = stripped(block[at]);
    if (line.empty()) continue;
    if (line == kEnd) break;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos)
      r.refuse(std::string("'") + visible(line) + "' is not a line key=value (the keys are " + keyList() + ")");
    const std::string_view name = stripped(line.substr(0, eq)), value = stripped(line.substr(eq + 1));
    const Key* key = std::find_if(std::begin(kKeys), std::end(kKeys), [&](const Key& k) { return k.name == name; });
    if (key == std::end(kKeys))
      r.refuse("unknown key '" + visible(name) + "=' (the keys are " + keyList() + ")");
    std::size_t& seen = given[key - kKeys];
    if (seen && !key->repeats)
      r.refuse(std::string(name) + "= is given a second time (first at line " + std::to_string(seen) + ")");
    if (!seen) seen = r.line;
    key->take(r, value);
  }
  if (at >= block.size()) {
    r.line = first;
    r.refuse("the block has no line " + std::string(kEnd));
  }
  for (std::size_t after = at + 1; after < block.size(); ++after)
    if (!stripped(block[after]).empty()) {
      r.line = first + after;
      r.refuse("nothing may follow " + std::string(kEnd) + ", but this line holds '" +
               visible(stripped(block[after])) + "'");
    }
  // Settings that the rest of the block would leave without effect.
  const PhysicsOptions& p = s.physics;
  auto unused = [&](std::string_view name, const char* why) {
    for (std::size_t k = 0; k < std::size(kKeys); ++k)
      if (kKeys[k].name == name && given[k]) {
        r.line = given[k];
        r.refuse(std::string(name) + "= acts only with " + why);
      }
  };
  if (p.conduction != Conduction::balanced) unused("film", "conduction=balanced");
  if (p.conduction != Conduction::balanced) unused("point", "conduction=balanced, whose face temperatures it reads");
  if (p.hydration != Hydration::maturity) {
    unused("activation", "hydration=maturity");
    unused("reference", "hydration=maturity");
  }
  if (!p.sound()) unused("maxstep", "conduction=balanced or hydration=maturity");
  if (const std::string why = sectionProblem(p); !why.empty()) {
    r.line = p.sectionLine;
    r.refuse(why);
  }
}

}  // namespace ph
