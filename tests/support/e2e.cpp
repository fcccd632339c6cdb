#include "support/e2e.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace ph::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "pourheat-test-XXXXXX").string();
  path_ = mkdtemp(pattern.data());
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void TempDir::write(const std::string& name, const std::string& content) const {
  std::ofstream(path_ / name, std::ios::binary) << content;
}

std::string TempDir::read(const std::string& name) const {
  std::ifstream in(path_ / name, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

std::vector<std::string> TempDir::lines(const std::string& name) const { return splitLines(read(name)); }

bool TempDir::exists(const std::string& name) const { return fs::exists(path_ / name); }

std::vector<std::string> standardArgs() { return {"project.prj", "run.log", "done.flg"}; }

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::vector<std::string> linesStarting(const std::string& text, const std::string& prefix) {
  std::vector<std::string> found;
  for (const auto& l : splitLines(text)) {
    const std::size_t p = l.find_first_not_of(' ');
    if (p != std::string::npos && l.compare(p, prefix.size(), prefix) == 0) found.push_back(l);
  }
  return found;
}

static std::vector<char*> argv(const std::string& binary, const std::vector<std::string>& args,
                               std::vector<std::string>& storage) {
  storage = {binary};
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char*> v;
  for (auto& s : storage) v.push_back(s.data());
  v.push_back(nullptr);
  return v;
}

static int statusOf(int raw) {
  if (WIFEXITED(raw)) return WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
  return -1;
}

Outcome runProgram(const TempDir& dir, const std::vector<std::string>& args, const std::string& binary) {
  const std::string outFile = (dir.path() / ".stdout").string();
  const std::string errFile = (dir.path() / ".stderr").string();
  std::vector<std::string> storage;
  std::vector<char*> av = argv(binary, args, storage);
  const pid_t pid = fork();
  if (pid == 0) {
    setsid();  // no controlling terminal: a pause cannot reach an operator
    if (chdir(dir.path().c_str()) != 0) _exit(126);
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    execv(av[0], av.data());
    _exit(127);
  }
  int raw = 0;
  waitpid(pid, &raw, 0);
  Outcome o;
  o.status = statusOf(raw);
  o.out = dir.read(".stdout");
  o.err = dir.read(".stderr");
  fs::remove(outFile);
  fs::remove(errFile);
  return o;
}

Outcome runOnTerminal(const TempDir& dir, const std::vector<std::string>& args,
                      const std::string& answer, const std::string& binary) {
  std::vector<std::string> storage;
  std::vector<char*> av = argv(binary, args, storage);
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0) {
    if (chdir(dir.path().c_str()) != 0) _exit(126);
    execv(av[0], av.data());
    _exit(127);
  }
  Outcome o;
  std::size_t answered = 0;
  const std::string prompt = "Other input will terminate the job.";
  for (;;) {
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, 20000) <= 0) break;
    char buf[4096];
    const ssize_t n = read(master, buf, sizeof buf);
    if (n <= 0) break;
    o.out.append(buf, static_cast<std::size_t>(n));
    // Answer each prompt once, as an operator would.
    std::size_t at = 0, seen = 0;
    while ((at = o.out.find(prompt, at)) != std::string::npos) {
      ++seen;
      at += prompt.size();
    }
    for (; answered < seen; ++answered) {
      const std::string line = answer + "\n";
      if (write(master, line.data(), line.size()) < 0) break;
    }
  }
  int raw = 0;
  waitpid(pid, &raw, 0);
  close(master);
  o.status = statusOf(raw);
  // The terminal turns line ends into carriage return plus line feed.
  std::string clean;
  for (char c : o.out)
    if (c != '\r') clean += c;
  o.out = clean;
  return o;
}

std::string ProjectFile::text() const {
  std::ostringstream f;
  f << "test project\n[times]\n" << times << "\n[parameters]\n";
  f << "nx=" << nx << "\nny=" << ny << "\nnz=" << nz << "\n";
  f << "dx=" << dx << "\ndy=" << dy << "\ndz=" << dz << "\n";
  f << "sectionformat=" << format << "\n[hydration]\n";
  f << "seriesFlag=" << seriesFlag << "\nmodelFlag=" << modelFlag << "\n";
  f << "Rho=" << rho << "\nplacement=" << placement << "\ncementitious=" << cementitious << "\n";
  f << "P1=" << P1 << "\nP2=" << P2 << "\nP3=" << P3 << "\npoints=" << ratePoints << "\n";
  for (const auto& r : rateRows) f << r << "\n";
  if (rateRows.empty()) f << "\n";
  f << "[End Sources]\n[Boundaries]\n" << bound << "\n";
  f << "materialboundaries="
    << (boundaryCount.empty() ? std::to_string(boundaries.size()) : boundaryCount) << "\n";
  f << "initial=" << initial << "\n";
  for (const auto& b : boundaries) {
    f << "[boundary]\nDirichlet=" << b.dirichlet << "\nnumber=" << b.number << "\ndensity="
      << b.density << "\ninitTemp=" << b.initTemp << "\npoints="
      << (b.points.empty() ? std::to_string(b.series.size()) : b.points) << "\n";
    for (const auto& s : b.series) f << s << "\n";
  }
  f << "[End Boundaries]\n[Files]\noutput=" << output << "\n";
  const std::size_t nsec = sections.empty() ? 1 : sections.size();
  f << "sectionfiles=" << (sectionCount.empty() ? std::to_string(nsec) : sectionCount) << "\n";
  f << "[submodel]\n";
  if (laysec.empty()) {
    f << std::atoi(nz.c_str()) << "*1\n";
  } else {
    for (const auto& l : laysec) f << l << " ";
    f << "\n";
  }
  f << "[Sectiongeometry]\n";
  if (sections.empty()) {
    f << "[section]\n" << std::atoll(nx.c_str()) * std::atoll(ny.c_str()) << "*1\n";
  } else {
    for (const auto& s : sections) f << "[section]\n" << s << "\n";
  }
  f << "[Materials]\nMaterials="
    << (materialCount.empty() ? std::to_string(materials.size()) : materialCount) << "\n";
  for (const auto& m : materials)
    f << "[Material]\nconductivity=" << m.conductivity << "\nspecificheat=" << m.heat
      << "\ndensity=" << m.density << "\nproduction=" << m.production << "\n";
  return f.str();
}

}  // namespace ph::test
