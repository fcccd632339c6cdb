#include "input/keyword.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <vector>

#include "input/reader.h"

namespace ph {

std::string line128(std::string_view line) { return fixedText(line, kLineWidth); }

void makblank(std::string& text) { text.assign(text.size(), ' '); }

void warnAt(Run& run, int unit, std::size_t line, const std::string& what) {
  run.warn(run.files.nameOf(unit) + " line " + std::to_string(line) + ": " + what);
}

std::string visible(std::string_view text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\t') {
      out += "\\t";
    } else if (u < 32 || u == 127) {
      out += "\\x";
      out += hex[u >> 4];
      out += hex[u & 15];
    } else {
      out += c;
    }
  }
  return out;
}

static char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Whether `line` holds `key` but for the case of its letters, or, for a key
// of four characters or more, but for one character changed, missing or
// added: the fewest edits that turn the key into some part of the line.
static bool nearMatch(std::string_view line, std::string_view key) {
  std::vector<std::size_t> prev(key.size() + 1), cur(key.size() + 1);
  for (std::size_t k = 0; k <= key.size(); ++k) prev[k] = k;
  std::size_t best = prev[key.size()];
  for (char c : line) {
    cur[0] = 0;  // the key may start anywhere in the line
    for (std::size_t k = 1; k <= key.size(); ++k)
      cur[k] = std::min({prev[k - 1] + (lower(key[k - 1]) == lower(c) ? 0 : 1), prev[k] + 1, cur[k - 1] + 1});
    best = std::min(best, cur[key.size()]);
    prev.swap(cur);
  }
  return best == 0 || (best == 1 && key.size() >= 4);
}

// After " problem finding ": where the search ran, and a line below that
// holds the key in another case or with one character wrong.
static void explainMissingKey(Run& run, int unit, std::string_view key, std::size_t from) {
  const std::size_t last = run.files.position(unit);
  const std::string file = run.files.nameOf(unit);
  std::string searched = "searched " + file + " from line " + std::to_string(from) + " to its end (line " +
                         std::to_string(last) + ") for " + std::string(key);
  if (from > last)
    searched = "searched " + file + " for " + std::string(key) + ": " +
               (last == 0 ? "the file is empty" : "no line follows line " + std::to_string(last) + ", its last");
  run.free(kTerminal, {searched});
  if (run.files.isOpen(kLog)) run.free(kLog, {searched});
  run.files.rewind(unit);
  for (std::size_t n = 1; n <= last; ++n) {
    const std::string line = line128(*run.files.readLine(unit));
    if (n < from || !nearMatch(line, key)) continue;
    const std::string hint = "line " + std::to_string(n) + " holds '" + visible(rtrimmed(line)) +
                             "': a key is found only as written, case included";
    run.free(kTerminal, {hint});
    if (run.files.isOpen(kLog)) run.free(kLog, {hint});
    return;
  }
}

void fndstrg(Run& run, int unit, std::string_view key, int mode) {
  const std::size_t from = run.files.position(unit) + 1;
  for (;;) {
    std::optional<std::string> line = run.files.readLine(unit);
    if (!line) {
      run.free(kTerminal, {unit, " problem finding ", key});
      explainMissingKey(run, unit, key, from);
      run.stop();
    }
    if (line128(*line).find(key) != std::string::npos) {
      if (mode > 0) run.files.backspace(unit);
      return;
    }
  }
}

// Finds the key and returns the text of its line behind the key.
static std::string behindKey(Run& run, int unit, std::string_view key) {
  fndstrg(run, unit, key, 1);
  const std::string line = line128(*run.files.readLine(unit));
  return line.substr(line.find(key) + key.size());
}

// Reads one value from the text behind a key, as a one-line free-form read;
// returns that text.
static std::string readBehind(Run& run, int unit, std::string_view key, ReadTarget target) {
  const std::string rest = behindKey(run, unit, key);
  std::string lines[1] = {rest};
  std::size_t pos = 0;
  const ReadResult r = readFree(lines, pos, std::span<const ReadTarget>(&target, 1));
  const std::string where = "behind the key '" + std::string(key) + "' at line " +
                            std::to_string(run.files.position(unit));
  if (r.status == ReadStatus::End) run.files.fail(unit, "no value " + where);
  if (r.status == ReadStatus::Bad)
    run.files.fail(unit, "'" + r.token + "' " + where + " is not " +
                             (target.kind == ReadTarget::Kind::Int ? "an integer" : "a real number"));
  return rest;
}

