#include "output/numfmt.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ph {
namespace {

struct Case {
  char op;
  float v;
  int w, d;
  const char* want;
};

std::string edit(const Case& c) {
  std::string s;
  (c.op == 'F' ? appendF : c.op == 'E' ? appendE : appendG)(s, c.v, c.w, c.d);
  return s;
}

TEST(NumFmt, FixedRoundsTheExactValueHalfAway) {
  // 0.35f is 0.34999999..., 0.15f is 0.15000000596..., 1.005f is 1.00499999...
  const Case cases[] = {Case{'F', 0.25f, 6, 1, "   0.3"}, {'F', 2.5f, 3, 0, " 3."}, {'F', -2.5f, 4, 0, " -3."},
                        {'F', 0.35f, 6, 1, "   0.3"}, {'F', 0.15f, 6, 1, "   0.2"}, {'F', 1.005f, 6, 2, "  1.00"},
                        {'F', 48.0f, 7, 3, " 48.000"}, {'F', 1.5f, 9, 4, "   1.5000"},
                        {'F', 3.0e38f, 41, 1, "300000000549775575777803994281145270272.0"},
                        // signs, the zero before the point, overflow
                        {'F', -0.04f, 6, 1, "   0.0"}, {'F', -0.0f, 4, 1, " 0.0"}, {'F', 0.5f, 6, 1, "   0.5"},
                        {'F', 0.5f, 3, 1, "0.5"}, {'F', 0.5f, 2, 1, ".5"}, {'F', 0.5f, 1, 1, "*"},
                        {'F', -0.5f, 3, 1, "-.5"}, {'F', 0.96f, 3, 1, "1.0"}, {'F', 0.96f, 2, 1, "**"},
                        {'F', 10000.0f, 6, 1, "******"}, {'F', 9999.95f, 6, 1, "******"},
                        {'F', 9999.94f, 6, 1, "9999.9"}, {'F', -999.9f, 6, 1, "-999.9"},
                        {'F', INFINITY, 9, 1, " Infinity"}, {'F', -INFINITY, 9, 1, "-Infinity"},
                        {'F', -INFINITY, 6, 1, "******"}, {'F', NAN, 6, 1, "   NaN"}};
  for (const Case& c : cases) EXPECT_EQ(edit(c), c.want) << c.v << " F" << c.w << "." << c.d;
  std::string s;  // each edit appends
  appendI(s, 7, 2), appendI(s, -5, 3), appendI(s, 100, 2), appendI(s, -10, 2);
  EXPECT_EQ(s, " 7 -5****");
}

TEST(NumFmt, ExponentAndGeneral) {
  const Case cases[] = {Case{'E', 0.00123f, 7, 2, ".12E-02"}, {'E', 0.00123f, 9, 2, " 0.12E-02"},
                        {'E', 0.00123f, 6, 2, "******"}, {'E', -12.5f, 10, 3, "-0.125E+02"},
                        {'E', 0.0f, 9, 2, " 0.00E+00"}, {'E', 0.125f, 9, 2, " 0.13E+00"},
                        {'E', 0.995f, 9, 2, " 0.10E+01"}, {'E', 1e-40f, 11, 4, " 0.1000E-39"},
                        {'E', 3.4028235e38f, 11, 4, " 0.3403E+39"},
                        {'G', 12.5f, 11, 4, "  12.50    "}, {'G', 0.05f, 11, 4, " 0.5000E-01"},
                        {'G', 0.1f, 11, 4, " 0.1000    "}, {'G', 0.0f, 11, 4, "  0.000    "},
                        {'G', 1234.5f, 11, 4, "  1235.    "}, {'G', -0.5f, 11, 4, "-0.5000    "},
                        // the choice goes by the value itself, before rounding
                        {'G', 9999.7f, 11, 4, " 10000.    "}, {'G', 0.099996f, 11, 4, " 0.1000E+00"},
                        {'G', 0.09999f, 11, 4, " 0.9999E-01"}, {'G', 99.996f, 11, 4, " 100.00    "},
                        {'G', 12.5f, 6, 4, "******"}};
  for (const Case& c : cases) EXPECT_EQ(edit(c), c.want) << c.v << " " << c.op << c.w << "." << c.d;
}

TEST(NumFmt, FreeForm) {
  EXPECT_EQ(freeInt(40) + freeInt(-3) + freeInt(0), " 40 -3 0");
  const std::pair<float, const char*> cases[] = {
      {0.1f, "  0.100000001"}, {0.5f, "  0.5"}, {-2.5f, " -2.5"}, {2400000.0f, "  2400000."},
      {123456789.0f, "  123456792."}, {1e9f, "  1.E+09"}, {1e10f, "  1.E+10"},
      {0.05f, "  0.0500000007"}, {0.000125f, "  0.000125000006"}, {1e-4f, "  9.99999975E-05"},
      {1.5e-5f, "  1.49999996E-05"}, {-1e-30f, " -1.E-30"}, {3.4028235e38f, "  3.40282347E+38"},
      {0.0f, "  0."}, {-0.0f, "  0."}, {-INFINITY, " -Infinity"}, {NAN, "  NaN"}};
  for (const auto& [v, want] : cases) EXPECT_EQ(freeReal(v), want) << v;
}

}  // namespace
}  // namespace ph
