#include "support/readers.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <sstream>

namespace ph::test {

std::vector<Step> timeRecords(const TempDir& dir) {
  std::istringstream log(dir.read("run.log"));
  std::vector<Step> all;
  for (std::string w; log >> w;) {
    Step s;
    if (w == "TIME" && log >> s.time >> s.err >> s.dt >> s.percent >> s.rms >> s.max >> s.min >> s.avg)
      all.push_back(s);
    log.clear();
  }
  return all;
}

std::vector<double> numbers(const std::string& text) {
  std::istringstream in(text);
  std::vector<double> all;
  for (double x; in >> x;) all.push_back(x);
  return all;
}

std::string repeat(std::string_view s, int n) {
  std::string r;
  while (n-- > 0) r += s;
  return r;
}

Outcome runProject(const TempDir& dir, const ProjectFile& p) {
  dir.write("project.prj", p.text());
  return runProgram(dir, standardArgs());
}

std::vector<Step> runSteps(const TempDir& dir, const ProjectFile& p) {
  const Outcome o = runProject(dir, p);
  EXPECT_EQ(o.status, 0) << o.out << o.err;
  return timeRecords(dir);
}

ProjectFile closedBlock(const std::string& sig, const std::string& heat) {
  ProjectFile p;
  p.nx = p.ny = p.nz = std::to_string(6);
  p.dx = p.dy = p.dz = "60";
  p.bound = "NNNNNN";
  p.placement = "20";
  p.boundaries.resize(1);
  p.boundaries[0].dirichlet = "False";
  p.materials = {{sig, heat, "1", "1"}, {sig, heat, "1", "0"}};
  return p;
}

std::string TestRun::terminal() {
  std::fflush(term.get());
  std::string all(std::size_t(std::ftell(term.get()) - seen), '\0');
  all.resize(std::size_t(pread(fileno(term.get()), all.data(), all.size(), seen)));
  seen += long(all.size());
  return all;
}

std::vector<std::string> TestRun::lines(int unit) {
  run.files.rewind(unit);
  std::vector<std::string> all;
  while (auto l = run.files.readLine(unit)) all.push_back(*l);
  return all;
}

}  // namespace ph::test
