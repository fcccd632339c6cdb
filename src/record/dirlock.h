// One run per working directory: an exclusive lock (flock) on a lock file
// there, held for the run's life. The kernel drops the lock when the process
// ends, however it ends, so a killed run never blocks the next one.
#pragma once

#include <string>

namespace ph {

inline constexpr const char* kLockName = ".pourheat.lock";

// What the name of a lock file leads to, against the file locked on `fd`.
enum class LockName {
  Ours,      // that file, under this name only
  Replaced,  // another file, or none: the file locked lost its name meanwhile
  Shared,    // that file, but another folder holds a hard link to it too
};
LockName lockName(int fd, const std::string& path);

class DirLock {
 public:
  enum class Outcome { Taken, Busy, Failed };

  DirLock() = default;
  ~DirLock() { release(); }
  DirLock(const DirLock&) = delete;
  DirLock& operator=(const DirLock&) = delete;

  // Takes the lock of the working directory; on Failed `why` says why.
  Outcome take(std::string& why);
  // Removes the lock file and drops the lock; nothing when not held.
  void release() noexcept;

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace ph
