// The launcher's self-update against the development server, acting on a copy
// of a small program in a temporary folder (and, once, on a copy of this test
// program run as a child process through the public entry).
#include <gtest/gtest.h>

#include <errno.h>

#include <nlohmann/json.hpp>

#include "host/paths.h"
#include "host/platform.h"
#include "update/self_swap.h"
#include "update/self_update.h"
#include "tests/support/plugin_bed.h"

namespace {

using testutil::PluginBed;
using testutil::readFile;
namespace fs = std::filesystem;

const std::string kHost = "127.0.0.1";
const std::string kWord = orvl::platform::launcherProductWord();
const std::string kBuild = "/files/" + kWord + "-1.2.0";

// /bin/true with noise after it (the loader ignores what follows the image):
// an executable of this system, `n` bytes long.
std::string newBuild(size_t n = 150000) {
  std::string b = readFile("/bin/true");
  if (b.size() < n) b += testutil::noise(n - b.size());
  return b;
}

struct UpdateBed : PluginBed {
  std::string own;
  std::string oldBuild = readFile("/bin/false");
  UpdateBed() {
    own = base / "app/orvane-launcher";
    fs::create_directories(base / "app");
    resetOwn();
  }
  void resetOwn() {
    std::error_code ec;
    fs::remove_all(own, ec);
    fs::remove_all(own + ".new", ec);
    fs::remove_all(own + ".old", ec);
    fs::copy_file("/bin/false", own);
  }
  void publishVersion(const std::string& version, const std::string& url) {
    testutil::writeFile(fixtures + "/version/" + kWord + ".json",
                        nlohmann::json{{"version", version}, {"url", url}}.dump());
  }
};

struct Outcome {
  bool ok = false;
  bool updated = true;  // must be cleared by every call
  std::string err;
  std::vector<std::string> log;
  long long lastProgress = -1;
};

Outcome update(UpdateBed& bed, const std::string& own) {
  Outcome r;
  r.ok = orvl::selfUpdateAt(
      own, kHost, bed.port(), [&r](const std::string& l) { r.log.push_back(l); }, r.updated, r.err,
      [&r](long long a, long long) { r.lastProgress = a; });
  return r;
}

// Compares a file with expected bytes without printing binary content.
testing::AssertionResult holds(const std::string& path, const std::string& expected) {
  const std::string got = readFile(path);
  if (got == expected) return testing::AssertionSuccess();
  return testing::AssertionFailure() << path << " holds " << got.size() << " bytes, not the expected "
                                     << expected.size();
}

int exitCodeOf(const std::string& exe) {
  int code = -1;
  return orvl::runQuiet({exe}, code) ? code : -1;
}

TEST(SelfUpdate, NewerReleaseIsDownloadedCheckedAndSwappedIn) {
  UpdateBed bed;
  ASSERT_TRUE(bed.server->ok());
  const std::string build = newBuild();
  bed.publishFile(kWord + "-1.2.0", build);
  bed.publishVersion("1.2.0", std::string("https://") + orvl::kDefaultHost + kBuild + "?arch=x64");
  testutil::writeFile(bed.own + ".old", "left by an earlier update");
  ASSERT_EQ(exitCodeOf(bed.own), 1);  // the old build is /bin/false

  Outcome r = update(bed, bed.own);
  ASSERT_TRUE(r.ok) << r.err;
  EXPECT_TRUE(r.updated);
  EXPECT_EQ(r.log, (std::vector<std::string>{"Launcher 1.2.0 is out - updating...",
                                             "Launcher updated to 1.2.0 - restart it to pick it up."}));
  EXPECT_EQ(nlohmann::json::parse(bed.server->last())["target"], kBuild + "?arch=x64");
  EXPECT_EQ(r.lastProgress, static_cast<long long>(build.size()));
  EXPECT_TRUE(holds(bed.own, build));
  EXPECT_EQ(exitCodeOf(bed.own), 0);  // the new build runs from the own path
  EXPECT_TRUE(holds(bed.own + ".old", bed.oldBuild));
  EXPECT_FALSE(testutil::exists(bed.own + ".new"));
}

TEST(SelfUpdate, NoNewerReleaseDownloadsNothing) {
  UpdateBed bed;
  ASSERT_TRUE(bed.server->ok());
  bed.publishFile(kWord + "-1.2.0", newBuild());
  testutil::writeFile(bed.own + ".old", "left by an earlier update");
  for (const char* version : {"1.0.0", "0.9.12", "1.0", "1.0.0.9", "1.0.0-rc3"}) {
    SCOPED_TRACE(version);
    ASSERT_TRUE(bed.server->reset());
    bed.publishVersion(version, kBuild);
    Outcome r = update(bed, bed.own);
    EXPECT_TRUE(r.ok) << r.err;
    EXPECT_FALSE(r.updated);
    EXPECT_TRUE(r.log.empty());
    EXPECT_EQ(bed.server->count(kBuild), 0);
    EXPECT_TRUE(holds(bed.own, bed.oldBuild));
    EXPECT_TRUE(holds(bed.own + ".old", "left by an earlier update"));  // nothing touched
    EXPECT_FALSE(testutil::exists(bed.own + ".new"));
  }
}

TEST(SelfUpdate, RefusedReleasesAndDownloadsLeaveTheLauncherAsItWas) {
  UpdateBed bed;
  ASSERT_TRUE(bed.server->ok());
  const std::string wrongHead = "MZ\x90" + newBuild().substr(3);
  const std::string macho = "\xCF\xFA\xED\xFE" + newBuild().substr(4);
  const std::string notLauncher = "the launcher download failed or was not a launcher";
  const std::string notProgram = "that download was not a program for this system";
  struct Case {
    std::string name;
    std::string url;     // "-" publishes no version at all
    std::string served;  // served at kBuild; empty: nothing served
    std::string err;     // empty: the update goes through
    bool downloaded;     // the stale ".old" is removed before the download
  } cases[] = {
      {"no version", "-", "", "no answer from 127.0.0.1", false},
      {"no url", "", "", "the published launcher has no download", false},
      {"other host", "https://cdn.example.com" + kBuild, newBuild(),
       std::string("the published launcher is not on ") + orvl::kDefaultHost, false},
      {"other build", "/files/xplane-launcher-mac-1.2.0", newBuild(),
       "the server answered with /files/xplane-launcher-mac-1.2.0, which is not a " + kWord +
           " build - skipping the launcher update",
       false},
      {"not served", kBuild, "", notLauncher, true},
      {"99999 bytes", kBuild, newBuild(99999), notLauncher, true},
      {"wrong first bytes", kBuild, wrongHead, notProgram, true},
      {"another system's program", kBuild, macho, notProgram, true},
      {"100000 bytes", kBuild, newBuild(100000), "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    bed.resetOwn();
    testutil::writeFile(bed.own + ".old", "left by an earlier update");
    std::error_code ec;
    fs::remove(bed.fixtures + "/version/" + kWord + ".json", ec);
    if (c.url != "-") bed.publishVersion("1.2.0", c.url);
    fs::remove(bed.fixtures + "/files" + kBuild.substr(6), ec);
    if (!c.served.empty()) bed.publishFile(kBuild.substr(7), c.served);
    ASSERT_TRUE(bed.server->reset());

    Outcome r = update(bed, bed.own);
    EXPECT_FALSE(testutil::exists(bed.own + ".new"));
    EXPECT_EQ(bed.server->count(kBuild), c.downloaded ? 1 : 0);
    if (c.err.empty()) {
      EXPECT_TRUE(r.ok) << r.err;
      EXPECT_TRUE(r.updated);
      EXPECT_TRUE(holds(bed.own, c.served));
      EXPECT_TRUE(holds(bed.own + ".old", bed.oldBuild));
      continue;
    }
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.updated);
    EXPECT_EQ(r.err, c.err);
    EXPECT_TRUE(holds(bed.own, bed.oldBuild));
    EXPECT_EQ(testutil::exists(bed.own + ".old"), !c.downloaded);
  }
}

TEST(SelfUpdate, ReplaceSelfWritesTheBytesAndSwapsThemIn) {
  UpdateBed bed;
  testutil::writeFile(bed.own + ".old", "left by an earlier update");
  const std::string build = newBuild();
  std::string err;
  ASSERT_TRUE(orvl::replaceSelfAt(bed.own, build, err)) << err;
  EXPECT_TRUE(holds(bed.own, build));
  EXPECT_EQ(exitCodeOf(bed.own), 0);
  EXPECT_TRUE(holds(bed.own + ".old", bed.oldBuild));
  EXPECT_FALSE(testutil::exists(bed.own + ".new"));
}

TEST(SelfUpdate, UnknownOwnPathIsRefused) {
  UpdateBed bed;
  ASSERT_TRUE(bed.server->ok());
  bed.publishFile(kBuild.substr(7), newBuild());
  bed.publishVersion("1.2.0", kBuild);
  Outcome r = update(bed, "");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.err, "could not find my own path");
  EXPECT_EQ(bed.server->count(kBuild), 0);
  std::string err;
  EXPECT_FALSE(orvl::replaceSelfAt("", newBuild(), err));
  EXPECT_EQ(err, "could not find my own path");
}

