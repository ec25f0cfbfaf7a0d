// Real failures under the safe copy and the restore: a full disk, a read-only
// folder, and copies killed with SIGKILL at many moments.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include "scenery/restore.h"
#include "tests/support/scenery_cut.h"
#include "tests/support/tmpdir.h"
#include "tests/support/tmpfs.h"

using namespace testutil;

namespace {

std::string pattern(size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 2654435761u + seed) >> 13);
  return s;
}

}  // namespace

TEST(SceneryFaults, FullDiskLeavesTargetUnchangedAndNoPartFile) {
  TempDir d;
  Tmpfs fs(d / "small", "size=64k");
  if (!fs.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here: " << fs.why();
  const std::string target = d / "small/apt.dat";
  const std::string old = pattern(8 * 1024, 1);
  writeFile(target, old);
  writeFile(d / "big", pattern(256 * 1024, 2));

  EXPECT_FALSE(ftg::copyFile(d / "big", target));
  EXPECT_EQ(readFile(target), old);
  EXPECT_FALSE(exists(target + ".orvane-part"));
  EXPECT_FALSE(ftg::copyFile(d / "big", d / "small/new.dat"));
  EXPECT_FALSE(exists(d / "small/new.dat"));
  EXPECT_FALSE(exists(d / "small/new.dat.orvane-part"));

  // A restore needs no room on a full disk: the backup is moved into place.
  const std::string plugin = d / "plugin";
  const std::string original = pattern(40 * 1024, 3);
  cutByHand(target, original, old, plugin, {"AAAA"});
  writeFile(d / "filler", pattern(64 * 1024, 4));  // fills what is left
  ftg::OpResult r = ftg::restoreFile(target, plugin);
  EXPECT_TRUE(r.ok) << r.message;
  EXPECT_EQ(readFile(target), original);
  EXPECT_FALSE(exists(target + ".orvane-orig"));
  EXPECT_FALSE(exists(target + ".orvane-cut"));
  EXPECT_FALSE(exists(target + ".orvane-part"));
}

TEST(SceneryFaults, ReadOnlyFolderFailsCopyAndRestoreCleanly) {
  TempDir d;
  Tmpfs fs(d / "ro", "size=1m");
  if (!fs.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here: " << fs.why();
  const std::string plugin = d / "plugin";
  const std::string root = d / "ro/";
  const std::string p = root + "Custom Scenery/A/Earth nav data/apt.dat";
  writeFile(root + "Custom Scenery/scenery_packs.ini", "SCENERY_PACK Custom Scenery/A/\n");
  cutByHand(p, "original bytes", "cut bytes", plugin, {"AAAA"});
  writeFile(d / "src", "new bytes");
  writeFile(plugin + "/orv_taken.json", "{}");
  if (!fs.makeReadOnly()) GTEST_SKIP() << "cannot remount the tmpfs read-only: " << fs.why();

  EXPECT_FALSE(ftg::copyFile(d / "src", p));
  EXPECT_EQ(readFile(p), "cut bytes");
  EXPECT_FALSE(exists(p + ".orvane-part"));

  const std::vector<std::string> files = {p, p + ".orvane-orig", p + ".orvane-cut", manifestPath(plugin)};
  const auto before = snapshot(files);
  ftg::OpResult r = ftg::restoreFile(p, plugin);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message, "restore copy failed");
  EXPECT_EQ(snapshot(files), before);

  std::vector<std::string> lines;
  int32_t failures = 0;
  EXPECT_EQ(orvl::restoreAll(plugin, [&](const std::string& l) { lines.push_back(l); }, root, &failures), 1);
  EXPECT_EQ(failures, 1);
  EXPECT_EQ(lines, std::vector<std::string>{"   FAILED    " + p + "  - restore copy failed"});
  EXPECT_EQ(snapshot(files), before);
  EXPECT_TRUE(exists(plugin + "/orv_taken.json"));  // the file is still cut
}

TEST(SceneryFaults, CopyKilledAtAnyMomentNeverLeavesAPartialTarget) {
  TempDir d;
  const std::string src = d / "src", target = d / "apt.dat";
  const std::string fresh = pattern(6 * 1024 * 1024, 4), old = pattern(1024 * 1024 + 3, 5);
  writeFile(src, fresh);

  // How long one copy takes here, to spread the kills over it.
  writeFile(target, old);
  auto t0 = std::chrono::steady_clock::now();
  ASSERT_TRUE(ftg::copyFile(src, target));
  const long copyUs = static_cast<long>(
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0).count());

  const int kRounds = 40;
  int keptOld = 0, gotNew = 0, partLeft = 0;
  for (int i = 0; i < kRounds; ++i) {
    writeFile(target, old);
    std::remove((target + ".orvane-part").c_str());
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(ftg::copyFile(src, target) ? 0 : 1);
    usleep(static_cast<useconds_t>(3 * copyUs * i / kRounds));  // from at once to three copies long
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    const std::string now = readFile(target);
    ASSERT_TRUE(now == old || now == fresh) << "round " << i << ": target of " << now.size() << " bytes";
    (now == old ? keptOld : gotNew)++;
    if (exists(target + ".orvane-part")) ++partLeft;
  }
  std::printf("copy of %zu bytes takes %ld us; %d kills: %d left the old target, %d the new one, %d left a part file\n",
              fresh.size(), copyUs, kRounds, keptOld, gotNew, partLeft);
  // A part file left by a killed copy does not disturb the next one.
  writeFile(target, old);
  ASSERT_TRUE(ftg::copyFile(src, target));
  EXPECT_EQ(readFile(target), fresh);
  EXPECT_FALSE(exists(target + ".orvane-part"));
}
