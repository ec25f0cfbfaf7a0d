// The suppress, restore and launch actions as the window runs them, on a real
// temporary X-Plane folder with stand-in simulators.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "app/actions.h"
#include "app/app.h"
#include "tests/support/devserver.h"
#include "tests/support/tmpdir.h"

using testutil::exists;
using testutil::writeFile;

namespace {

struct ActionBed : ::testing::Test {
  testutil::TempDir dir;
  std::string root = dir / "X-Plane 12/";

  void SetUp() override {
    writeFile(root + "Resources/version.txt", "12.1.0\n");
    writeFile(root + "Custom Scenery/scenery_packs.ini", "SCENERY_PACK *GLOBAL_AIRPORTS*\n");
    writeFile(root + "Global Scenery/Global Airports/Earth nav data/apt.dat", "I\n1200 x\n\n1 0 0 0 KAAA A\n99\n");
    std::lock_guard<std::mutex> lk(g_app.mutex);
    g_app.root = root;
    g_app.pluginDir = root + "Resources/plugins/Orvane";
    g_app.host = "127.0.0.1";
    g_app.port = 9;  // discard: nothing listens, so every request fails
    g_app.log.clear();
    g_app.suppressEnabled = false;
    g_app.quitRequested = false;
    g_checkSelfUpdate = false;
    g_launchPollMs = 5;
  }

  std::vector<std::string> log() {
    std::lock_guard<std::mutex> lk(g_app.mutex);
    return g_app.log;
  }
  bool said(const std::string& line) {
    auto l = log();
    return std::find(l.begin(), l.end(), line) != l.end();
  }
  void simulator(const std::string& script) {
    const std::string exe = root + "X-Plane-x86_64";
    writeFile(exe, "#!/bin/sh\n" + script);
    chmod(exe.c_str(), 0755);
  }
};

}  // namespace

TEST_F(ActionBed, LaunchWithTheBoxOffRestoresThenSeesXPlaneThroughItsLog) {
  // A simulator whose executable lies outside the folder (the shell runs the
  // script), so only its fresh Log.txt tells that it came up.
  simulator("echo up > Log.txt\nsleep 3\n");
  doLaunch();
  const auto l = log();
  ASSERT_GE(l.size(), 4u);
  EXPECT_EQ(l[0], "Restoring the original scenery...");
  EXPECT_EQ(l[1], "   (nothing was suppressed)");
  EXPECT_EQ(l[2], "X-Plane is starting - waiting for it to come up...");
  EXPECT_EQ(l.back(), "X-Plane is running. Closing the launcher.");
  EXPECT_TRUE(g_app.quitRequested);
  EXPECT_TRUE(exists(root + "Log.txt"));
}

TEST_F(ActionBed, LaunchGivesUpAfterNinetyChecksAndAnOldLogDoesNotCount) {
  writeFile(root + "Log.txt", "from an earlier session\n");
  struct timespec old[2] = {{1600000000, 0}, {1600000000, 0}};
  utimensat(AT_FDCWD, (root + "Log.txt").c_str(), old, 0);
  simulator("exit 0\n");  // never comes up, never writes its log
  doLaunch();
  EXPECT_EQ(log().back(), "!! X-Plane did not come up within three minutes. Press Restore originals if you are done.");
  EXPECT_FALSE(g_app.quitRequested);
}

TEST_F(ActionBed, LaunchWithoutTheSimulatorSaysWhereItLooked) {
  doLaunch();
  const std::string exe = root + "X-Plane-x86_64";
  EXPECT_EQ(log().back(), "!! X-Plane is not in " + root + " (" + exe + ")");
  EXPECT_FALSE(g_app.quitRequested);
}

TEST_F(ActionBed, SuppressWithTheServerUnreachableTouchesNothing) {
  EXPECT_FALSE(doSuppress());
  const auto l = log();
  ASSERT_EQ(l.size(), 3u);
  EXPECT_EQ(l[0], "Fetching the published maps from 127.0.0.1...");
  EXPECT_EQ(l[1].rfind("!! ", 0), 0u) << l[1];
  EXPECT_EQ(l[2], "Nothing was changed - start X-Plane normally.");
  for (const auto& e : std::filesystem::recursive_directory_iterator(root))
    EXPECT_EQ(e.path().string().find(".orvane-"), std::string::npos) << e.path();
}

TEST_F(ActionBed, SuppressAndRestoreRefuseWhileXPlaneRunsFromTheFolder) {
  const std::string sim = root + "X-Plane-x86_64";
  std::filesystem::copy_file("/bin/sleep", sim);
  pid_t pid = fork();
  if (pid == 0) {
    execl(sim.c_str(), sim.c_str(), "30", static_cast<char*>(nullptr));
    _exit(127);
  }
  // Wait until the process table shows it running from the folder.
  for (int i = 0; i < 200; ++i) {
    char buf[4096];
    ssize_t n = readlink(("/proc/" + std::to_string(pid) + "/exe").c_str(), buf, sizeof buf);
    if (n > 0 && std::string(buf, n) == sim) break;
    usleep(10000);
  }
  EXPECT_FALSE(doSuppress());
  EXPECT_FALSE(doRestore());
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  EXPECT_EQ(log(), (std::vector<std::string>{"!! X-Plane is running. Close it first.",
                                             "!! X-Plane is running. Close it first."}));
}

TEST_F(ActionBed, APassWithoutAddOnPacksOrLightRunsEndsWithTheSummaryAndTheVerifiedLine) {
  // KAAA's only feature under its stop bar is unlit: the block is rewritten
  // (normalised) but no light run is taken; no pack has a publisher.
  writeFile(root + "Global Scenery/Global Airports/Earth nav data/apt.dat",
            "I\n1200 x\n\n1 0 0 0 KAAA A\n120 painted line\n111  47.00000 8.00000  51\n"
            "115 47.00000 8.00040 51\n99\n");
  const std::string fixtures = dir / "server";
  writeFile(fixtures + "/geometry.json",
            R"({"rev": "r1", "airports": {"KAAA": {"bars": [[[47.0, 8.0001], [47.0, 8.0003]]]}}})");
  writeFile(fixtures + "/ftg/airports.json", R"({"airports": []})");
  testutil::DevServer srv(fixtures);
  ASSERT_TRUE(srv.ok());
  g_app.port = srv.port();

  const bool applied = doSuppress();
  const auto l = log();
  std::string all;
  for (const std::string& line : l) all += "\n  " + line;
  ASSERT_TRUE(applied) << all;
  ASSERT_GE(l.size(), 3u);
  EXPECT_EQ(l[0], "Fetching the published maps from 127.0.0.1...");
  EXPECT_EQ(l[1], "Database: 1 airport(s), 1 bar(s), 0 add-on map(s)  [rev r1]");
  EXPECT_EQ(l[l.size() - 2], "Suppressed 1 airport(s) across 1 file(s), 0 cut(s).");
  EXPECT_EQ(l.back(), "Verified: Orvane scenery files have been imported.");
  for (const std::string& line : l) {
    EXPECT_EQ(line.find("add-on pack(s)"), std::string::npos) << line;
    EXPECT_EQ(line.find("light run(s)"), std::string::npos) << line;
  }
  EXPECT_TRUE(doRestore());
}
