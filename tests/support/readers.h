// Small readers shared by the tests: files, lines and the numbers of result
// files, test data written with escapes, and the cell loop.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ph::test {

std::string readFile(const std::filesystem::path& path);
std::vector<std::string> splitLines(std::string_view text);
// Every number of a text, in order.
std::vector<double> numbers(const std::string& text);
// Test data with escapes: \n, \t, \\, \xHH (one byte) and \wN; (N blanks).
std::string unescape(std::string_view text);
// `s` with every `from` replaced by `to`.
std::string replaceAll(std::string s, const std::string& from, const std::string& to);

// Calls f(i, j, k) for every cell of an nx by ny by nz grid, i fastest.
template <class F>
void eachCell(int nx, int ny, int nz, F f) {
  for (int k = 1; k <= nz; ++k)
    for (int j = 1; j <= ny; ++j)
      for (int i = 1; i <= nx; ++i) f(i, j, k);
}

}  // namespace ph::test
