#include "record/files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "record/interrupt.h"

namespace ph {

namespace fs = std::filesystem;

FileTable::FileTable(std::FILE* terminal) : terminal_(terminal) {}

FileTable::~FileTable() { abandonAll(); }

void FileTable::fail(int unit, const std::string& what) const {
  std::string report = "pourheat: " + what + ", file number " + std::to_string(unit);
  auto it = units_.find(unit);
  if (it != units_.end() && !it->second.name.empty())
    report += ", file '" + it->second.name + "'";
  throw FileFailure(report);
}

FileTable::Unit& FileTable::get(int unit) {
  auto it = units_.find(unit);
  if (it == units_.end()) fail(unit, "file number is not open");
  return it->second;
}

const FileTable::Unit& FileTable::get(int unit) const {
  auto it = units_.find(unit);
  if (it == units_.end()) fail(unit, "file number is not open");
  return it->second;
}

static std::string systemError() { return std::strerror(errno); }

void FileTable::openRead(int unit, const std::string& name) {
  close(unit);
  Unit u;
  u.name = name;
  std::error_code ec;
  if (name.empty() || !fs::exists(name, ec)) {
    units_[unit] = std::move(u);
    fail(unit, "file does not exist");
  }
  if (fs::is_directory(name, ec)) {
    units_[unit] = std::move(u);
    fail(unit, "cannot read a folder as a file");
  }
  if (!fs::is_regular_file(name, ec)) {
    units_[unit] = std::move(u);
    fail(unit, "not a regular file (a pipe, a device or a socket is not read)");
  }
  if (const auto size = fs::file_size(name, ec); !ec && size > kMaxReadBytes) {
    units_[unit] = std::move(u);
    fail(unit, "the file is larger than 64 MiB");
  }
  // Read in pieces, so that a file still growing stops at the limit too.
  std::ifstream in(name, std::ios::binary);
  std::string text;
  char piece[65536];
  while (in && text.size() <= kMaxReadBytes) {
    in.read(piece, sizeof piece);
    text.append(piece, static_cast<std::size_t>(in.gcount()));
  }
  if (text.size() > kMaxReadBytes) {
    units_[unit] = std::move(u);
    fail(unit, "the file is larger than 64 MiB");
  }
  if (in.bad() || !in.eof()) {
    units_[unit] = std::move(u);
    fail(unit, "cannot read the file");
  }
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;  // files written on Windows
    u.lines.emplace_back(text, start, stop - start);
    start = end + 1;
  }
  units_[unit] = std::move(u);
}

void FileTable::openWrite(int unit, const std::string& name, bool atomic) {
  close(unit);
  Unit& u = units_[unit];
  u.name = name;
  u.atomic = atomic;
  u.writeName = atomic ? name + ".partial" : name;
  std::error_code ec;
  if (name.empty()) fail(unit, "cannot create a file with a blank name");
  if (fs::is_directory(name, ec)) fail(unit, "cannot write a file over a folder");
  if (atomic) removeOnInterrupt(u.writeName);
  u.out = std::fopen(u.writeName.c_str(), "w");
  if (!u.out) {
    const std::string why = systemError();
    if (atomic) keepOnInterrupt(u.writeName);
    fail(unit, "cannot create the file (" + why + ")");
  }
}

void FileTable::openScratch(int unit) {
  close(unit);
  Unit u;
  u.scratch = true;
  units_[unit] = std::move(u);
}

void FileTable::closeUnit(Unit& u, int unit, bool report) {
  if (!u.out) return;
  bool bad = std::ferror(u.out) != 0;
  bad = (std::fclose(u.out) != 0) || bad;
  u.out = nullptr;
  if (u.atomic) {
    std::error_code ec;
    if (!bad && report) {
      fs::rename(u.writeName, u.name, ec);
      if (ec) {
        const std::string why = ec.message();
        fs::remove(u.writeName, ec);
        keepOnInterrupt(u.writeName);
        fail(unit, "cannot put the finished file in place (" + why + ")");
      }
    } else {
      fs::remove(u.writeName, ec);
    }
    keepOnInterrupt(u.writeName);
  }
  if (bad && report) fail(unit, "write error");
}

void FileTable::close(int unit) {
  auto it = units_.find(unit);
  if (it == units_.end()) return;
  Unit u = std::move(it->second);
  it->second = Unit{};
  it->second.name = u.name;  // kept while reporting, so the report names the file
  try {
    closeUnit(u, unit, true);
  } catch (...) {
    units_.erase(unit);
    throw;
  }
  units_.erase(unit);
}

