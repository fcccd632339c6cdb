#include "record/freeform.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/readers.h"

namespace ph {
namespace {

using Lines = std::vector<std::string>;

TEST(FreeWrite, ItemsAndLineBreaks) {
  EXPECT_EQ(formatFree({"Params=", 40, 40, 10, 0.5f}), Lines{" Params= 40 40 10  0.5"});
  EXPECT_EQ(formatFree({1.5f, "abc", -2, "x"}), Lines{"  1.5abc -2x"});
  EXPECT_EQ(formatFree({"a\nb", 3, "c\n"}), (Lines{" a", "b 3c", ""}));

  std::vector<FmtValue> ints;
  for (int i = 1; i <= 40; ++i) ints.emplace_back(i);
  EXPECT_EQ(formatFree(ints), (Lines{" 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29",
                                      " 30 31 32 33 34 35 36 37 38 39 40"}));  // " 30" would make 81 columns
  Lines reals(5, test::repeat("  1.5", 15));  // a 16th would make 80 columns
  reals.push_back(test::repeat("  1.5", 5));
  EXPECT_EQ(formatFree(std::vector<FmtValue>(80, FmtValue(1.5f))), reals);
  const std::string longText(100, 'L');
  EXPECT_EQ(formatFree({"x", longText, 1}), (Lines{" x", " " + longText, " 1"}));
}

// Reads three integers, preset to -1, from the first line on; shows them and
// the next line to read as "a,b,c@pos".
std::string read3(const Lines& lines, ReadStatus want = ReadStatus::Ok) {
  int v[3] = {-1, -1, -1};
  const ReadTarget t[] = {ReadTarget::integer(v[0]), ReadTarget::integer(v[1]), ReadTarget::integer(v[2])};
  std::size_t pos = 0;
  EXPECT_EQ(readFree(lines, pos, t).status, want) << (lines.empty() ? "" : lines[0]);
  return std::to_string(v[0]) + "," + std::to_string(v[1]) + "," + std::to_string(v[2]) + "@" + std::to_string(pos);
}

TEST(FreeRead, SeparatorsNullsAndSlash) {
  const std::pair<Lines, const char*> cases[] = {
      {{"1 2", "3 4 5"}, "1,2,3@2"}, {{"3,4", "9"}, "3,4,9@2"},
      {{"", " \t", "\t-5 ,", "", "+6\r", "7"}, "-5,6,7@6"},  // tabs and CR are blanks
      {{"1,", "2 3"}, "1,2,3@2"},                             // a line end after a comma is no null
      {{"1,,3"}, "1,-1,3@1"}, {{",2 , 3"}, "-1,2,3@1"}, {{"2* 9"}, "-1,-1,9@1"}, {{"4 2*,8"}, "4,-1,-1@1"},
      {{"1,", ",3"}, "1,-1,3@2"}, {{"7 / 8", "9"}, "7,-1,-1@1"}, {{"7", "/", "9"}, "7,-1,-1@2"}};
  for (const auto& [lines, want] : cases) EXPECT_EQ(read3(lines), want) << lines[0];
  int many[80];
  std::vector<ReadTarget> t;
  for (int& m : many) t.push_back(ReadTarget::integer(m));
  std::size_t pos = 0;
  EXPECT_EQ(readFree(Lines{"40*1 40*2"}, pos, t).status, ReadStatus::Ok);
  EXPECT_EQ(many[0] * 1000 + many[39] * 100 + many[40] * 10 + many[79], 1122);
}

TEST(FreeRead, RealsAndTexts) {
  float r[10] = {};
  std::vector<ReadTarget> t;
  for (float& x : r) t.push_back(ReadTarget::real(x));
  std::size_t pos = 0;
  ASSERT_EQ(readFree(Lines{"1.25E1 1.25e+01 12 12.5 .5 1.25d1 125-2 -inf NaN 1e39"}, pos, t).status,
            ReadStatus::Ok);
  EXPECT_EQ(std::vector<float>(r, r + 7), (std::vector<float>{12.5f, 12.5f, 12.0f, 12.5f, 0.5f, 12.5f, 1.25f}));
  EXPECT_EQ(r[7], -INFINITY);
  EXPECT_TRUE(std::isnan(r[8]));
  EXPECT_EQ(r[9], INFINITY);

  std::string a, b, c;
  const ReadTarget texts[] = {ReadTarget::text(a, 12), ReadTarget::text(b, 4), ReadTarget::text(c, 3)};
  pos = 0;
  EXPECT_EQ(readFree(Lines{"'a b, c/d' 'it''s',abcdef"}, pos, texts).status, ReadStatus::Ok);
  EXPECT_EQ(a + "|" + b + "|" + c, "a b, c/d    |it's|abc");
  pos = 0;
  EXPECT_EQ(readFree(Lines{"x/y z"}, pos, texts).status, ReadStatus::Ok);
  EXPECT_EQ(a + "|" + b, "x           |it's");
}

// A read that must fail, shown as "token expected line@pos".
std::string failed(const Lines& lines, std::span<const ReadTarget> t) {
  std::size_t pos = 0;
  const ReadResult r = readFree(lines, pos, t);
  EXPECT_EQ(r.status, ReadStatus::Bad) << lines.back();
  return r.token + " " + std::string(r.expected) + " " + std::to_string(r.line) + "@" + std::to_string(pos);
}

TEST(FreeRead, EndAndBadTokens) {
  EXPECT_EQ(read3({}, ReadStatus::End), "-1,-1,-1@0");
  EXPECT_EQ(read3({"5", "  "}, ReadStatus::End), "5,-1,-1@2");
  EXPECT_EQ(read3({"-2147483648"}, ReadStatus::End), "-2147483648,-1,-1@1");
  // A read of nothing still takes a line.
  const Lines two{"skip", "1"};
  std::size_t pos = 0;
  EXPECT_EQ(readFree(two, pos, {}).status, ReadStatus::Ok);
  EXPECT_EQ(pos, 1u);
  pos = 2;
  EXPECT_EQ(readFree(two, pos, {}).status, ReadStatus::End);

  int i = 0;
  float x = 0;
  const ReadTarget it = ReadTarget::integer(i), xt = ReadTarget::real(x), twoInts[] = {it, it};
  EXPECT_EQ(failed({"", "1 12.5 3", "4"}, twoInts), "12.5 integer 1@2");
  for (std::string bad : {"2147483648", "1-", "'7'", "+"})
    EXPECT_TRUE(failed({bad}, {&it, 1}).ends_with(" integer 0@1")) << bad;
  for (std::string bad : {"abc", ".", "1e", "1.5x", "1..2", "e5", "1e+"})
    EXPECT_EQ(failed({bad}, {&xt, 1}), bad + " real 0@1");
}

}  // namespace
}  // namespace ph
