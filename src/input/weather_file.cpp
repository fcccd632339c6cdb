// A weather file is comma-separated text: a header naming the columns with
// their units, then one row per time. Blank lines and lines starting with
// '#' are skipped. Columns:
//   hour                 time (h), strictly increasing; the first column
//   air_C | air_F        air temperature; the second column
//   wind_m/s | wind_mph  wind speed, at or above 0 (optional)
//   solar_W/m2           irradiance on a horizontal surface, at or above 0 (optional)
// Names are compared without regard to case; a column whose quantity or
// unit cannot be told refuses the file.
#include "input/weather_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "input/keyword.h"

namespace ph {

namespace {

namespace fs = std::filesystem;

std::string_view trimmed(std::string_view t) {
  std::size_t p = 0, q = t.size();
  while (p < q && blankChar(t[p])) ++p;
  while (q > p && blankChar(t[q - 1])) --q;
  return t.substr(p, q - p);
}

std::vector<std::string_view> fields(std::string_view line) {
  std::vector<std::string_view> out;
  for (std::size_t at = 0;;) {
    const std::size_t comma = line.find(',', at);
    out.push_back(trimmed(line.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at)));
    if (comma == std::string_view::npos) return out;
    at = comma + 1;
  }
}

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// What a column holds, and the factor and offset that bring it to C, m/s or W/m2.
enum class Quantity { hour, air, wind, solar };
struct Column {
  std::string_view name;
  Quantity quantity;
  double scale, offset;  // value x scale + offset
};
constexpr Column kColumns[] = {
    {"hour", Quantity::hour, 3600.0, 0.0},       {"air_C", Quantity::air, 1.0, 0.0},
    {"air_F", Quantity::air, 1.0 / 1.8, -32.0 / 1.8}, {"wind_m/s", Quantity::wind, 1.0, 0.0},
    {"wind_mph", Quantity::wind, 0.44704, 0.0},  {"solar_W/m2", Quantity::solar, 1.0, 0.0},
};
constexpr const char* kKnown = "hour, air_C or air_F, wind_m/s or wind_mph, solar_W/m2";

// The place of the file: under the project file's folder, and nowhere else.
std::string placeOf(const std::string& project, const std::string& name, const Refusal& refuse) {
  const std::string shown = "the weather file '" + visible(name) + "'";
  const std::string rule = "; a weather file is read only from the project file's folder or a folder in it";
  if (name.empty()) refuse("weather= names no file (as in weather=4 site.csv)");
  const fs::path path(name);
  if (path.is_absolute()) refuse(shown + " is an absolute path" + rule);
  for (const fs::path& part : path)
    if (part == "..") refuse(shown + " goes up through .." + rule);
  fs::path folder = fs::path(project).parent_path();
  if (folder.empty()) folder = ".";
  const fs::path full = folder / path;
  std::error_code e1, e2;
  const fs::path home = fs::weakly_canonical(folder, e1), there = fs::weakly_canonical(full, e2);
  if (!e1 && !e2) {
    const auto [end, at] = std::mismatch(home.begin(), home.end(), there.begin(), there.end());
    if (end != home.end()) refuse(shown + " leads out of the folder through a symbolic link" + rule);
  }
  return full.string();
}

}  // namespace

Weather readWeather(Run& run, const std::string& project, const std::string& name, const std::string& where,
                    const Refusal& refuse) {
  const std::string full = placeOf(project, name, refuse);
  std::vector<std::string> lines;
  try {
    run.files.openRead(kWeather, full);
    lines = run.files.lines(kWeather);
    run.files.close(kWeather);
  } catch (const FileFailure& failure) {
    std::string why = failure.what();
    if (why.starts_with("pourheat: ")) why.erase(0, 10);
    if (const std::size_t cut = why.find(", file number"); cut != std::string::npos) why.erase(cut);
    throw FileFailure("pourheat: " + where + ": the weather file '" + visible(name) + "' cannot be read (" + why + ")");
  }

  const std::string shown = "the weather file '" + visible(name) + "'";
  std::size_t lineNo = 0;
  auto refuseLine = [&](const std::string& what) { refuse(shown + " line " + std::to_string(lineNo) + ": " + what); };
  std::vector<const Column*> columns;
  Weather w;
  w.file = name;
  for (const std::string& raw : lines) {
    ++lineNo;
    const std::string_view line = trimmed(raw);
    if (line.empty() || line[0] == '#') continue;
    const std::vector<std::string_view> f = fields(line);
    if (columns.empty()) {
      for (std::size_t c = 0; c < f.size(); ++c) {
        const Column* col = nullptr;
        for (const Column& k : kColumns)
          if (sameName(f[c], k.name)) col = &k;
        if (!col)
          refuseLine("column " + std::to_string(c + 1) + " '" + visible(f[c]) +
                     "' is not a quantity with a unit this program knows (" + kKnown + ")");
        for (const Column* other : columns)
          if (other->quantity == col->quantity)
            refuseLine("column " + std::to_string(c + 1) + " '" + visible(f[c]) + "' repeats a quantity");
        columns.push_back(col);
      }
      if (columns.size() < 2 || columns[0]->quantity != Quantity::hour || columns[1]->quantity != Quantity::air)
        refuseLine("the header must begin with hour and the air's temperature (as in hour,air_C,wind_m/s,solar_W/m2)");
      continue;
    }
    if (f.size() != columns.size())
      refuseLine("a row of " + std::to_string(f.size()) + " values under a header of " +
                 std::to_string(columns.size()) + " columns");
    for (std::size_t c = 0; c < f.size(); ++c) {
      const std::string text(f[c]);
      char* end = nullptr;
      errno = 0;
      const double raw = text.empty() ? 0.0 : std::strtod(text.c_str(), &end);
      const Column& col = *columns[c];
      if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(raw))
        refuseLine(std::string(col.name) + " '" + visible(text) + "' is not a number");
      const double v = raw * col.scale + col.offset;
      switch (col.quantity) {
        case Quantity::hour:
          if (!(std::fabs(v) < 1.0e9)) refuseLine("hour " + text + " is too far");
          if (!w.time.empty() && !(v > w.time.back()))
            refuseLine("hour " + text + " does not come after the row before it (times must increase)");
          w.time.push_back(v);
          break;
        case Quantity::air:
          if (!(v > -273.15 && v < 1000.0)) refuseLine(std::string(col.name) + " " + text + " is out of range");
          w.air.push_back(v);
          break;
        case Quantity::wind:
          if (!(v >= 0.0 && v < 200.0)) refuseLine(std::string(col.name) + " " + text + " is out of range (0 up to 200 m/s)");
          w.wind.push_back(v);
          break;
        case Quantity::solar:
          if (!(v >= 0.0 && v < 5000.0)) refuseLine(std::string(col.name) + " " + text + " is out of range (0 up to 5000 W/m2)");
          w.solar.push_back(v);
          break;
      }
    }
  }
  if (columns.empty()) refuse(shown + " has no header (as in hour,air_C,wind_m/s,solar_W/m2)");
  if (w.time.empty()) refuse(shown + " has no rows under its header");
  return w;
}

}  // namespace ph
