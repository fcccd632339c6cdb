// The directory lock's look at its own name, and the handler of the signals
// that end a run, in a child process.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "record/dirlock.h"
#include "record/files.h"
#include "record/interrupt.h"

namespace ph {
namespace {

namespace fs = std::filesystem;

fs::path scratchDir() {
  std::string pattern = (fs::temp_directory_path() / "pourheat-record-XXXXXX").string();
  return mkdtemp(pattern.data());
}

// A run that has opened the lock file just as the run before it removes it
// locks a file without a name: it must see that and open the name again.
TEST(DirLock, TheLockedFileMustStillBeTheNamedOneAndOnlyThere) {
  const fs::path dir = scratchDir();
  const std::string path = dir / kLockName;
  const int fd = open(path.c_str(), O_RDWR | O_CREAT, 0644);
  EXPECT_EQ(lockName(fd, path), LockName::Ours);
  fs::create_hard_link(path, dir / "copy");
  EXPECT_EQ(lockName(fd, path), LockName::Shared);
  fs::remove(path);
  EXPECT_EQ(lockName(fd, path), LockName::Replaced);
  fs::rename(dir / "copy", path);  // the same file again, under the name only
  EXPECT_EQ(lockName(fd, path), LockName::Ours);
  fs::remove(path);
  close(open(path.c_str(), O_RDWR | O_CREAT, 0644));
  EXPECT_EQ(lockName(fd, path), LockName::Replaced);
  close(fd);
  fs::remove_all(dir);
}

// Signals that end the process without a word (a closed terminal pipe, a
// user signal) while the final field is being written: no side file and no
// lock outlive it.
TEST(Interrupt, SignalsThatEndTheProcessLeaveNoSideFileNorLock) {
  for (int sig : {SIGPIPE, SIGUSR1}) {
    const fs::path dir = scratchDir();
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir(dir.c_str()) != 0) _exit(1);
      installInterruptHandlers();
      DirLock lock;
      std::string why;
      FileTable files(stdout);
      if (lock.take(why) != DirLock::Outcome::Taken) _exit(2);
      files.openWrite(30, "field.out", true);
      files.writeLines(30, {"  20.00    "});
      std::raise(sig);
      _exit(3);
    }
    int raw = 0;
    waitpid(pid, &raw, 0);
    EXPECT_TRUE(WIFSIGNALED(raw) && WTERMSIG(raw) == sig) << raw;
    EXPECT_TRUE(fs::is_empty(dir)) << sig;
    fs::remove_all(dir);
  }
}

}  // namespace
}  // namespace ph
