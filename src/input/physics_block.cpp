// The [Physics] block: the last lines of a project file, from a line
// "[Physics]" to a line "[End Physics]", each line between them blank or
// key=value. The keyword reader's file ends before the block, so no key it
// searches for is ever found inside it. Keys are a table: one row each, with
// the function that takes its value.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "input/keyword.h"
#include "input/physics_point.h"
#include "input/reader.h"
#include "input/weather_file.h"

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
  // The lines of the film= and weather= of each material, once read.
  std::array<std::size_t, kMaterialSlots> filmLine{}, weatherLine{};

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

// The blank-separated words of a value.
std::vector<std::string_view> words(std::string_view v) {
  std::vector<std::string_view> out;
  for (std::size_t at = 0; at < v.size();) {
    while (at < v.size() && blankChar(v[at])) ++at;
    std::size_t end = at;
    while (end < v.size() && !blankChar(v[end])) ++end;
    if (end > at) out.push_back(v.substr(at, end - at));
    at = end;
  }
  return out;
}

// A material number of the project, named as `what`.
int material(const Reading& r, std::string_view what, std::string_view word) {
  const double m = r.number(what, word);
  if (!(m == std::floor(m) && m >= 1 && m <= matcap))
    r.refuse(std::string(what) + " " + std::string(word) + "; materials are 1 to " + std::to_string(matcap));
  if (!(r.s.sig[int(m)] > 0.0f))
    r.refuse(std::string(what) + " " + std::string(word) + ", which is not one of the project's materials");
  return int(m);
}

// A film coefficient and, where given, the resistance of covers in series.
void takeFilmValues(const Reading& r, int mat, std::string_view h, const std::string_view* R, float& film,
                    float& cover) {
  const double H = r.number("the film coefficient", h);
  if (!(H > 0.0)) r.refuse("the film coefficient of material " + std::to_string(mat) + " is not above 0");
  const double covers = R ? r.number("the covers' resistance", *R) : 0.0;
  if (!(covers >= 0.0)) r.refuse("the covers' resistance of material " + std::to_string(mat) + " is below 0");
  film = static_cast<float>(H);
  cover = static_cast<float>(covers);
}

// film=M H [R]: held material M meets the computed cells through a film of
// H W/(m2 K), in series with covers of R m2 K/W.
void takeFilm(Reading& r, std::string_view v) {
  const std::vector<std::string_view> w = words(v);
  if (w.size() < 2 || w.size() > 3)
    r.refuse("film= '" + visible(v) + "' is not a material, a film coefficient and an optional resistance "
             "(as in film=3 12 or film=3 12 0.5)");
  const double m = r.number("the material of film=", w[0]);
  if (!(m == std::floor(m) && m >= 1 && m <= matcap))
    r.refuse("film= names material " + std::string(w[0]) + "; materials are 1 to " + std::to_string(matcap));
  const int mat = int(m);
  if (r.s.physics.film[mat] > 0.0f) r.refuse("a second film= for material " + std::to_string(mat));
  r.filmLine[mat] = r.line;
  takeFilmValues(r, mat, w[1], w.size() > 2 ? &w[2] : nullptr, r.s.physics.film[mat], r.s.physics.cover[mat]);
}

void takeAbsorptivity(Reading& r, std::string_view v) {
  const double a = r.number("absorptivity=", v);
  if (!(a >= 0.0 && a <= 1.0)) r.refuse("absorptivity= " + std::string(v) + " is outside 0 to 1");
  r.s.physics.absorptivity = a;
}

// Seconds as hours, as in 48 or 2160.5.
std::string hoursText(double seconds) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", seconds / 3600.0);
  return buf;
}

