#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "app/app.h"

namespace {
bool waitUntilIdle() {
  for (int i = 0; i < 500 && g_app.busy; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return !g_app.busy;
}
}  // namespace

TEST(AppLog, KeepsAtMost400LinesDroppingTheOldest) {
  {
    std::lock_guard<std::mutex> lk(g_app.mutex);
    g_app.log.clear();
  }
  for (int i = 0; i < 401; ++i) g_app.say("line " + std::to_string(i));
  std::lock_guard<std::mutex> lk(g_app.mutex);
  ASSERT_EQ(g_app.log.size(), 400u);
  EXPECT_EQ(g_app.log.front(), "line 1");
  EXPECT_EQ(g_app.log.back(), "line 400");
}

TEST(Jobs, OneAtATimeAndASecondRequestIsDroppedSilently) {
  ASSERT_TRUE(waitUntilIdle());
  size_t logBefore;
  {
    std::lock_guard<std::mutex> lk(g_app.mutex);
    logBefore = g_app.log.size();
  }
  std::promise<void> release;
  std::shared_future<void> gate = release.get_future().share();
  std::atomic<int> firstRuns{0}, secondRuns{0};

  run("first", [&, gate] {
    ++firstRuns;
    gate.wait();
  });
  EXPECT_TRUE(g_app.busy);
  {
    std::lock_guard<std::mutex> lk(g_app.mutex);
    EXPECT_EQ(g_app.busyLabel, "first");
  }
  run("second", [&] { ++secondRuns; });
  {
    std::lock_guard<std::mutex> lk(g_app.mutex);
    EXPECT_EQ(g_app.busyLabel, "first");
    EXPECT_EQ(g_app.log.size(), logBefore);  // nothing said about the dropped request
  }
  release.set_value();
  ASSERT_TRUE(waitUntilIdle());
  EXPECT_EQ(firstRuns, 1);
  EXPECT_EQ(secondRuns, 0);
  std::lock_guard<std::mutex> lk(g_app.mutex);
  EXPECT_EQ(g_app.busyLabel, "");
}

TEST(Jobs, AcceptsTheNextJobOnceIdle) {
  ASSERT_TRUE(waitUntilIdle());
  std::atomic<int> runs{0};
  run("one", [&] { ++runs; });
  ASSERT_TRUE(waitUntilIdle());
  run("two", [&] { ++runs; });
  ASSERT_TRUE(waitUntilIdle());
  EXPECT_EQ(runs, 2);
}

TEST(SceneryWork, ExitWaitsForWorkInProgress) {
  std::atomic<bool> done{false};
  std::promise<void> started;
  std::thread t([&] {
    SceneryWork w;
    started.set_value();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    done = true;
  });
  started.get_future().wait();
  waitForSceneryWork();
  EXPECT_TRUE(done);
  t.join();
}

TEST(Jobs, TheLocalStateIsRefreshedBeforeBusyClears) {
  ASSERT_TRUE(waitUntilIdle());
  {
    std::lock_guard<std::mutex> lk(g_app.mutex);
    g_app.root.clear();  // no X-Plane folder: the running test answers true
    g_app.pluginDir.clear();
  }
  run("refresh check", [] {
    std::lock_guard<std::mutex> lk(g_app.mutex);
    g_app.xplaneRunning = false;
  });
  ASSERT_TRUE(waitUntilIdle());
  std::lock_guard<std::mutex> lk(g_app.mutex);
  EXPECT_TRUE(g_app.xplaneRunning);
  EXPECT_FALSE(g_app.pluginInstalled);
}
