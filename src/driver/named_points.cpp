#include "driver/named_points.h"

#include <cstdio>

#include "record/text.h"
#include "results/points_file.h"

namespace ph {

namespace {

ConductanceInputs inputsOf(const ModelState& s) {
  return {s.nx, s.ny, s.nz, &s.imat, &s.sig, &s.physics.film, s.dx, s.dy, s.dz, s.bound, &s.secmask};
}

std::string printed(const char* format, double a, double b, double c) {
  char buf[160];
  std::snprintf(buf, sizeof buf, format, a, b, c);
  return buf;
}

}  // namespace

void checkNamedPoints(Run& run, const ModelState& s) {
  const ConductanceInputs in = inputsOf(s);
  for (const NamedPoint& p : s.physics.points) {
    const PointSite at = placePoint(in, s.prod, p.x, p.y, p.z);
    if (at.fit == PointSite::Fit::computed) continue;
    std::string why = "point " + p.name + printed(" at x %g, y %g, z %g m", p.x, p.y, p.z);
    if (at.fit == PointSite::Fit::outsideGrid)
      why += printed(" lies outside the grid (x 0 to %g, y 0 to %g, z 0 to %g m)", double(s.nx) * double(s.dx),
                     double(s.ny) * double(s.dy), double(s.nz) * double(s.dz));
    else
      why += " lies in cell (" + std::to_string(at.i) + "," + std::to_string(at.j) + "," + std::to_string(at.k) +
             "), which is not computed (held, a mirror copy or outside the outline), and on no face of a computed cell";
    run.reject("Problem: " + rtrimmed(s.infile) + " line " + std::to_string(p.line) + ", in the [Physics] block: " + why);
  }
}

PointReadings::PointReadings(const ModelState& s) : inputs_(inputsOf(s)) {
  for (const NamedPoint& p : s.physics.points) sites_.push_back(placePoint(inputs_, s.prod, p.x, p.y, p.z));
  values_.resize(sites_.size());
}

const std::vector<double>& PointReadings::read(const RealField& h) {
  for (std::size_t p = 0; p < sites_.size(); ++p) values_[p] = pointTemperature(inputs_, h, sites_[p]);
  return values_;
}

SectionKeeper::SectionKeeper(const ModelState& s, const PointReadings& points) {
  const std::vector<NamedPoint>& all = s.physics.points;
  for (std::size_t p = 0; p < all.size(); ++p)
    if (all[p].name == s.physics.section) point_ = p;
  others_ = all.size() > 1;
  const PointSite& at = points.site(point_);
  i_ = at.i, j_ = at.j, k_ = at.k;
}

void SectionKeeper::afterStep(Run& run, const ModelState& s, float time, const std::vector<double>& values) {
  const long long own = writtenThousandths(values[point_]);
  long long coldest = 0;
  bool any = false;
  for (std::size_t p = 0; p < values.size(); ++p) {
    if (p == point_) continue;
    const long long v = writtenThousandths(values[p]);
    if (!any || v < coldest) coldest = v;
    any = true;
  }
  bool changed = false;
  auto keep = [&](KeptField& f, long long& best, long long value) {
    if (found_ && value <= best) return;
    best = value;
    f.time = time;
    f.h = s.hnew;
    changed = true;
  };
  keep(atPeak_, peak_, own);
  if (others_) keep(atDifference_, difference_, own - coldest);
  found_ = true;
  if (!changed) return;
  const KeptField* kept[2] = {&atPeak_, &atDifference_};
  writeSections(run, s.nx, s.ny, s.nz, i_, j_, k_, kept, others_ ? 2 : 1);
}

}  // namespace ph
