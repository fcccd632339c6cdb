#include "solver/weight_codes.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <unordered_map>

#include "solver/sweep_schedule.h"

namespace ph {

void codeWeights(const ShearedLayout& l, const int* active, const double* wI, const double* wJ, const double* wK,
                 std::vector<std::uint8_t>& code, std::vector<double>& rows) {
  using Six = std::array<double, 6>;
  struct Bits {
    std::size_t operator()(const Six& w) const {
      std::size_t h = 0;
      for (double x : w) h = h * 1000003u ^ std::hash<std::uint64_t>()(std::bit_cast<std::uint64_t>(x));
      return h;
    }
    bool operator()(const Six& a, const Six& b) const { return std::memcmp(a.data(), b.data(), sizeof a) == 0; }
  };
  const std::ptrdiff_t L = l.layerSize;
  auto six = [&](std::ptrdiff_t c, std::ptrdiff_t p) {
    return Six{wI[p - 1], wI[c], wJ[p], wJ[c], wK[c - L], wK[c]};
  };
  auto eachCell = [&](auto f) {
    for (int k = 2; k <= l.nz - 1; ++k)
      for (int r = 0; r < l.ny; ++r)
        for (int i = 0; i < rowPitch; ++i) {
          const std::ptrdiff_t row = (k - 1) * L + std::ptrdiff_t(r) * rowPitch;
          const std::ptrdiff_t prv = (k - 1) * L + std::ptrdiff_t(r == 0 ? l.ny - 1 : r - 1) * rowPitch;
          f(row + i, prv + i, active[std::ptrdiff_t(r) * rowPitch + i] != 0);
        }
  };
  // Neighbouring cells mostly share their six: the last one found is kept.
  std::unordered_map<Six, std::size_t, Bits, Bits> counts;
  Six last{};
  std::size_t* lastCount = nullptr;
  eachCell([&](std::ptrdiff_t c, std::ptrdiff_t p, bool computed) {
    if (!computed) return;
    const Six w = six(c, p);
    if (!lastCount || !Bits()(w, last)) last = w, lastCount = &counts[w];
    ++*lastCount;
  });
  std::vector<std::pair<std::size_t, Six>> common;
  for (const auto& [w, n] : counts) common.push_back({n, w});
  const std::size_t kept = std::min<std::size_t>(common.size(), unclassedWeights);
  std::partial_sort(common.begin(), common.begin() + std::ptrdiff_t(kept), common.end(),
                    [](const auto& a, const auto& b) { return a.first > b.first; });
  std::unordered_map<Six, std::uint8_t, Bits, Bits> codeOf;
  rows.assign(6 * runLength * std::size_t(unclassedWeights), 0.0);
  for (std::size_t n = 0; n < kept; ++n) {
    codeOf[common[n].second] = std::uint8_t(n);
    for (int f = 0; f < 6; ++f)
      std::fill_n(rows.begin() + std::ptrdiff_t((6 * n + f) * runLength), runLength, common[n].second[f]);
  }
  code.assign(l.size(), 0);
  std::vector<bool> set(l.size(), false);
  std::uint8_t lastCode = 0;
  bool known = false;
  eachCell([&](std::ptrdiff_t c, std::ptrdiff_t p, bool computed) {
    if (!computed) return;
    const Six w = six(c, p);
    if (!known || !Bits()(w, last)) {
      const auto it = codeOf.find(w);
      last = w, known = true;
      lastCode = it == codeOf.end() ? std::uint8_t(unclassedWeights) : it->second;
    }
    code[c] = lastCode;
    set[c] = true;
  });
  // The other positions of each row, from the left and then from the right.
  for (std::ptrdiff_t row = 0; row < std::ptrdiff_t(l.size()); row += rowPitch) {
    for (std::ptrdiff_t c = row + 1; c < row + rowPitch; ++c)
      if (!set[c] && set[c - 1]) code[c] = code[c - 1], set[c] = true;
    for (std::ptrdiff_t c = row + rowPitch - 2; c >= row; --c)
      if (!set[c] && set[c + 1]) code[c] = code[c + 1], set[c] = true;
  }
}


}  // namespace ph