// weather=M FILE: held material M follows the weather file FILE.
void takeWeather(Reading& r, std::string_view v) {
  const std::size_t gap = v.find_first_of(" \t");
  if (gap == std::string_view::npos)
    r.refuse("weather= '" + visible(v) + "' is not a material and a file (as in weather=4 site.csv)");
  const int mat = material(r, "weather= names material", v.substr(0, gap));
  bool boundary = false;
  for (int b = 1; b <= bndcap; ++b) boundary = boundary || r.s.bcp[b][1] == mat;
  if (!boundary) r.refuse("weather= names material " + std::to_string(mat) + ", which has no [boundary] block");
  if (weatherOf(r.s.physics, mat)) r.refuse("a second weather= for material " + std::to_string(mat));
  r.weatherLine[mat] = r.line;
  const std::string where = r.file + " line " + std::to_string(r.line) + ", in the [Physics] block";
  Weather w = readWeather(r.run, r.file, std::string(stripped(v.substr(gap))), where,
                          [&](const std::string& why) { r.refuse(why); });
  w.material = mat;
  // The run may not outlast its weather: its last steps would hold the
  // last row's air, sun and wind as if they were measured.
  if (double(r.s.endtime) > w.time.back() + 1.0)
    r.refuse("the run ends at " + hoursText(r.s.endtime) + " h, after the last row of the weather file '" +
             visible(w.file) + "' at " + hoursText(w.time.back()) + " h");
  r.s.physics.weather.push_back(std::move(w));
}

// at=T KIND ...: an event at T hours.
void takeEvent(Reading& r, std::string_view v) {
  const std::vector<std::string_view> w = words(v);
  const std::string kinds = " (as in at=48 material 5 6, at=72 film 3 25 or at=72 lift 7 20 4)";
  if (w.size() < 2) r.refuse("at= '" + visible(v) + "' is not a time and an event" + kinds);
  Event e;
  e.line = r.line;
  const double hours = r.number("the time of at=", w[0]);
  if (!(std::fabs(hours) * 3600.0 < 1.0e9)) r.refuse("at= " + std::string(w[0]) + " h is too far");
  e.at = static_cast<float>(hours * 3600.0);
  const std::string_view kind = w[1];
  auto count = [&](std::size_t lo, std::size_t hi, const char* form) {
    if (w.size() < lo || w.size() > hi) r.refuse("at= '" + visible(v) + "': " + form);
  };
  if (kind == "material") {
    e.kind = Event::Kind::material;
    count(4, 4, "a material event names two materials (at=48 material 5 6)");
    e.material = material(r, "the material event names material", w[2]);
    e.other = material(r, "the material event names material", w[3]);
    if (e.material == e.other) r.refuse("the material event changes material " + std::string(w[2]) + " into itself");
  } else if (kind == "film") {
    e.kind = Event::Kind::film;
    count(4, 5, "a film event names a material, a film coefficient and an optional resistance (at=72 film 3 25)");
    e.material = material(r, "the film event names material", w[2]);
    takeFilmValues(r, e.material, w[3], w.size() > 4 ? &w[4] : nullptr, e.value, e.cover);
  } else if (kind == "lift") {
    e.kind = Event::Kind::lift;
    count(4, 5, "a lift names its material, its placing temperature and an optional held material (at=72 lift 7 20 4)");
    e.material = material(r, "the lift names material", w[2]);
    const double placing = r.number("the placing temperature of the lift", w[3]);
    if (!(placing > -273.15 && placing < 1.0e4))
      r.refuse("the placing temperature " + std::string(w[3]) + " C of the lift is out of range");
    e.value = static_cast<float>(placing);
    if (w.size() > 4) e.other = material(r, "the lift is held as material", w[4]);
  } else {
    r.refuse("at= '" + visible(v) + "': '" + visible(kind) + "' is not an event" + kinds);
  }
  r.s.physics.events.push_back(e);
}

