#include <gtest/gtest.h>

#include "backup/ui/duration_text.h"

namespace {

using kavrel::FormatDuration;

TEST(FormatDuration, BuildsTheTextFromTheNonZeroParts) {
  EXPECT_EQ(FormatDuration(0), "0秒");
  EXPECT_EQ(FormatDuration(59), "59秒");
  EXPECT_EQ(FormatDuration(60), "1分");
  EXPECT_EQ(FormatDuration(64), "1分4秒");
  EXPECT_EQ(FormatDuration(3725), "1时2分5秒");
  EXPECT_EQ(FormatDuration(3605), "1时0分5秒");
  EXPECT_EQ(FormatDuration(3660), "1时1分");
  EXPECT_EQ(FormatDuration(7200), "2时");
  EXPECT_EQ(FormatDuration(86400 + 3600), "1天1时0分0秒");
  EXPECT_EQ(FormatDuration(86400), "1天0时0分0秒");
}

}  // namespace