void FileTable::abandonAll() noexcept {
  // Plain files keep what was written; atomic ones never appear.
  for (auto& [unit, u] : units_) {
    if (!u.out) continue;
    std::fclose(u.out);
    u.out = nullptr;
    std::error_code ec;
    if (u.atomic) {
      fs::remove(u.writeName, ec);
      keepOnInterrupt(u.writeName);
    }
  }
  units_.clear();
}

bool FileTable::isOpen(int unit) const { return unit == 6 || units_.count(unit) != 0; }

std::optional<int> FileTable::unitOf(const std::string& name) const {
  for (const auto& [unit, u] : units_)
    if (!u.scratch && u.name == name) return unit;
  return std::nullopt;
}

// The absolute path of a name with every link on its way followed, even a
// last link that leads nowhere yet (writing through it creates its target).
static fs::path resolved(const std::string& name) {
  std::error_code ec;
  fs::path p = fs::absolute(name, ec);
  for (int hops = 0; hops < 40; ++hops) {
    const fs::path c = fs::weakly_canonical(p, ec);
    if (!ec) p = c;
    if (!fs::is_symlink(fs::symlink_status(p, ec))) break;
    const fs::path target = fs::read_symlink(p, ec);
    if (ec) break;
    p = target.is_absolute() ? target : p.parent_path() / target;
  }
  return p.lexically_normal();
}

bool FileTable::sameFile(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  std::error_code ec;
  if (fs::exists(a, ec) && fs::exists(b, ec)) return fs::equivalent(a, b, ec);
  return resolved(a) == resolved(b);
}

bool FileTable::exists(const std::string& name) {
  std::error_code ec;
  return !name.empty() && fs::exists(name, ec);
}

const std::string& FileTable::nameOf(int unit) const { return get(unit).name; }

std::size_t FileTable::position(int unit) const { return get(unit).pos; }

const std::vector<std::string>& FileTable::lines(int unit) const {
  const Unit& u = get(unit);
  if (u.out) fail(unit, "cannot read a file being written");
  return u.lines;
}

std::vector<std::string> FileTable::splitOff(int unit, std::size_t index) {
  Unit& u = get(unit);
  if (u.out) fail(unit, "cannot read a file being written");
  if (index >= u.lines.size()) return {};
  std::vector<std::string> rest(u.lines.begin() + std::ptrdiff_t(index), u.lines.end());
  u.lines.resize(index);
  u.pos = std::min(u.pos, index);
  return rest;
}

void FileTable::rewind(int unit) {
  Unit& u = get(unit);
  if (u.out) fail(unit, "cannot rewind a file being written");
  u.pos = 0;
}

void FileTable::backspace(int unit) {
  Unit& u = get(unit);
  if (u.out) fail(unit, "cannot backspace a file being written");
  if (u.pos > 0) --u.pos;
}

void FileTable::writeLines(int unit, const std::vector<std::string>& lines) {
  if (unit == 6) {
    for (const auto& l : lines) {
      std::fwrite(l.data(), 1, l.size(), terminal_);
      std::fputc('\n', terminal_);
    }
    return;
  }
  Unit& u = get(unit);
  if (u.scratch || !u.out) {
    if (!u.scratch) fail(unit, "cannot write a file opened for reading");
    // A sequential file ends where it is written.
    u.lines.resize(u.pos);
    for (const auto& l : lines) u.lines.push_back(l);
    u.pos = u.lines.size();
    return;
  }
  for (const auto& l : lines) {
    if (std::fwrite(l.data(), 1, l.size(), u.out) != l.size() || std::fputc('\n', u.out) == EOF)
      fail(unit, "write error (" + systemError() + ")");
  }
}

std::optional<std::string> FileTable::readLine(int unit) {
  Unit& u = get(unit);
  if (u.out) fail(unit, "cannot read a file being written");
  if (u.pos >= u.lines.size()) return std::nullopt;
  return u.lines[u.pos++];
}

ReadResult FileTable::readFree(int unit, std::span<const ReadTarget> targets) {
  Unit& u = get(unit);
  if (u.out) fail(unit, "cannot read a file being written");
  return ph::readFree(u.lines, u.pos, targets);
}

void FileTable::readFreeOrFail(int unit, std::span<const ReadTarget> targets) {
  const ReadResult r = readFree(unit, targets);
  if (r.status == ReadStatus::End) fail(unit, "end of file during a read");
  if (r.status == ReadStatus::Bad)
    fail(unit, "read error at line " + std::to_string(r.line + 1) + ": '" + r.token +
                   "' is not " + (r.expected == "integer" ? "an integer" : "a real number"));
}

}  // namespace ph
