#include "record/interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <filesystem>

namespace ph {

namespace {

// A few files at a time: the lock, a result being written, the flag. The
// handler may run at any moment, so a slot is filled before it is marked used.
struct Slot {
  volatile std::sig_atomic_t used = 0;
  char path[4096] = {};
};
Slot slots[8];

// The signals that announce themselves with the line, and those that only
// clean up: every other signal whose default is to end the process.
struct Handled {
  int sig;
  const char* name;
  bool told;
};
constexpr Handled kHandled[] = {
    {SIGINT, "SIGINT", true},     {SIGTERM, "SIGTERM", true},     {SIGHUP, "SIGHUP", true},
    {SIGQUIT, "SIGQUIT", true},   {SIGPIPE, "SIGPIPE", false},    {SIGUSR1, "SIGUSR1", false},
    {SIGUSR2, "SIGUSR2", false},  {SIGALRM, "SIGALRM", false},    {SIGXFSZ, "SIGXFSZ", false},
    {SIGXCPU, "SIGXCPU", false},  {SIGVTALRM, "SIGVTALRM", false}, {SIGPROF, "SIGPROF", false},
};

// The line, twice: the one the handler reads and the one being written; a
// new line is filled in the other buffer, then made the current one.
struct Line {
  char text[512] = {};
  std::size_t split = 0, size = 0;  // the signal's name goes at `split`
};
Line lines[2];
volatile std::sig_atomic_t current = 0;
volatile std::sig_atomic_t logFd = -1;

std::string absolutePath(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(path, ec);
  return ec ? path : p.string();
}

void put(int fd, const char* text, std::size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, text, size);
    if (n <= 0) return;
    text += n;
    size -= std::size_t(n);
  }
}

void tell(int fd, const Line& line, const char* name) {
  put(fd, line.text, line.split);
  put(fd, name, std::strlen(name));
  put(fd, line.text + line.split, line.size - line.split);
  put(fd, "\n", 1);
}

extern "C" void onSignal(int sig) {
  std::atomic_signal_fence(std::memory_order_acquire);
  for (const Handled& h : kHandled)
    if (h.sig == sig && h.told) {
      const Line& line = lines[current];
      tell(STDOUT_FILENO, line, h.name);
      if (logFd >= 0) tell(logFd, line, h.name);
    }
  for (Slot& s : slots)
    if (s.used) unlink(s.path);
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

sigset_t handledSet() {
  sigset_t set;
  sigemptyset(&set);
  for (const Handled& h : kHandled) sigaddset(&set, h.sig);
  return set;
}

}  // namespace

void removeOnInterrupt(const std::string& path) {
  const std::string full = absolutePath(path);
  if (full.size() >= sizeof slots[0].path) return;
  for (Slot& s : slots)
    if (!s.used) {
      std::memcpy(s.path, full.c_str(), full.size() + 1);
      std::atomic_signal_fence(std::memory_order_release);
      s.used = 1;
      return;
    }
}

void keepOnInterrupt(const std::string& path) {
  const std::string full = absolutePath(path);
  for (Slot& s : slots)
    if (s.used && full == s.path) {
      s.used = 0;
      return;
    }
}

void setInterruptLine(const std::string& before, const std::string& after) {
  Line& next = lines[1 - current];
  const std::size_t b = std::min(before.size(), sizeof next.text / 2);
  const std::size_t a = std::min(after.size(), sizeof next.text / 2 - 1);
  std::memcpy(next.text, before.data(), b);
  std::memcpy(next.text + b, after.data(), a);
  next.split = b;
  next.size = b + a;
  std::atomic_signal_fence(std::memory_order_release);
  current = 1 - current;
}

void reportInterruptTo(int fd) { logFd = fd; }

void stopReportingTo(int fd) {
  if (logFd == fd) logFd = -1;
}

InterruptsHeld::InterruptsHeld() {
  const sigset_t set = handledSet();
  pthread_sigmask(SIG_BLOCK, &set, &was_);
}

InterruptsHeld::~InterruptsHeld() { pthread_sigmask(SIG_SETMASK, &was_, nullptr); }

void installInterruptHandlers() {
  setInterruptLine(" run interrupted by signal ", "");
  struct sigaction action {};
  action.sa_handler = onSignal;
  action.sa_mask = handledSet();
  for (const Handled& h : kHandled) {
    struct sigaction was {};
    if (sigaction(h.sig, nullptr, &was) == 0 && was.sa_handler == SIG_IGN) continue;
    sigaction(h.sig, &action, nullptr);
  }
}

}  // namespace ph
