#include "support/e2e.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace ph::test {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> splitLines(std::string_view text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
    end = std::min(text.find('\n', start), text.size());
    lines.emplace_back(text.substr(start, end - start));
  }
  return lines;
}

std::vector<double> numbers(const std::string& text) {
  std::istringstream in(text);
  std::vector<double> all;
  for (double x; in >> x;) all.push_back(x);
  return all;
}

std::string unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    if (c == 'n') out += '\n';
    else if (c == 't') out += '\t';
    else if (c == 'x') out += char(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16)), i += 2;
    else if (c == 'w') {
      const std::size_t end = text.find(';', i);
      out.append(std::stoul(std::string(text.substr(i + 1, end - i - 1))), ' ');
      i = end;
    } else out += c;
  }
  return out;
}

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size()) s.replace(at, from.size(), to);
  return s;
}

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "pourheat-test-XXXXXX").string();
  path_ = mkdtemp(pattern.data());
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void TempDir::write(const std::string& name, std::string_view content) const {
  std::ofstream(path_ / name, std::ios::binary) << content;
}

TestRun::TestRun(std::optional<std::string> answer)
    : term(std::tmpfile(), &std::fclose), errs(std::tmpfile(), &std::fclose),
      run(term.get(), errs.get(), [answer] { return answer; }) {}

static std::string from(std::FILE* f, long at) {
  std::fflush(f);
  std::string all(std::size_t(std::ftell(f) - at), '\0');
  all.resize(std::size_t(pread(fileno(f), all.data(), all.size(), at)));
  return all;
}

std::string TestRun::terminal() {
  std::string text = from(term.get(), seen);
  seen += long(text.size());
  return text;
}

std::string TestRun::errors() { return from(errs.get(), 0); }

Outcome runIn(const TempDir& dir, const RunSetup& setup) {
  const fs::path home = fs::current_path();
  fs::current_path(dir.path());
  Outcome o;
  {
    TestRun t(setup.answer);
    t.run.earlierMask = setup.earlier;
    t.run.files.createFile = [full = setup.full](const std::string& name) {
      const bool isFull = std::find(full.begin(), full.end(), name) != full.end();
      return isFull ? open("/dev/full", O_WRONLY | O_CLOEXEC) : createFresh(name);
    };
    RunOptions options;
    options.startupSleepMs = 0;
    options.counters = setup.counters;
    o.status = runProgram(t.run, setup.args, options);
    o.out = t.terminal();
    o.err = t.errors();
  }
  fs::current_path(home);
  return o;
}

pid_t start(const TempDir& dir, const std::string& binary, std::vector<std::string> args) {
  args.insert(args.begin(), binary);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    setsid();
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    if (chdir(dir.path().c_str()) != 0) _exit(126);
    const std::string id = std::to_string(getpid());
    const int in = open("/dev/null", O_RDONLY), out = open((".stdout" + id).c_str(), O_WRONLY | O_CREAT, 0644),
              err = open((".stderr" + id).c_str(), O_WRONLY | O_CREAT, 0644);
    dup2(in, 0), dup2(out, 1), dup2(err, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

Outcome finish(const TempDir& dir, pid_t pid) {
  int raw = 0;
  waitpid(pid, &raw, 0);
  const std::string out = ".stdout" + std::to_string(pid), err = ".stderr" + std::to_string(pid);
  Outcome o{WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw), dir.read(out), dir.read(err)};
  fs::remove(dir.path() / out), fs::remove(dir.path() / err);
  return o;
}

}  // namespace ph::test
