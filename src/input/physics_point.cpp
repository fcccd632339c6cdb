#include "input/physics_point.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "input/keyword.h"

namespace ph {

namespace {

bool nameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
         c == '.';
}

// The value's words, split at blanks.
std::vector<std::string> words(std::string_view v) {
  std::vector<std::string> out;
  std::size_t at = 0;
  while (at < v.size()) {
    while (at < v.size() && blankChar(v[at])) ++at;
    std::size_t end = at;
    while (end < v.size() && !blankChar(v[end])) ++end;
    if (end > at) out.emplace_back(v.substr(at, end - at));
    at = end;
  }
  return out;
}

// A finite number, the whole word; NaN where it is not one.
double coordinate(const std::string& word) {
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(word.c_str(), &end);
  return end == word.c_str() + word.size() && errno != ERANGE && std::isfinite(v) ? v : NAN;
}

}  // namespace

std::string takePointLine(std::string_view value, std::size_t line, std::vector<NamedPoint>& points) {
  const std::vector<std::string> w = words(value);
  if (w.size() != 4)
    return "point= '" + visible(value) + "' is not a name and three coordinates (as in point=core 0.75 0.75 1.1)";
  const std::string& name = w[0];
  if (name.size() > kMaxPointName || !std::all_of(name.begin(), name.end(), nameChar))
    return "the point name '" + visible(name) + "' is not 1 to " + std::to_string(kMaxPointName) +
           " letters, digits, '-', '_' or '.'";
  // The first column of points.csv is the time.
  if (name == "time_h") return "the point name 'time_h' is the name of the time column of points.csv";
  for (const NamedPoint& p : points)
    if (p.name == name)
      return "the point name '" + name + "' is given a second time (first at line " + std::to_string(p.line) + ")";
  if (points.size() >= kMaxNamedPoints)
    return "point " + name + " is one too many: a project names at most " + std::to_string(kMaxNamedPoints) +
           " points";
  NamedPoint p{name, 0, 0, 0, line};
  double* at[3] = {&p.x, &p.y, &p.z};
  for (int a = 0; a < 3; ++a) {
    *at[a] = coordinate(w[1 + a]);
    if (std::isnan(*at[a]))
      return "the " + std::string(1, "xyz"[a]) + " of point " + name + " '" + visible(w[1 + a]) + "' is not a number";
  }
  points.push_back(p);
  return "";
}

std::string takeSectionLine(std::string_view value, std::size_t line, PhysicsOptions& physics) {
  if (value.empty() || value.size() > kMaxPointName || !std::all_of(value.begin(), value.end(), nameChar))
    return "section= '" + visible(value) + "' is not the name of a point (as in section=core)";
  physics.section = std::string(value);
  physics.sectionLine = line;
  return "";
}

std::string sectionProblem(const PhysicsOptions& physics) {
  if (physics.section.empty()) return "";
  for (const NamedPoint& p : physics.points)
    if (p.name == physics.section) return "";
  return "section=" + physics.section + " names no point of the block (a point=" + physics.section +
         " X Y Z line names one)";
}

}  // namespace ph