// A real written with a decimal comma, as in 2,5: the comma ends the value,
// which is read as 2.
static bool decimalComma(std::string_view rest) {
  std::size_t p = 0;
  while (p < rest.size() && static_cast<unsigned char>(rest[p]) <= 32) ++p;
  if (p < rest.size() && (rest[p] == '+' || rest[p] == '-')) ++p;
  const std::size_t digits = p;
  while (p < rest.size() && std::isdigit(static_cast<unsigned char>(rest[p]))) ++p;
  return p > digits && p + 1 < rest.size() && rest[p] == ',' &&
         std::isdigit(static_cast<unsigned char>(rest[p + 1]));
}

int getint(Run& run, int unit, std::string_view key) {
  int v = 0;
  readBehind(run, unit, key, ReadTarget::integer(v));
  return v;
}

float getval(Run& run, int unit, std::string_view key) {
  float v = 0;
  const std::string rest = readBehind(run, unit, key, ReadTarget::real(v));
  if (decimalComma(rest)) {
    run.files.backspace(unit);
    const std::string line = *run.files.readLine(unit);
    const std::size_t from = std::min(line.find_first_not_of(" \t"), line.size());
    std::string what = visible(rtrimmed(line.substr(from)));
    what.insert(what.begin(), '\'');
    what += "': the comma ends the number, which is read as " + numberText(v);
    warnAt(run, unit, run.files.position(unit), what);
  }
  if (!std::isfinite(v))
    run.reject("Problem: the value of " + std::string(key) + " at line " +
               std::to_string(run.files.position(unit)) + " is not a finite number");
  return v;
}

// Index of the first non-blank character from `from` on, pausing before every
// column beyond 120; text.size() when there is none.
static std::size_t skipBlanks(Run& run, std::string_view text, std::size_t from) {
  std::size_t p = from;
  for (; p < text.size(); ++p) {
    if (p >= 120) run.pause("getstrg: leading b");
    if (!blankChar(text[p])) break;
  }
  return p;
}

static std::size_t endOfText(std::string_view text) {
  std::size_t q = text.size();
  while (q > 0 && blankChar(text[q - 1])) --q;
  return q;
}

std::string getstrg(Run& run, int unit, std::string_view key, std::size_t length) {
  std::string result(length, ' ');
  const std::string rest = behindKey(run, unit, key);
  // Columns are counted on the whole line: the text behind the key starts there.
  const std::string line = std::string(kLineWidth - rest.size(), ' ') + rest;
  const std::size_t p = skipBlanks(run, line, kLineWidth - rest.size());
  const std::size_t q = endOfText(line);
  if (p < q) result = fixedText(std::string_view(line).substr(p, q - p), length);
  return result;
}

std::string trim(Run& run, std::string_view input, std::size_t length) {
  const std::size_t q = endOfText(input);
  const std::size_t p = skipBlanks(run, input, 0);
  // A text with nothing in it (a missing argument) is reported like a value
  // missing from its line.
  if (p >= q && input.size() <= 120) run.pause("getstrg: leading b");
  if (p >= q) return std::string(length, ' ');
  return fixedText(input.substr(p, q - p), length);
}

// The first output= line after a [Files] line, as the reader will come to
// it; read straight from the file, without a run.
std::string peekOutputName(const std::string& project) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(project, ec) || std::filesystem::file_size(project, ec) > kMaxReadBytes)
    return {};
  std::ifstream in(project, std::ios::binary);
  bool files = false;
  for (std::string line; std::getline(in, line);) {
    if (isPhysicsHeader(line)) break;  // the reader's file ends there
    line = line128(line);
    const std::size_t at = line.find("output=");
    if (!files || at == std::string::npos) {
      files = files || line.find("[Files]") != std::string::npos;
      continue;
    }
    std::size_t p = at + 7, q = line.size();
    while (p < q && blankChar(line[p])) ++p;
    while (q > p && blankChar(line[q - 1])) --q;
    return rtrimmed(fixedText(line.substr(p, q - p), 80));
  }
  return {};
}

}  // namespace ph
