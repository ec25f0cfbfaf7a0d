#include <gtest/gtest.h>

#include "app/app.h"

TEST(AppLog, KeepsAtMost400LinesDroppingTheOldest) {
  for (int i = 0; i < 401; ++i) g_app.say("line " + std::to_string(i));
  std::lock_guard<std::mutex> lk(g_app.mutex);
  ASSERT_EQ(g_app.log.size(), 400u);
  EXPECT_EQ(g_app.log.front(), "line 1");
  EXPECT_EQ(g_app.log.back(), "line 400");
}
