#include "record/numfmt.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace ph {
namespace {

// The exact decimal value of a float: 0.D x 10^pt with D = d[0..n) free of
// leading and trailing zeros; n == 0 for zero. A float is m x 2^e with
// m < 2^24 and -149 <= e <= 104, so D has at most 112 digits.
struct Digits {
  char d[120];
  int n = 0;
  int pt = 0;
  bool neg = false;

  char at(int p) const { return p >= 0 && p < n ? d[p] : '0'; }
};

Digits exactDigits(float v) {
  Digits x;
  x.neg = std::signbit(v);
  if (v == 0.0f) return x;
  int e = 0;
  const double frac = std::frexp(std::fabs(static_cast<double>(v)), &e);
  std::uint64_t m = static_cast<std::uint64_t>(std::ldexp(frac, 24));
  e -= 24;
  while ((m & 1) == 0) {
    m >>= 1;
    ++e;
  }
  // m x 2^e as N x 10^scale, N in little-endian limbs of base 1e9.
  constexpr std::uint64_t kBase = 1000000000;
  std::uint32_t limb[16] = {static_cast<std::uint32_t>(m)};
  int nl = 1;
  const auto mul = [&](std::uint64_t f) {
    std::uint64_t carry = 0;
    for (int i = 0; i < nl; ++i) {
      const std::uint64_t t = limb[i] * f + carry;
      limb[i] = static_cast<std::uint32_t>(t % kBase);
      carry = t / kBase;
    }
    while (carry != 0) {
      limb[nl++] = static_cast<std::uint32_t>(carry % kBase);
      carry /= kBase;
    }
  };
  int scale = 0;
  if (e > 0) {
    for (int k = e; k > 0; k -= 29) mul(std::uint64_t{1} << (k < 29 ? k : 29));
  } else if (e < 0) {
    // 2^e = 5^-e x 10^e
    scale = e;
    std::uint64_t p5 = 1;
    for (int k = -e; k > 0; --k) {
      p5 *= 5;
      if (p5 > 1000000000 / 5 || k == 1) {
        mul(p5);
        p5 = 1;
      }
    }
  }
  // Top limb without leading zeros, the others with all nine digits.
  char top[10];
  int tn = 0;
  for (std::uint32_t t = limb[nl - 1]; t != 0; t /= 10) top[tn++] = static_cast<char>('0' + t % 10);
  while (tn > 0) x.d[x.n++] = top[--tn];
  for (int i = nl - 2; i >= 0; --i) {
    std::uint32_t t = limb[i];
    for (int k = 8; k >= 0; --k) {
      x.d[x.n + k] = static_cast<char>('0' + t % 10);
      t /= 10;
    }
    x.n += 9;
  }
  x.pt = x.n + scale;
  while (x.d[x.n - 1] == '0') --x.n;
  return x;
}

// Keeps the first `keep` digits, rounding to nearest with ties to even. The
// digits are exact and free of trailing zeros, so a 5 that is not the last
// digit lies above the half.
void roundTo(Digits& x, int keep) {
  if (keep >= x.n) return;
  const char next = keep >= 0 ? x.d[keep] : '0';
  const bool tie = next == '5' && keep + 1 == x.n;
  const bool odd = keep > 0 && (x.d[keep - 1] - '0') % 2 == 1;
  const bool up = next > '5' || (next == '5' && (!tie || odd));
  x.n = keep < 0 ? 0 : keep;
  if (up) {
    int i = keep - 1;
    while (i >= 0 && x.d[i] == '9') --i;
    if (i < 0) {
      x.d[0] = '1';
      x.n = 1;
      ++x.pt;
    } else {
      ++x.d[i];
      x.n = i + 1;
    }
  }
  while (x.n > 0 && x.d[x.n - 1] == '0') --x.n;
  if (x.n == 0) x.pt = 0;
}

void stars(std::string& out, int w) { out.append(static_cast<std::size_t>(w > 0 ? w : 0), '*'); }

void pad(std::string& out, int w, int len) { out.append(static_cast<std::size_t>(w - len), ' '); }

// Infinity and NaN, right-justified when they fit.
void nonFinite(std::string& out, float v, int w) {
  const char* s = std::isnan(v) ? "NaN" : std::signbit(v) ? "-Infinity" : "Infinity";
  const int len = static_cast<int>(std::char_traits<char>::length(s));
  if (len > w) return stars(out, w);
  pad(out, w, len);
  out += s;
}

// Fw.d of x, already rounded to d decimals; false (nothing written) when it
// does not fit.
bool fixedField(std::string& out, const Digits& x, int w, int d) {
  const bool neg = x.neg && x.n > 0;
  const int intDigits = x.pt > 0 ? x.pt : 1;
  int len = (neg ? 1 : 0) + intDigits + 1 + d;
  bool zero = true;  // the zero before the point of a value below 1
  if (x.pt <= 0 && len == w + 1 && d > 0) {
    zero = false;
    --len;
  }
  if (len > w) return false;
  pad(out, w, len);
  if (neg) out += '-';
  if (x.pt > 0) {
    for (int p = 0; p < x.pt; ++p) out += x.at(p);
  } else if (zero) {
    out += '0';
  }
  out += '.';
  for (int p = x.pt; p < x.pt + d; ++p) out += x.at(p);
  return true;
}

// Ew.d of x, already rounded to d significant digits.
void expField(std::string& out, const Digits& x, int w, int d) {
  const bool neg = x.neg && x.n > 0;
  const int ex = x.n > 0 ? x.pt : 0;
  const int aex = std::abs(ex);
  // Two exponent digits after E; a third takes the place of the E.
  char expo[5];
  int en = 0;
  if (aex <= 99) expo[en++] = 'E';
  expo[en++] = ex < 0 ? '-' : '+';
  if (aex > 99) expo[en++] = static_cast<char>('0' + aex / 100);
  expo[en++] = static_cast<char>('0' + aex / 10 % 10);
  expo[en++] = static_cast<char>('0' + aex % 10);
  int len = (neg ? 1 : 0) + 2 + d + 4;
  const bool zero = len <= w;
  if (!zero) --len;
  if (len > w) return stars(out, w);
  pad(out, w, len);
  if (neg) out += '-';
  if (zero) out += '0';
  out += '.';
  for (int p = 0; p < d; ++p) out += x.at(p);
  out.append(expo, static_cast<std::size_t>(en));
}

void appendDigits(std::string& out, unsigned long long u) {
  char buf[20];
  int n = 0;
  do {
    buf[n++] = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u != 0);
  while (n > 0) out += buf[--n];
}

unsigned long long magnitude(long long v) {
  return v < 0 ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
}

}  // namespace

