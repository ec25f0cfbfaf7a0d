// net::download against the development server: streamed to disk, its own
// limits instead of the 4 s request limit, no partial file after a failure.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "net/net.h"
#include "tests/support/devserver.h"
#include "tests/support/tmpdir.h"

namespace {

const std::string kHost = "127.0.0.1";
const std::string kPath = "/files/Orvane-1.2.0.zip";

std::string payload(size_t n) {
  std::string s(n, '\0');
  uint32_t x = 12345;
  for (auto& c : s) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 24);
  }
  return s;
}

struct Served {
  testutil::TempDir dir;
  testutil::TempDir out;
  std::string data;
  std::unique_ptr<testutil::DevServer> srv;
  explicit Served(size_t n) : data(payload(n)) {
    testutil::writeFile(dir / "files/Orvane-1.2.0.zip", data);
    srv = std::make_unique<testutil::DevServer>(dir.path());
  }
};

struct Progress {
  std::vector<std::pair<long long, long long>> calls;
  net::DownloadProgress fn() {
    return [this](long long a, long long b) { calls.emplace_back(a, b); };
  }
  bool monotone() const {
    for (size_t i = 1; i < calls.size(); ++i)
      if (calls[i].first < calls[i - 1].first) return false;
    return true;
  }
};

TEST(NetDownload, WritesTheFileAndReportsProgressAgainstTheAnnouncedSize) {
  Served s(300000);
  ASSERT_TRUE(s.srv->ok());
  const std::string dest = s.out / "pkg.zip";
  testutil::writeFile(dest, "older content that must go");
  Progress p;
  std::string err;
  ASSERT_TRUE(net::download(kHost, s.srv->port(), kPath, dest, p.fn(), err)) << err;
  EXPECT_EQ(testutil::readFile(dest), s.data);
  ASSERT_FALSE(p.calls.empty());
  EXPECT_TRUE(p.monotone());
  EXPECT_EQ(p.calls.back().first, 300000);
  EXPECT_EQ(p.calls.back().second, 300000);
  EXPECT_EQ(nlohmann::json::parse(s.srv->last())["headers"]["User-Agent"], "Orvane/1.0");
}

TEST(NetDownload, SlowButSteadyBodyOutlastsTheRequestLimit) {
  // 10 000 bytes at 2 000 bytes a second: about 5 s, beyond net::get's 4 s.
  Served s(10000);
  ASSERT_TRUE(s.srv->ok());
  ASSERT_TRUE(s.srv->fault(kPath, "slow", 2000));
  const std::string dest = s.out / "pkg.zip";
  Progress p;
  std::string err;
  ASSERT_TRUE(net::download(kHost, s.srv->port(), kPath, dest, p.fn(), err)) << err;
  EXPECT_EQ(testutil::readFile(dest), s.data);
  // The server sends 50 pieces 100 ms apart; progress follows them as they come.
  EXPECT_GT(p.calls.size(), 20u);
  EXPECT_TRUE(p.monotone());
  EXPECT_EQ(s.srv->count(kPath), 1);
}

TEST(NetDownload, StalledBodyFailsWithoutRetryAndLeavesNoFile) {
  Served s(50000);
  ASSERT_TRUE(s.srv->ok());
  ASSERT_TRUE(s.srv->fault(kPath, "stall", 3000));
  const std::string dest = s.out / "pkg.zip";
  net::DownloadLimits quick;
  quick.lowSpeedSeconds = 2;  // the default 20 s, shortened for the test
  Progress p;
  std::string err;
  EXPECT_FALSE(net::download(kHost, s.srv->port(), kPath, dest, p.fn(), err, quick));
  EXPECT_EQ(err, "download failed: 127.0.0.1" + kPath);
  EXPECT_FALSE(testutil::exists(dest));
  ASSERT_FALSE(p.calls.empty());
  EXPECT_EQ(p.calls.back().first, 3000);
  EXPECT_EQ(s.srv->count(kPath), 1);  // bytes had arrived: not tried again
}

TEST(NetDownload, AnswersOtherThanTwoHundredsFailWithoutFile) {
  Served s(2000);
  ASSERT_TRUE(s.srv->ok());
  struct Case {
    const char* path;
    const char* kind;
    long code;
  } cases[] = {
      {"/files/missing.zip", "", 0},  // the server's own 404
      {kPath.c_str(), "status", 500},
      {kPath.c_str(), "redirect", 302},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " " + c.kind + " " + std::to_string(c.code));
    ASSERT_TRUE(s.srv->reset());
    if (*c.kind) {
      ASSERT_TRUE(s.srv->fault(c.path, c.kind, c.code));
    }
    const std::string dest = s.out / "pkg.zip";
    testutil::writeFile(dest, "older content");
    std::string err;
    const bool ok = net::download(kHost, s.srv->port(), c.path, dest, {}, err);
    EXPECT_EQ(s.srv->count(c.path), 1);
    EXPECT_FALSE(ok);
    EXPECT_EQ(err, "download failed: 127.0.0.1" + std::string(c.path));
    EXPECT_FALSE(testutil::exists(dest));
  }
}

TEST(NetDownload, UnwritableDestinationFailsBeforeAnyRequest) {
  Served s(2000);
  ASSERT_TRUE(s.srv->ok());
  const std::string dest = s.out / "no-such-folder/pkg.zip";
  std::string err;
  EXPECT_FALSE(net::download(kHost, s.srv->port(), kPath, dest, {}, err));
  EXPECT_EQ(err, "could not write " + dest);
  EXPECT_EQ(s.srv->count(kPath), 0);
}

TEST(NetDownload, UnreachablePortFailsWithoutFile) {
  testutil::TempDir out;
  const int port = testutil::unusedPort();
  ASSERT_GT(port, 0);
  std::string err;
  EXPECT_FALSE(net::download(kHost, port, kPath, out / "pkg.zip", {}, err));
  EXPECT_EQ(err, "download failed: 127.0.0.1" + kPath);
  EXPECT_FALSE(testutil::exists(out / "pkg.zip"));
}

}  // namespace
