#include "record/dirlock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "record/interrupt.h"

namespace ph {

// A run removes the lock file while it still holds the lock. A run that
// opened the file just before that may then lock a file that has no name any
// more: it checks that the name still leads to the file it locked, and
// otherwise starts again.
DirLock::Outcome DirLock::take(std::string& why) {
  release();
  std::error_code ec;
  const std::filesystem::path dir = std::filesystem::current_path(ec);
  path_ = ec ? std::string(kLockName) : (dir / kLockName).string();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
      why = std::strerror(errno);
      return Outcome::Failed;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int e = errno;
      close(fd);
      if (e == EWOULDBLOCK) return Outcome::Busy;
      why = std::strerror(e);
      return Outcome::Failed;
    }
    struct stat held {}, named {};
    if (fstat(fd, &held) == 0 && stat(path_.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino) {
      fd_ = fd;
      removeOnInterrupt(path_);
      return Outcome::Taken;
    }
    close(fd);
  }
  why = "the lock file keeps changing";
  return Outcome::Failed;
}

void DirLock::release() noexcept {
  if (fd_ < 0) return;
  keepOnInterrupt(path_);
  unlink(path_.c_str());
  close(fd_);
  fd_ = -1;
}

}  // namespace ph
