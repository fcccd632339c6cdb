#include "record/layout.h"

#include <cctype>
#include <stdexcept>

#include "record/numfmt.h"

namespace ph {
namespace {

// Walks the layout text; blanks outside quoted texts are ignored.
struct Parser {
  std::string_view s;
  std::size_t i = 0;

  [[noreturn]] void fail(std::size_t at) const {
    throw std::invalid_argument("layout " + std::string(s) + ": bad item at column " +
                                std::to_string(at + 1));
  }
  char peek() {
    while (i < s.size() && s[i] == ' ') ++i;
    return i < s.size() ? static_cast<char>(std::toupper(static_cast<unsigned char>(s[i]))) : '\0';
  }
  bool digit() { return std::isdigit(static_cast<unsigned char>(peek())) != 0; }
  // An unsigned number, or -1 when there is none.
  int number() {
    if (!digit()) return -1;
    int n = 0;
    while (digit()) {
      n = n * 10 + (s[i++] - '0');
      if (n > 1000000) fail(i);
    }
    return n;
  }
};

}  // namespace

Layout::Layout(std::string_view text) : text_(text) {
  Parser p{text};
  std::vector<std::size_t> open;  // indexes of the Open items not yet closed
  if (p.peek() != '(') p.fail(p.i);
  ++p.i;
  // What came last: commas go between items, but "/" needs none around it.
  enum class Prev { Open, Comma, Entry, Slash } prev = Prev::Open;
  for (;;) {
    const char c = p.peek();
    const std::size_t col = p.i;
    if (c == ')' || c == ',') {
      if (prev == Prev::Comma || (c == ',' && prev == Prev::Open)) p.fail(col);
      ++p.i;
      prev = c == ',' ? Prev::Comma : Prev::Entry;
      if (c == ',') continue;
      if (open.empty()) break;
      const std::size_t o = open.back();
      open.pop_back();
      if (open.empty()) reversion_ = o;
      // A Close's width marks a group that holds a value item.
      int holdsValue = 0;
      for (std::size_t k = o; k < items_.size(); ++k)
        if (items_[k].op >= Item::Op::I && items_[k].op <= Item::Op::A) holdsValue = 1;
      items_.push_back({Item::Op::Close, holdsValue, static_cast<int>(o), {}});
      continue;
    }
    const int n = p.number();
    const char op = p.peek();
    const std::size_t opCol = p.i;
    if (op == '\0' || (prev == Prev::Entry && op != '/')) p.fail(col);
    ++p.i;
    prev = op == '/' ? Prev::Slash : Prev::Entry;
    if (n == 0) p.fail(col);
    const int repeat = n < 0 ? 1 : n;
    Item item{Item::Op::Blanks, 0, 0, {}};
    if (op == '(') {
      open.push_back(items_.size());
      items_.push_back({Item::Op::Open, repeat, 0, {}});
      prev = Prev::Open;
      continue;
    }
    if (op == 'X') {
      items_.push_back({Item::Op::Blanks, repeat, 0, {}});
      continue;
    }
    if (op == '\'' || op == '"') {
      if (n >= 0) p.fail(col);
      item.op = Item::Op::Text;
      for (;;) {
        if (p.i >= text.size()) p.fail(opCol);
        const char ch = text[p.i++];
        if (ch == op && (p.i == text.size() || text[p.i] != op)) break;
        if (ch == op) ++p.i;  // a doubled quote stands for one
        item.text += ch;
      }
    } else if (op == '/') {
      item.op = Item::Op::Slash;
    } else if (op == 'A') {
      item.op = Item::Op::A;
      item.w = p.number();
      if (item.w == 0) p.fail(opCol);
      if (item.w < 0) item.w = 0;
    } else if (op == 'I' || op == 'F' || op == 'E' || op == 'G') {
      item.op = op == 'I' ? Item::Op::I : op == 'F' ? Item::Op::F : op == 'E' ? Item::Op::E : Item::Op::G;
      item.w = p.number();
      if (item.w <= 0) p.fail(opCol);
      if (op != 'I') {
        if (p.peek() != '.') p.fail(opCol);
        ++p.i;
        item.d = p.number();
        if (item.d < 0) p.fail(opCol);
      }
    } else {
      p.fail(opCol);
    }
    // "3F6.1" is three F6.1 items, not a group.
    items_.insert(items_.end(), static_cast<std::size_t>(repeat), item);
  }
  if (p.peek() != '\0') p.fail(p.i);
}

void Layout::write(std::span<const FmtValue> values, std::vector<std::string>& lines) const {
  using Op = Item::Op;
  std::string cur;
  std::vector<int> left;  // repeats left for each open group, innermost last
  std::size_t vi = 0;
  bool tookValue = false;  // since the start or the last reversion
  std::size_t i = 0;
  for (;;) {
    if (i == items_.size()) {
      if (vi == values.size()) break;
      if (!tookValue)
        throw std::invalid_argument("layout " + text_ + " takes no values, " +
                                    std::to_string(values.size() - vi) + " left");
      lines.push_back(std::move(cur));
      cur.clear();
      i = reversion_;
      tookValue = false;
      continue;
    }
    const Item& it = items_[i];
    switch (it.op) {
      case Op::Blanks: cur.append(static_cast<std::size_t>(it.w), ' '); break;
      case Op::Text: cur += it.text; break;
      case Op::Slash:
        lines.push_back(std::move(cur));
        cur.clear();
        break;
      case Op::Open: left.push_back(it.w); break;
      case Op::Close:
        if (--left.back() > 0) {
          if (vi == values.size() && it.w != 0) {
            lines.push_back(std::move(cur));
            return;
          }
          i = static_cast<std::size_t>(it.d) + 1;
          continue;
        }
        left.pop_back();
        break;
      default: {
        if (vi == values.size()) {
          lines.push_back(std::move(cur));
          return;
        }
        const FmtValue& v = values[vi++];
        tookValue = true;
        // A value of the wrong kind is a coding slip, shown as asterisks.
        const FmtValue::Kind want = it.op == Op::I ? FmtValue::Kind::Int
                                    : it.op == Op::A ? FmtValue::Kind::Text
                                                     : FmtValue::Kind::Real;
        if (v.kind != want) {
          cur.append(static_cast<std::size_t>(it.w > 0 ? it.w : 1), '*');
        } else if (it.op == Op::I) {
          appendI(cur, v.i, it.w);
        } else if (it.op == Op::F) {
          appendF(cur, v.r, it.w, it.d);
        } else if (it.op == Op::E) {
          appendE(cur, v.r, it.w, it.d);
        } else if (it.op == Op::G) {
          appendG(cur, v.r, it.w, it.d);
        } else if (it.w == 0 || v.s.size() == static_cast<std::size_t>(it.w)) {
          cur += v.s;
        } else if (v.s.size() > static_cast<std::size_t>(it.w)) {
          cur += v.s.substr(0, static_cast<std::size_t>(it.w));
        } else {
          cur.append(static_cast<std::size_t>(it.w) - v.s.size(), ' ');
          cur += v.s;
        }
      }
    }
    ++i;
  }
  lines.push_back(std::move(cur));
}

std::vector<std::string> Layout::format(std::initializer_list<FmtValue> values) const {
  std::vector<std::string> lines;
  write(std::span<const FmtValue>(values.begin(), values.size()), lines);
  return lines;
}

}  // namespace ph
