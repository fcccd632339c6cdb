#include "record/numfmt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace ph {
namespace {

// A value, an edit descriptor such as "F6.1", "E9.2" or "G11.4", and the field.
struct Case {
  float v;
  const char* edit;
  const char* want;
};

std::string edit(const Case& c) {
  std::string s;
  const int w = std::atoi(c.edit + 1), d = std::atoi(std::strchr(c.edit, '.') + 1);
  (c.edit[0] == 'F' ? appendF : c.edit[0] == 'E' ? appendE : appendG)(s, c.v, w, d);
  return s;
}

TEST(NumFmt, FixedRoundsTheExactValueTiesToEven) {
  // 0.35f is 0.34999999..., 0.15f is 0.15000000596..., 1.005f is 1.00499999...
  const Case cases[] = {
      {0.25f, "F6.1", "   0.2"}, {2.5f, "F3.0", " 2."}, {-2.5f, "F4.0", " -2."}, {0.35f, "F6.1", "   0.3"},
      {0.15f, "F6.1", "   0.2"}, {1.005f, "F6.2", "  1.00"}, {48.0f, "F7.3", " 48.000"}, {1.5f, "F9.4", "   1.5000"},
      {3.0e38f, "F41.1", "300000000549775575777803994281145270272.0"},
      // signs, the zero before the point, overflow
      {-0.04f, "F6.1", "   0.0"}, {-0.0f, "F4.1", " 0.0"}, {0.5f, "F6.1", "   0.5"}, {0.5f, "F3.1", "0.5"},
      {0.5f, "F2.1", ".5"}, {0.5f, "F1.1", "*"}, {-0.5f, "F3.1", "-.5"}, {0.96f, "F3.1", "1.0"}, {0.96f, "F2.1", "**"},
      {10000.0f, "F6.1", "******"}, {9999.95f, "F6.1", "******"}, {9999.94f, "F6.1", "9999.9"},
      {-999.9f, "F6.1", "-999.9"}, {INFINITY, "F9.1", " Infinity"}, {-INFINITY, "F9.1", "-Infinity"},
      {-INFINITY, "F6.1", "******"}, {NAN, "F6.1", "   NaN"}};
  for (const Case& c : cases) EXPECT_EQ(edit(c), c.want) << c.v << " " << c.edit;
  std::string s;  // each edit appends
  appendI(s, 7, 2), appendI(s, -5, 3), appendI(s, 100, 2), appendI(s, -10, 2);
  EXPECT_EQ(s, " 7 -5****");
}

TEST(NumFmt, ExponentAndGeneral) {
  const Case cases[] = {
      {0.00123f, "E7.2", ".12E-02"}, {0.00123f, "E9.2", " 0.12E-02"}, {0.00123f, "E6.2", "******"},
      {-12.5f, "E10.3", "-0.125E+02"}, {0.0f, "E9.2", " 0.00E+00"}, {0.125f, "E9.2", " 0.12E+00"},
      {0.995f, "E9.2", " 0.10E+01"}, {1e-40f, "E11.4", " 0.1000E-39"}, {3.4028235e38f, "E11.4", " 0.3403E+39"},
      {12.5f, "G11.4", "  12.50    "}, {0.05f, "G11.4", " 0.5000E-01"}, {0.1f, "G11.4", " 0.1000    "},
      {0.0f, "G11.4", "  0.000    "}, {1234.5f, "G11.4", "  1234.    "}, {-0.5f, "G11.4", "-0.5000    "},
      // the choice goes by the value itself, before rounding
      {9999.7f, "G11.4", " 10000.    "}, {0.099996f, "G11.4", " 0.1000E+00"}, {0.09999f, "G11.4", " 0.9999E-01"},
      {99.996f, "G11.4", " 100.00    "}, {12.5f, "G6.4", "******"}};
  for (const Case& c : cases) EXPECT_EQ(edit(c), c.want) << c.v << " " << c.edit;
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
