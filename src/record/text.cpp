#include "record/text.h"

#include <algorithm>

namespace ph {

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

}  // namespace ph
