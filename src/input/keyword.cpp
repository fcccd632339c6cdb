#include "input/keyword.h"

#include <cmath>

namespace ph {

static bool blankChar(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string line128(std::string_view line) { return fixedText(line, kLineWidth); }

std::string fixedText(std::string_view text, std::size_t length) {
  std::string out(text.substr(0, std::min(text.size(), length)));
  out.resize(length, ' ');
  return out;
}

bool isBlank(std::string_view text) {
  for (char c : text)
    if (!blankChar(c)) return false;
  return true;
}

std::string rtrimmed(std::string_view text) {
  std::size_t n = text.size();
  while (n > 0 && text[n - 1] == ' ') --n;
  return std::string(text.substr(0, n));
}

void makblank(std::string& text) { text.assign(text.size(), ' '); }

void fndstrg(Run& run, int unit, std::string_view key, int mode) {
  for (;;) {
    std::optional<std::string> line = run.files.readLine(unit);
    if (!line) {
      run.free(kTerminal, {unit, " problem finding ", key});
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

// Reads one value from the text behind a key, as a one-line free-form read.
static void readBehind(Run& run, int unit, std::string_view key, ReadTarget target) {
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
}

int getint(Run& run, int unit, std::string_view key) {
  int v = 0;
  readBehind(run, unit, key, ReadTarget::integer(v));
  return v;
}

float getval(Run& run, int unit, std::string_view key) {
  float v = 0;
  readBehind(run, unit, key, ReadTarget::real(v));
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

}  // namespace ph