TEST(SelfUpdate, FolderThatCannotBeWritten) {
  UpdateBed bed;
  ASSERT_TRUE(bed.server->ok());
  bed.publishFile(kBuild.substr(7), newBuild());
  bed.publishVersion("1.2.0", kBuild);
  Outcome r;
  std::string err;
  bool replaced = true;
  {
    testutil::ReadOnlyFolder ro(bed.base / "app");
    if (!ro.ok()) GTEST_SKIP() << "a read-only bind mount was refused here";
    r = update(bed, bed.own);
    replaced = orvl::replaceSelfAt(bed.own, newBuild(), err);
  }
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.err, "could not write " + bed.own + ".new");
  EXPECT_FALSE(replaced);
  EXPECT_EQ(err, "could not write " + bed.own + ".new");
  EXPECT_TRUE(holds(bed.own, bed.oldBuild));
  EXPECT_FALSE(testutil::exists(bed.own + ".new"));
}

TEST(SelfUpdate, OwnPathThatCannotBeMovedAside) {
  // The own path a folder with content and a ".old" folder with content that
  // cannot be removed: neither a hard link nor the rename aside is possible.
  UpdateBed bed;
  fs::remove(bed.own);
  testutil::writeFile(bed.own + "/inside", "x");
  testutil::writeFile(bed.own + ".old/inside", "y");
  std::string err;
  EXPECT_FALSE(orvl::replaceSelfAt(bed.own, newBuild(), err));
  EXPECT_EQ(err, "could not move the running launcher aside: " +
                     std::system_category().message(ENOTEMPTY));
  EXPECT_TRUE(holds(bed.own + "/inside", "x"));
  EXPECT_FALSE(testutil::exists(bed.own + ".new"));
}

