#include "record/interrupt.h"

#include <unistd.h>

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

std::string absolutePath(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(path, ec);
  return ec ? path : p.string();
}

extern "C" void onInterrupt(int sig) {
  for (Slot& s : slots)
    if (s.used) unlink(s.path);
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

}  // namespace

void removeOnInterrupt(const std::string& path) {
  const std::string full = absolutePath(path);
  if (full.size() >= sizeof slots[0].path) return;
  for (Slot& s : slots)
    if (!s.used) {
      std::memcpy(s.path, full.c_str(), full.size() + 1);
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

void installInterruptHandlers() {
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace ph