void appendI(std::string& out, long long v, int w) {
  std::string s;
  if (v < 0) s += '-';
  appendDigits(s, magnitude(v));
  const int len = static_cast<int>(s.size());
  if (len > w) return stars(out, w);
  pad(out, w, len);
  out += s;
}

void appendF(std::string& out, float v, int w, int d) {
  if (!std::isfinite(v)) return nonFinite(out, v, w);
  Digits x = exactDigits(v);
  roundTo(x, x.pt + d);
  if (!fixedField(out, x, w, d)) stars(out, w);
}

void appendE(std::string& out, float v, int w, int d) {
  if (!std::isfinite(v)) return nonFinite(out, v, w);
  Digits x = exactDigits(v);
  roundTo(x, d);
  expField(out, x, w, d);
}

void appendG(std::string& out, float v, int w, int d) {
  if (!std::isfinite(v)) return nonFinite(out, v, w);
  const Digits exact = exactDigits(v);
  // The choice goes by the value itself: from 0.1 up to but excluding
  // 10**d it is fixed with d significant digits (k before the point).
  if (exact.n > 0 && (exact.pt < 0 || exact.pt > d)) {
    Digits x = exact;
    roundTo(x, d);
    return expField(out, x, w, d);
  }
  const int decimals = exact.n > 0 ? d - exact.pt : d - 1;
  Digits x = exact;
  roundTo(x, x.pt + decimals);
  const std::size_t start = out.size();
  if (!fixedField(out, x, w - 4, decimals)) {
    out.resize(start);
    return stars(out, w);
  }
  out.append(4, ' ');
}

std::string freeInt(long long v) {
  std::string s(v < 0 ? " -" : " ");
  appendDigits(s, magnitude(v));
  return s;
}

std::string freeReal(float v) {
  std::string s(" ");
  if (std::isnan(v)) return s + " NaN";
  s += std::signbit(v) && v != 0.0f ? '-' : ' ';
  if (std::isinf(v)) return s + "Infinity";
  Digits x = exactDigits(v);
  roundTo(x, 9);
  if (x.n == 0) return s + "0.";
  const int e = x.pt - 1;  // the value is d.ddd x 10^e
  if (e >= -4 && e <= 8) {
    if (e >= 0) {
      for (int p = 0; p <= e; ++p) s += x.at(p);
      s += '.';
      for (int p = e + 1; p < x.n; ++p) s += x.d[p];
    } else {
      s += "0.";
      s.append(static_cast<std::size_t>(-e - 1), '0');
      s.append(x.d, static_cast<std::size_t>(x.n));
    }
    return s;
  }
  s += x.d[0];
  s += '.';
  s.append(x.d + 1, static_cast<std::size_t>(x.n - 1));
  s += e < 0 ? "E-" : "E+";
  if (std::abs(e) < 10) s += '0';
  appendDigits(s, static_cast<unsigned long long>(std::abs(e)));
  return s;
}

}  // namespace ph
