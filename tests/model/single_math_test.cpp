// Float functions evaluated in double and rounded once give the correctly
// rounded result; the C library's float versions miss these by an ulp.
#include "model/single_math.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ph {
namespace {

TEST(SingleMath, CorrectlyRounded) {
  // exp(-2.47858310) = 0.0838619656831..., below the midpoint
  // 0.0838619656861 of its two floats 0.0838619620 and 0.0838619694.
  EXPECT_EQ(single::exp(-0x1.3d4236p+1f), 0.0838619620f);
  // log10(0x1.0c6f84p-20) = -6 + log10(1.000000566) = -6 + 2.4576e-7, above
  // half the float spacing there (2^-22 = 2.384e-7): the float after -6.
  EXPECT_EQ(single::log10(0x1.0c6f84p-20f), std::nextafter(-6.0f, 0.0f));
  // cos(0x1.1e377ap-11) = 1 - x^2/2 + ... = 0.99999985098838739, below the
  // midpoint 0.99999985098838806 of 1 - 3 x 2^-24 and 1 - 2 x 2^-24.
  EXPECT_EQ(single::cos(0x1.1e377ap-11f), 1.0f - 3.0f * 0x1p-24f);
}

}  // namespace
}  // namespace ph