// Stand-ins for the file calls of the swap.
bool g_ownPresentBeforePutInPlace = false;
int noLink(const char*, const char*) {
  errno = EPERM;  // as on a file system without hard links
  return -1;
}
int watchingRename(const char* from, const char* to) {
  const std::string f = from;
  if (f.size() > 4 && f.compare(f.size() - 4, 4, ".new") == 0)
    g_ownPresentBeforePutInPlace = testutil::exists(to);
  return ::rename(from, to);
}
int failingPutInPlace(const char* from, const char* to) {
  const std::string f = from;
  if (f.size() > 4 && f.compare(f.size() - 4, 4, ".new") == 0) {
    errno = EIO;
    return -1;
  }
  return ::rename(from, to);
}

TEST(SelfUpdate, SwapKeepsTheOwnPathPresentAndFallsBackWithoutHardLinks) {
  UpdateBed bed;
  const std::string build = newBuild();
  struct Case {
    const char* name;
    orvl::SwapCalls calls;
    bool ownPresentBetween;
  } cases[] = {
      {"hard link", {::link, watchingRename}, true},
      {"rename aside", {noLink, watchingRename}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    bed.resetOwn();
    testutil::writeFile(bed.own + ".new", build);
    g_ownPresentBeforePutInPlace = !c.ownPresentBetween;
    std::string err;
    ASSERT_TRUE(orvl::swapInNew(bed.own, err, c.calls)) << err;
    EXPECT_EQ(g_ownPresentBeforePutInPlace, c.ownPresentBetween);
    EXPECT_TRUE(holds(bed.own, build));
    EXPECT_EQ(exitCodeOf(bed.own), 0);  // made executable
    EXPECT_TRUE(holds(bed.own + ".old", bed.oldBuild));
    EXPECT_FALSE(testutil::exists(bed.own + ".new"));
  }
}

TEST(SelfUpdate, FailedPutInPlaceLeavesTheOldBuildUnderItsOwnName) {
  // The rename of ".new" over the own path is made to fail (EIO) by a
  // stand-in for rename; every other file call is real.
  UpdateBed bed;
  struct Case {
    const char* name;
    orvl::SwapCalls calls;
  } cases[] = {
      {"hard link", {::link, failingPutInPlace}},
      {"rename aside", {noLink, failingPutInPlace}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    bed.resetOwn();
    testutil::writeFile(bed.own + ".new", newBuild());
    std::string err;
    EXPECT_FALSE(orvl::swapInNew(bed.own, err, c.calls));
    EXPECT_EQ(err, "could not put the new launcher in place: " + std::system_category().message(EIO));
    EXPECT_TRUE(holds(bed.own, bed.oldBuild));
    EXPECT_EQ(exitCodeOf(bed.own), 1);
    EXPECT_FALSE(testutil::exists(bed.own + ".new"));
    EXPECT_FALSE(testutil::exists(bed.own + ".old"));
  }
}

// The public entry on the running program's own file: a copy of this test
// program, started as a child that runs only SelfUpdateChild.PublicEntry.
TEST(SelfUpdate, PublicEntryReplacesTheRunningProgramsOwnFile) {
  UpdateBed bed;
  ASSERT_TRUE(bed.server->ok());
  const std::string build = newBuild();
  bed.publishFile(kBuild.substr(7), build);
  bed.publishVersion("1.2.0", kBuild);
  const std::string self = orvl::selfPath();
  ASSERT_FALSE(self.empty());
  const std::string copy = bed.base / "app/child-launcher";
  fs::copy_file(self, copy);
  const std::string original = readFile(copy);

  const std::string port = std::to_string(bed.port());
  ::setenv("ORVL_TEST_SELFUPDATE_PORT", port.c_str(), 1);
  int code = -1;
  const bool ran = orvl::runQuiet({copy, "--gtest_filter=SelfUpdateChild.PublicEntry"}, code);
  ::unsetenv("ORVL_TEST_SELFUPDATE_PORT");
  ASSERT_TRUE(ran);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(bed.server->count(kBuild), 1);
  EXPECT_TRUE(holds(copy, build));
  EXPECT_TRUE(holds(copy + ".old", original));
  EXPECT_FALSE(testutil::exists(copy + ".new"));
}

TEST(SelfUpdateChild, PublicEntry) {
  const char* port = std::getenv("ORVL_TEST_SELFUPDATE_PORT");
  if (!port) GTEST_SKIP() << "runs only as the child of SelfUpdate.PublicEntryReplacesTheRunningProgramsOwnFile";
  bool updated = false;
  std::string err;
  ASSERT_TRUE(orvl::selfUpdate(kHost, std::atoi(port), {}, updated, err)) << err;
  EXPECT_TRUE(updated);
}

}  // namespace
