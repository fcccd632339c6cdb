#include <gtest/gtest.h>

#include "driver/forward.h"

namespace ph {
namespace {

TEST(Forward, QuarterHourRounding) {
  EXPECT_EQ(roundDt(1350.0f), 1800.0f);  // 1.5 + 0.51 truncates to 2
  EXPECT_EQ(roundDt(1305.0f), 900.0f);   // 1.45 + 0.51 truncates to 1
  EXPECT_EQ(roundDt(900.0f), 900.0f);
  EXPECT_EQ(roundDtmax(3600.0f), 4500.0f);  // an exact multiple still moves up
  EXPECT_EQ(roundDtmax(3601.0f), 4500.0f);
  EXPECT_EQ(roundDtmax(10.0f), 900.0f);
}

}  // namespace
}  // namespace ph
