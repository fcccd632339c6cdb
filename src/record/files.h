// File numbers bound to open sequential text files of lines.
// A file is read (its lines are loaded when first read) or written (lines go
// straight to disk); a scratch file lives in memory and disappears when
// closed; file number 6 is the terminal. Failures of the file layer throw
// FileFailure, whose report names the failure, the number and the file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "record/freeform.h"

namespace ph {

// A failure of the file layer: a missing file, a read error, an unexpected
// end of file or a write that did not reach the disk.
struct FileFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

inline constexpr std::uintmax_t kMaxReadBytes = 64u << 20;

class FileTable {
 public:
  explicit FileTable(std::FILE* terminal);
  ~FileTable();
  FileTable(const FileTable&) = delete;
  FileTable& operator=(const FileTable&) = delete;

  // Opens an existing file for reading (a missing file is a failure); its
  // lines are loaded at once. Only a regular file of at most kMaxReadBytes is
  // read: a pipe or a device could block or grow without end.
  void openRead(int unit, const std::string& name);
  // Creates the file, or empties it, for writing. With atomic, lines go to a
  // side file that takes the name only when the unit closes without error,
  // so no reader ever sees a partial file under the final name.
  void openWrite(int unit, const std::string& name, bool atomic = false);
  void openScratch(int unit);
  // Closes the unit; a write error met on it is a failure. Closing a unit that
  // is not open does nothing.
  void close(int unit);
  // Closes everything without reporting, for a run that is ending anyway;
  // atomic files that did not close cleanly leave no file under their name.
  void abandonAll() noexcept;

  bool isOpen(int unit) const;
  std::optional<int> unitOf(const std::string& name) const;
  static bool exists(const std::string& name);
  // Whether two names reach the same file: the same file when both exist
  // (through a link, ./ or an absolute path too), otherwise the same path
  // once made absolute, with links in it followed.
  static bool sameFile(const std::string& a, const std::string& b);
  const std::string& nameOf(int unit) const;
  // How many lines of the unit have been read (the 1-based number of the last).
  std::size_t position(int unit) const;

  // Every line of a unit being read, read or not.
  const std::vector<std::string>& lines(int unit) const;
  // The unit ends before its line `index` (from 0): the lines from there on
  // leave it and are returned, so no read ever meets them.
  std::vector<std::string> splitOff(int unit, std::size_t index);

  void rewind(int unit);
  void backspace(int unit);

  void writeLines(int unit, const std::vector<std::string>& lines);
  // The next line, or nothing at the end of the file.
  std::optional<std::string> readLine(int unit);
  // A free-form read; End and Bad come back to the caller.
  ReadResult readFree(int unit, std::span<const ReadTarget> targets);
  // The same, but End and Bad are file-layer failures.
  void readFreeOrFail(int unit, std::span<const ReadTarget> targets);

  // A file-layer failure on a unit: throws FileFailure.
  [[noreturn]] void fail(int unit, const std::string& what) const;

 private:
  struct Unit {
    std::string name;
    bool scratch = false;
    bool atomic = false;
    std::vector<std::string> lines;  // read side, or a scratch file
    std::size_t pos = 0;
    std::FILE* out = nullptr;        // write side
    std::string writeName;           // the side file of an atomic unit
  };
  Unit& get(int unit);
  const Unit& get(int unit) const;
  void closeUnit(Unit& u, int unit, bool report);

  std::FILE* terminal_;
  std::map<int, Unit> units_;
};

}  // namespace ph
