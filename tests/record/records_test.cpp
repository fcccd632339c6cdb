// The record library against the table tests/record/cases.txt, a call a row:
//   F6.1 0.25 |   0.3|             a number edit (I, F, E, G) of one value
//   free 'Params=' 40 0.5 |...|    free-form items: the lines of one record
//   (a10,a20) 'Infile=' 'x' |...|  a layout and its values: the lines it writes
//   read iirt4 1 2\n3.5 abc |...|  a free-form read into integers (i), reals (r)
//                                  and texts (tN) from lines: "values,@next line"
// Values: 'text' (escapes of unescape()), a real (holds one of . e n i), an
// integer; N*v is N copies. The lines of a result are joined by \n.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "record/freeform.h"
#include "record/layout.h"
#include "record/numfmt.h"
#include "support/readers.h"

namespace ph {
namespace {

std::vector<std::string> texts(256);  // the text values, alive while they are written

std::vector<FmtValue> values(std::istream& in) {
  std::vector<FmtValue> v;
  std::size_t nt = 0;
  for (std::string t; in >> t;) {
    int n = 1;
    if (const auto star = t.find('*'); star != std::string::npos && t[0] != '\'') n = std::stoi(t), t.erase(0, star + 1);
    if (t[0] == '\'') {
      while (t.size() < 2 || t.back() != '\'') t += char(in.get());
      texts[nt++] = test::unescape(t.substr(1, t.size() - 2));
    }
    for (int k = 0; k < n; ++k)
      if (t[0] == '\'') v.emplace_back(texts[nt - 1]);
      else if (t.find_first_of(".eEnNiI") != std::string::npos) v.emplace_back(std::strtof(t.c_str(), nullptr));
      else v.emplace_back(std::stoi(t));
  }
  return v;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string s;
  for (std::size_t l = 0; l < lines.size(); ++l) s += (l ? "\n" : "") + lines[l];
  return s;
}

std::string read(const std::string& kinds, const std::string& input) {
  const std::vector<std::string> lines = test::splitLines(input);
  std::vector<int> ints(kinds.size(), -1);
  std::vector<float> reals(kinds.size(), -1);
  std::vector<std::string> strs(kinds.size());
  std::vector<ReadTarget> targets;
  for (std::size_t k = 0; k < kinds.size(); ++k)
    if (kinds[k] == 'i') targets.push_back(ReadTarget::integer(ints[k]));
    else if (kinds[k] == 'r') targets.push_back(ReadTarget::real(reals[k]));
    else if (kinds[k] == 't') targets.push_back(ReadTarget::text(strs[k], std::size_t(kinds[k + 1] - '0')));
  std::size_t pos = 0;
  const ReadResult r = readFree(lines, pos, targets);
  std::string s = r.status == ReadStatus::End ? "end " : "";
  if (r.status == ReadStatus::Bad) s = "bad " + r.token + " " + std::string(r.expected) + " " + std::to_string(r.line) + " ";
  for (std::size_t k = 0; k < kinds.size(); ++k) {
    char real[32];
    std::snprintf(real, sizeof real, "%.9g", double(reals[k]));
    if (kinds[k] == 'i' || kinds[k] == 'r' || kinds[k] == 't')
      s += (kinds[k] == 'i' ? std::to_string(ints[k]) : kinds[k] == 'r' ? real : strs[k]) + ",";
  }
  return s + "@" + std::to_string(pos);
}

std::string call(const std::string& op, std::istream& in) {
  if (op == "free") return joined(formatFree(values(in)));
  if (op == "read") {
    std::string kinds, input;
    std::getline(in >> kinds >> std::ws, input);
    return read(kinds, test::unescape(input));
  }
  if (op[0] == '(') try {
      std::vector<std::string> lines;
      Layout(op).write(values(in), lines);
      return joined(lines);
    } catch (const std::invalid_argument& e) {
      return std::string("throws: ") + e.what();
    }
  std::string v, out;
  in >> v;
  const int w = std::stoi(op.substr(1)), d = op.find('.') == std::string::npos ? 0 : std::stoi(op.substr(op.find('.') + 1));
  if (op[0] == 'I') appendI(out, std::stoll(v), w);
  else (op[0] == 'F' ? appendF : op[0] == 'E' ? appendE : appendG)(out, std::strtof(v.c_str(), nullptr), w, d);
  return out;
}

TEST(Records, EveryRowOfTheTable) {
  std::ifstream table(POURHEAT_SOURCE_DIR "/tests/record/cases.txt");
  int rows = 0;
  for (std::string line; std::getline(table, line);) {
    if (line.empty() || line[0] == '#') continue;
    // A layout, which may hold blanks, ends at its first ") ".
    const std::size_t bar = line.find(" |"), split = line[0] == '(' ? std::min(line.find(") "), bar - 1) + 1 : line.find(' ');
    std::istringstream in(line.substr(split, bar - split));
    EXPECT_EQ(call(line.substr(0, split), in), test::unescape(line.substr(bar + 2, line.rfind('|') - bar - 2))) << line;
    ++rows;
  }
  EXPECT_GE(rows, 100);
}

}  // namespace
}  // namespace ph
