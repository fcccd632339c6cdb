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

LockName lockName(int fd, const std::string& path) {
  struct stat held {}, named {};
  if (fstat(fd, &held) != 0 || lstat(path.c_str(), &named) != 0 || held.st_dev != named.st_dev ||
      held.st_ino != named.st_ino)
    return LockName::Replaced;
  return named.st_nlink > 1 ? LockName::Shared : LockName::Ours;
}

// A run removes the lock file while it still holds the lock. A run that
// opened the file just before that may then lock a file that has no name any
// more: it checks that the name still leads to the file it locked, and
// otherwise starts again. A lock file that a copy of the folder shares (cp
// -al) would tie the two folders' runs together: it gives up the shared file
// for one of its own. It never follows a link, which could create the lock
// file outside the folder.
DirLock::Outcome DirLock::take(std::string& why) {
  release();
  std::error_code ec;
  const std::filesystem::path dir = std::filesystem::current_path(ec);
  path_ = ec ? std::string(kLockName) : (dir / kLockName).string();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
      why = errno == ELOOP ? std::string(kLockName) + " is a symbolic link; remove it" : std::strerror(errno);
      return Outcome::Failed;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int e = errno;
      close(fd);
      if (e == EWOULDBLOCK) return Outcome::Busy;
      why = std::strerror(e);
      return Outcome::Failed;
    }
    const LockName name = lockName(fd, path_);
    if (name == LockName::Ours) {
      fd_ = fd;
      removeOnInterrupt(path_);
      return Outcome::Taken;
    }
    if (name == LockName::Shared) unlink(path_.c_str());
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
