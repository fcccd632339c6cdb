#include <string>

#include "record/freeform.h"
#include "record/numfmt.h"

namespace ph {
namespace {

constexpr std::size_t kLineLimit = 80;

// Appends a text item, ending the line at every line feed inside it.
void putText(std::vector<std::string>& lines, std::string& cur, std::string_view s) {
  if (cur.empty()) cur += ' ';
  for (std::size_t nl; (nl = s.find('\n')) != std::string_view::npos; s.remove_prefix(nl + 1)) {
    cur.append(s.substr(0, nl));
    lines.push_back(std::move(cur));
    cur.clear();
  }
  cur.append(s);
}

}  // namespace

std::vector<std::string> formatFree(std::span<const FmtValue> items) {
  std::vector<std::string> lines;
  std::string cur;
  std::string num;
  for (const FmtValue& v : items) {
    std::size_t len = 0;  // the item without its separating blank
    if (v.kind == FmtValue::Kind::Text) {
      len = v.s.size();
    } else {
      num = v.kind == FmtValue::Kind::Int ? freeInt(v.i) : freeReal(v.r);
      len = num.size() - 1;
    }
    const bool breaks = !(v.kind == FmtValue::Kind::Text && v.s.find('\n') != std::string_view::npos);
    if (breaks && !cur.empty() && cur.size() + len >= kLineLimit) {
      lines.push_back(std::move(cur));
      cur.clear();
    }
    if (v.kind == FmtValue::Kind::Text)
      putText(lines, cur, v.s);
    else
      cur += num;
  }
  lines.push_back(std::move(cur));
  return lines;
}

std::vector<std::string> formatFree(std::initializer_list<FmtValue> items) {
  return formatFree(std::span<const FmtValue>(items.begin(), items.size()));
}

}  // namespace ph
