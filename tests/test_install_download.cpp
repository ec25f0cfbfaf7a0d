// Package downloads that take their time, a server that stalls, and the order
// of the unpackers.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "host/platform.h"
#include "update/install.h"
#include "tests/support/plugin_bed.h"

namespace {

using testutil::PluginBed;
namespace fs = std::filesystem;

const std::string kHost = "127.0.0.1";
const std::string kXplRel = std::string(orvl::platform::pluginArchFolder()) + "/Orvane.xpl";

double secondsSince(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

TEST(InstallDownload, SlowSteadyPackageOutlastsTheRequestLimitWithProgress) {
  PluginBed bed;
  ASSERT_TRUE(bed.server->ok());
  const std::string xpl = testutil::noise(5 * 1000 * 1000);
  ASSERT_TRUE(bed.publishPackage("Orvane-3.0.0.zip", {{kXplRel, xpl}}));
  const auto zipSize = static_cast<long long>(fs::file_size(bed.fixtures + "/files/Orvane-3.0.0.zip"));
  // 1 MB a second in ten pieces a second: about 5 s, beyond the 4 s of an API request.
  ASSERT_TRUE(bed.server->fault("/files/Orvane-3.0.0.zip", "slow", 1000 * 1000));

  std::vector<std::pair<long long, long long>> calls;
  orvl::Release rel{"3.0.0", "/files/Orvane-3.0.0.zip", ""};
  std::string err;
  const auto t0 = std::chrono::steady_clock::now();
  const bool ok = orvl::installPlugin(bed.root, bed.pluginDir, kHost, bed.port(), rel, {}, err,
                                      [&](long long a, long long b) { calls.emplace_back(a, b); });
  const double took = secondsSince(t0);
  std::printf("5 MB package at 1 MB/s: installed in %.1f s, %zu progress reports\n", took,
              calls.size());
  ASSERT_TRUE(ok) << err;
  ASSERT_GT(took, 4.0) << "the server was meant to take longer than an API request may";
  EXPECT_TRUE(testutil::readFile(orvl::xplPath(bed.pluginDir)) == xpl);  // 5 MB: not printed
  ASSERT_GT(calls.size(), 30u);  // progress as the pieces arrive, not once at the end
  for (size_t i = 1; i < calls.size(); ++i) EXPECT_LE(calls[i - 1].first, calls[i].first);
  EXPECT_EQ(calls.back(), std::make_pair(zipSize, zipSize));
  EXPECT_EQ(calls.front().second, zipSize);
}

// Slow by nature: the download is given up only after 20 s without progress.
TEST(InstallDownload, StalledServerIsAbandonedWithTheDownloadFailedMessage) {
  PluginBed bed;
  ASSERT_TRUE(bed.server->ok());
  ASSERT_TRUE(bed.publishPackage("Orvane-3.0.0.zip", {{kXplRel, testutil::noise(400000)}}));
  // 100 000 bytes, then silence; the server itself would close only after 120 s.
  ASSERT_TRUE(bed.server->fault("/files/Orvane-3.0.0.zip", "stall", 100000));
  orvl::Release rel{"3.0.0", "/files/Orvane-3.0.0.zip", ""};
  std::string err;
  long long last = 0;
  const auto t0 = std::chrono::steady_clock::now();
  const bool ok = orvl::installPlugin(bed.root, bed.pluginDir, kHost, bed.port(), rel, {}, err,
                                      [&](long long a, long long) { last = a; });
  const double took = secondsSince(t0);
  std::printf("stalled download abandoned after %.1f s\n", took);
  EXPECT_FALSE(ok);
  EXPECT_EQ(err, "download failed: 127.0.0.1/files/Orvane-3.0.0.zip");
  EXPECT_EQ(last, 100000);
  // The client gave up, not the server (which stays silent for 120 s).
  EXPECT_LT(took, 100.0);
  EXPECT_FALSE(testutil::exists(bed.tmp + "/Orvane-3.0.0.zip"));
  EXPECT_FALSE(testutil::exists(orvl::xplPath(bed.pluginDir)));
}

// PATH narrowed to one folder for the life of the object.
class NarrowPath {
 public:
  explicit NarrowPath(const std::string& folder) {
    const char* p = std::getenv("PATH");
    old_ = p ? p : "";
    ::setenv("PATH", folder.c_str(), 1);
  }
  ~NarrowPath() { ::setenv("PATH", old_.c_str(), 1); }

 private:
  std::string old_;
};

TEST(InstallDownload, UnpackersAreTriedInOrder) {
  testutil::TempDir dir;
  testutil::writeFile(dir / "src/Orvane/readme.txt", "inside");
  const std::string zip = dir / "pkg.zip";
  ASSERT_TRUE(testutil::zipFolder(dir / "src", "Orvane", zip));
  int code = -1;
  if (orvl::runQuiet({"/usr/bin/tar", "-xf", zip, "-C", dir.path()}, code) && code == 0)
    GTEST_SKIP() << "/usr/bin/tar reads ZIP here: the later tries cannot be singled out";
  if (!testutil::exists("/usr/bin/bsdtar")) GTEST_SKIP() << "no bsdtar (libarchive-tools)";

  // Only a "tar" that reads ZIP on the search path, no unzip: the second try.
  fs::create_directories(dir / "bin-tar");
  fs::create_symlink("/usr/bin/bsdtar", dir / "bin-tar/tar");
  fs::create_directories(dir / "out1");
  std::string err;
  {
    NarrowPath p(dir / "bin-tar");
    EXPECT_TRUE(orvl::extractZip(zip, dir / "out1", err)) << err;
  }
  EXPECT_EQ(testutil::readFile(dir / "out1/Orvane/readme.txt"), "inside");

  // Only unzip on the search path: the third try.
  if (testutil::exists("/usr/bin/unzip")) {
    fs::create_directories(dir / "bin-unzip");
    fs::create_symlink("/usr/bin/unzip", dir / "bin-unzip/unzip");
    fs::create_directories(dir / "out2");
    NarrowPath p(dir / "bin-unzip");
    EXPECT_TRUE(orvl::extractZip(zip, dir / "out2", err)) << err;
    EXPECT_EQ(testutil::readFile(dir / "out2/Orvane/readme.txt"), "inside");
  }

  // Nothing usable: the message.
  fs::create_directories(dir / "bin-none");
  fs::create_directories(dir / "out3");
  {
    NarrowPath p(dir / "bin-none");
    EXPECT_FALSE(orvl::extractZip(zip, dir / "out3", err));
  }
  EXPECT_EQ(err,
            "the download could not be unpacked - this system has no tar that reads a zip, and no unzip");
}

}  // namespace
