#include <string>

#include "record/freeform.h"
#include "record/numfmt.h"

namespace ph {
namespace {

constexpr std::size_t kLineLimit = 80;

// Cuts the record's lines at the line feeds that texts carried into them.
std::vector<std::string> splitAtLineFeeds(std::vector<std::string>& record) {
  std::vector<std::string> lines;
  for (std::string& l : record) {
    std::size_t start = 0;
    for (std::size_t nl; (nl = l.find('\n', start)) != std::string::npos; start = nl + 1)
      lines.push_back(l.substr(start, nl - start));
    lines.push_back(start == 0 ? std::move(l) : l.substr(start));
  }
  return lines;
}

}  // namespace

std::vector<std::string> formatFree(std::span<const FmtValue> items) {
  std::vector<std::string> record;
  std::string cur;
  std::string num;
  for (const FmtValue& v : items) {
    // The length an item claims: a text its characters, a real its whole
    // text (blank, sign place, digits), an integer its sign and digits.
    std::size_t len = 0;
    if (v.kind == FmtValue::Kind::Text) {
      len = v.s.size();
    } else if (v.kind == FmtValue::Kind::Int) {
      num = freeInt(v.i);
      len = num.size() - 1;
    } else {
      num = freeReal(v.r);
      len = num.size();
    }
    if (!cur.empty() && cur.size() + len >= kLineLimit) {
      record.push_back(std::move(cur));
      cur.clear();
    }
    if (v.kind == FmtValue::Kind::Text) {
      if (cur.empty()) cur += ' ';
      cur.append(v.s);
    } else {
      cur += num;
    }
  }
  record.push_back(std::move(cur));
  return splitAtLineFeeds(record);
}

std::vector<std::string> formatFree(std::initializer_list<FmtValue> items) {
  return formatFree(std::span<const FmtValue>(items.begin(), items.size()));
}

}  // namespace ph
