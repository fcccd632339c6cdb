#include <cfloat>
#include <cmath>
#include <cstdlib>

#include "record/freeform.h"
#include "record/text.h"

namespace ph {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool endsField(char c) { return blankChar(c) || c == ',' || c == '/'; }

// One field of the input: a value, possibly repeated (r*v), r null values
// (r* or an empty field between commas), a slash, or the end of the lines.
struct Field {
  enum class Kind : std::uint8_t { Value, Null, Slash, End } kind;
  std::size_t repeat = 1;
  std::string text{};
  bool quoted = false;
};

struct Scanner {
  std::span<const std::string> lines;
  std::size_t li;
  std::size_t c = 0;
  bool afterValue = false;  // a comma here separates, it is no null value

  // Moves to the next character that is no blank, across line ends.
  bool skip() {
    for (; li < lines.size(); ++li, c = 0) {
      const std::string& l = lines[li];
      while (c < l.size() && blankChar(l[c])) ++c;
      if (c < l.size()) return true;
    }
    return false;
  }

  Field next() {
    if (!skip()) return {Field::Kind::End};
    if (afterValue && lines[li][c] == ',') {
      ++c;
      if (!skip()) return {Field::Kind::End};
    }
    afterValue = false;
    const std::string& l = lines[li];
    if (l[c] == ',') {
      ++c;
      return {Field::Kind::Null};
    }
    if (l[c] == '/') return {Field::Kind::Slash};
    afterValue = true;
    Field f{Field::Kind::Value};
    std::size_t k = c;
    while (k < l.size() && isDigit(l[k])) ++k;
    if (k > c && k < l.size() && l[k] == '*') {
      std::size_t r = 0;
      for (std::size_t j = c; j < k && r < 1000000000; ++j) r = r * 10 + static_cast<std::size_t>(l[j] - '0');
      if (r > 0) {
        f.repeat = r;
        c = k + 1;
        if (c == l.size() || endsField(l[c])) {
          f.kind = Field::Kind::Null;
          return f;
        }
      }
    }
    const char q = l[c];
    if (q == '\'' || q == '"') {
      // A doubled quote stands for one; an unclosed text ends with its line.
      f.quoted = true;
      for (++c; c < l.size(); ++c) {
        if (l[c] == q && (c + 1 == l.size() || l[c + 1] != q)) {
          ++c;
          break;
        }
        if (l[c] == q) ++c;
        f.text += l[c];
      }
    } else {
      const std::size_t start = c;
      while (c < l.size() && !endsField(l[c])) ++c;
      f.text.assign(l, start, c - start);
    }
    return f;
  }
};

bool parseInt(std::string_view t, int& out) {
  std::size_t i = t.empty() || (t[0] != '+' && t[0] != '-') ? 0 : 1;
  if (i == t.size()) return false;
  long long v = 0;
  for (; i < t.size(); ++i) {
    if (!isDigit(t[i])) return false;
    v = v * 10 + (t[i] - '0');
    if (v > 2147483648LL) return false;
  }
  if (t[0] == '-') v = -v;
  if (v > 2147483647LL) return false;
  out = static_cast<int>(v);
  return true;
}

bool equalsNoCase(std::string_view a, std::string_view lower) {
  if (a.size() != lower.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if ((a[i] | 0x20) != lower[i]) return false;
  return true;
}

// Digits with an optional point, then an optional exponent: E, e, D or d with
// an optional sign, or a bare sign ("1.5+3").
bool parseReal(std::string_view t, float& out) {
  std::size_t i = 0;
  const bool neg = !t.empty() && t[0] == '-';
  if (!t.empty() && (t[0] == '+' || t[0] == '-')) ++i;
  const std::string_view word = t.substr(i);
  if (equalsNoCase(word, "inf") || equalsNoCase(word, "infinity")) {
    out = neg ? -INFINITY : INFINITY;
    return true;
  }
  if (equalsNoCase(word, "nan")) {
    out = NAN;
    return true;
  }
  std::string num(neg ? "-" : "");
  std::size_t digits = 0;
  for (bool point = false; i < t.size(); ++i) {
    if (isDigit(t[i])) {
      ++digits;
    } else if (t[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
    num += t[i];
  }
  if (digits == 0) return false;
  if (i < t.size()) {
    const char c = t[i];
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd') ++i;
    else if (c != '+' && c != '-') return false;
    num += 'e';
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) num += t[i++];
    if (i == t.size()) return false;
    for (; i < t.size(); ++i) {
      if (!isDigit(t[i])) return false;
      num += t[i];
    }
  }
  // The program never changes the locale, so strtod reads a point.
  const double d = std::strtod(num.c_str(), nullptr);
  // Halfway between FLT_MAX and 2^128 and above rounds to infinity.
  if (std::fabs(d) >= 0x1.ffffffp127) out = d < 0 ? -INFINITY : INFINITY;
  else out = static_cast<float>(d);
  return true;
}

// Stores a value into its target; false when it is of the wrong kind.
bool store(const ReadTarget& target, const Field& f) {
  switch (target.kind) {
    case ReadTarget::Kind::Int: return !f.quoted && parseInt(f.text, *static_cast<int*>(target.p));
    case ReadTarget::Kind::Real: return !f.quoted && parseReal(f.text, *static_cast<float*>(target.p));
    case ReadTarget::Kind::Text: {
      std::string& s = *static_cast<std::string*>(target.p);
      s.assign(f.text, 0, target.len);
      s.resize(target.len, ' ');
      return true;
    }
  }
  return false;
}

}  // namespace

ReadResult readFree(std::span<const std::string> lines, std::size_t& pos,
                    std::span<const ReadTarget> targets) {
  ReadResult res;
  if (pos >= lines.size()) {
    res.status = ReadStatus::End;
    res.line = pos = lines.size();
    return res;
  }
  Scanner s{lines, pos};
  for (std::size_t t = 0; t < targets.size();) {
    const Field f = s.next();
    if (f.kind == Field::Kind::End) {
      res.status = ReadStatus::End;
      res.line = pos = lines.size();
      return res;
    }
    if (f.kind == Field::Kind::Slash) break;
    std::size_t r = 0;
    for (; r < f.repeat && t < targets.size(); ++r, ++t) {
      if (f.kind == Field::Kind::Null || store(targets[t], f)) continue;
      res.status = ReadStatus::Bad;
      res.token = f.text;
      res.expected = targets[t].kind == ReadTarget::Kind::Int ? "integer" : "real";
      break;
    }
    res.repeatsLeft = r < f.repeat;
    if (res.status == ReadStatus::Bad) break;
  }
  // The rest of the last line touched is discarded.
  res.line = s.li;
  res.column = s.c;
  pos = s.li + 1;
  return res;
}

}  // namespace ph