// What the lines say of held materials, once all are read: a film is that
// of a material held by a series or by weather; a film event changes a film
// that is there; a lift waits as a held material (one with a film) and is
// placed once, where each cell keeps its own age; no event turns cells into
// concrete (a lift places concrete).
void checkHeld(Reading& r) {
  PhysicsOptions& p = r.s.physics;
  for (int m = 1; m <= matcap; ++m) {
    bool series = weatherOf(p, m) != nullptr;
    for (int b = 1; b <= bndcap; ++b) series = series || (r.s.bcp[b][1] == m && r.s.bcp[b][2] > 0);
    if (p.film[m] > 0.0f && !series) {
      r.line = r.filmLine[m];
      r.refuse("film= names material " + std::to_string(m) +
               ", which is not a boundary material held by a series (Dirichlet=True with points) or by weather=");
    }
  }
  std::array<bool, kMaterialSlots> lifted{};
  for (const Event& e : p.events) {
    r.line = e.line;
    const std::string m = std::to_string(e.material), o = std::to_string(e.other);
    if (e.kind == Event::Kind::film && !(p.film[e.material] > 0.0f))
      r.refuse("the film event names material " + m + ", which has no film= line");
    if (e.kind == Event::Kind::material && r.s.prod[e.other] > 0.0f)
      r.refuse("the material event turns material " + m + " into material " + o +
               ", which releases heat; concrete is placed by a lift (at=T lift M P)");
    if (e.kind != Event::Kind::lift) continue;
    if (p.hydration != Hydration::maturity)
      r.refuse("a lift acts only with hydration=maturity, where each cell keeps its own age");
    if (lifted[e.material]) r.refuse("a second lift of material " + m);
    lifted[e.material] = true;
    if (e.other && !(p.film[e.other] > 0.0f))
      r.refuse("the lift waits as material " + o + ", which is not a held material with a film= line");
    if (p.film[e.material] > 0.0f) r.refuse("the lift names material " + m + ", which is held by its film= line");
  }
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
    {"absorptivity", takeAbsorptivity, false}, {"weather", takeWeather, true},
    {"at", takeEvent, true},
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
  bool sun = false;
  for (const Weather& w : p.weather) {
    r.line = r.weatherLine[w.material];
    // The wind gives the film, from the hour the run starts in on.
    if (!w.wind.empty()) s.physics.film[w.material] = static_cast<float>(windFilm(windOfHour(w, s.start)));
    if ((!w.wind.empty() || !w.solar.empty()) && p.conduction != Conduction::balanced)
      r.refuse("the wind and sun of a weather file act only with conduction=balanced");
    // The sun reaches a face through its film.
    if (!w.solar.empty() && w.wind.empty() && !(p.film[w.material] > 0.0f))
      r.refuse("the sun of the weather file '" + visible(w.file) + "' needs a film for material " +
               std::to_string(w.material) + ": a film= line or a wind column");
    sun = sun || !w.solar.empty();
  }
  if (!sun) unused("absorptivity", "a weather file with a solar_W/m2 column");
  // Mirror faces at both ends of an axis 3 cells long copy each other, not
  // the one cell between them, which then trades heat with copies that
  // never change; the sound mode refuses such a grid.
  const struct { int low, high, n; const char* axis; } pairs[] = {
      {0, 2, s.nx, "i"}, {3, 1, s.ny, "j"}, {4, 5, s.nz, "k"}};
  if (p.sound())
    for (const auto& a : pairs)
      if (s.bound[a.low] == 'N' && s.bound[a.high] == 'N' && a.n < 4) {
        r.line = first;
        r.refuse(std::string("mirror faces at both ends of ") + a.axis + " need 4 or more cells along it; the grid has " +
                 std::to_string(a.n));
      }
  checkHeld(r);
  std::stable_sort(s.physics.events.begin(), s.physics.events.end(),
                   [](const Event& a, const Event& b) { return a.at < b.at; });
  if (const std::string why = sectionProblem(p); !why.empty()) {
    r.line = p.sectionLine;
    r.refuse(why);
  }
}

}  // namespace ph
