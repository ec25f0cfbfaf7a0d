#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "host/paths.h"
#include "support/env.h"
#include "support/tmpdir.h"

using testutil::readFile;
using testutil::TempDir;
using testutil::writeFile;

using testutil::EnvVar;

TEST(Paths, HomeAndTempFolders) {
  TempDir home;
  {
    EnvVar h("HOME", home.path().c_str());
    EXPECT_EQ(orvl::homeDir(), home.path());
    EXPECT_EQ(orvl::configDir(), home.path() + "/Library/Application Support/Orvane");
    EXPECT_EQ(orvl::savedRootPath(), orvl::configDir() + "/xproot.txt");
    EXPECT_EQ(orvl::savedQuitRestorePath(), orvl::configDir() + "/restore-on-quit.txt");
  }
  {
    EnvVar h("HOME", "");  // empty HOME falls back to the password database
    EXPECT_FALSE(orvl::homeDir().empty());
    EXPECT_NE(orvl::homeDir().back(), '/');
  }
  {
    EnvVar t("TMPDIR", "/var/tmp");
    EXPECT_EQ(orvl::tempDir(), "/var/tmp/");
  }
  {
    EnvVar t("TMPDIR", nullptr);
    EXPECT_EQ(orvl::tempDir(), "/tmp/");
  }
  EXPECT_EQ(orvl::folderForm("C:\\X-Plane 12"), "C:/X-Plane 12/");
  EXPECT_EQ(orvl::folderForm(""), "");
}

TEST(Paths, OwnExecutable) {
  std::string self = orvl::selfPath();
  ASSERT_FALSE(self.empty());
  EXPECT_NE(self.find("test_paths"), std::string::npos);
  EXPECT_EQ(orvl::exeDir(), self.substr(0, self.rfind('/')));
}

TEST(Settings, RestoreOnQuitReadings) {
  TempDir home;
  EnvVar h("HOME", home.path().c_str());
  EXPECT_TRUE(orvl::loadQuitRestore());  // no file
  struct {
    const char* content;
    bool on;
  } cases[] = {{"false", false}, {"0", false}, {"0\nx", false}, {"no", true},
               {"", true},       {"00", true}, {"1", true}};
  for (auto& c : cases) {
    writeFile(orvl::savedQuitRestorePath(), c.content);
    EXPECT_EQ(orvl::loadQuitRestore(), c.on) << '"' << c.content << '"';
  }
  orvl::rememberQuitRestore(false);
  EXPECT_EQ(readFile(orvl::savedQuitRestorePath()), "0");
  EXPECT_FALSE(orvl::loadQuitRestore());
  orvl::rememberQuitRestore(true);
  EXPECT_EQ(readFile(orvl::savedQuitRestorePath()), "1");
}

TEST(Settings, RememberRootReplacesAndCreatesTheFolder) {
  TempDir home;
  EnvVar h("HOME", home.path().c_str());
  orvl::rememberRoot("/first/X-Plane 12/");
  orvl::rememberRoot("/second/");
  EXPECT_EQ(readFile(orvl::savedRootPath()), "/second/");
}

TEST(SingleInstance, SecondHolderIsRefusedUntilTheFirstEnds) {
  TempDir tmp;
  EnvVar t("TMPDIR", tmp.path().c_str());
  ASSERT_TRUE(orvl::acquireSingleLock());
  EXPECT_TRUE(testutil::exists(tmp / "orvane-launcher.lock"));
  // A second process tries as a second launcher would; it must give up.
  pid_t pid = fork();
  if (pid == 0) _exit(orvl::acquireSingleLock() ? 0 : 3);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);
}

TEST(SweepOldSelf, RemovesTheUnbrokenChainOnly) {
  std::string self = orvl::selfPath();
  writeFile(self + ".old", "a");
  writeFile(self + ".old.old", "b");
  orvl::sweepOldSelf();
  EXPECT_FALSE(testutil::exists(self + ".old"));
  EXPECT_FALSE(testutil::exists(self + ".old.old"));

  writeFile(self + ".old.old", "only the second");
  orvl::sweepOldSelf();
  EXPECT_TRUE(testutil::exists(self + ".old.old"));
  std::remove((self + ".old.old").c_str());
}
