// orvl::fetchLatest against the development server: every answer the version
// endpoint can give, and its error texts.
#include <gtest/gtest.h>

#include <optional>

#include <nlohmann/json.hpp>

#include "update/release.h"
#include "tests/support/devserver.h"
#include "tests/support/tmpdir.h"

namespace {

TEST(FetchLatest, ReadsTheAnswerOrSaysWhatWasWrong) {
  testutil::TempDir dir;
  testutil::DevServer srv(dir.path());
  ASSERT_TRUE(srv.ok());
  const std::string fixture = dir / "version/xplane.json";
  struct Case {
    std::optional<std::string> body;  // none: no fixture file (404)
    const char* fault;
    bool ok;
    const char* err;
  } cases[] = {
      {std::nullopt, "", false, "no answer from 127.0.0.1"},
      {"", "", false, "no answer from 127.0.0.1"},
      {R"({"version":"1.2.0"})", "status", false, "no answer from 127.0.0.1"},
      {"version 1.2.0", "", false, "could not read the version answer"},
      {R"({"version":"1.2.0",})", "", false, "could not read the version answer"},
      {R"({"version":"1.2.0"})", "garbage", false, "could not read the version answer"},
      {R"({"version":3})", "", false, "no version published for xplane"},
      {R"({"version":""})", "", false, "no version published for xplane"},
      {R"(["1.2.0"])", "", false, "no version published for xplane"},
      {R"("1.2.0")", "", false, "no version published for xplane"},
      {R"({"version":"1.2.0"})", "", true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.body ? *c.body : "<none>") + " " + c.fault);
    ASSERT_TRUE(srv.reset());
    std::filesystem::remove(fixture);
    if (c.body) testutil::writeFile(fixture, *c.body);
    if (*c.fault) {
      ASSERT_TRUE(srv.fault("/api/version", c.fault, 500));
    }
    orvl::Release r;
    std::string err;
    EXPECT_EQ(orvl::fetchLatest("127.0.0.1", srv.port(), r, err, "xplane"), c.ok);
    EXPECT_EQ(err, c.err);
    EXPECT_EQ(srv.count("/api/version"), 1);  // each answer came at once, nothing retried
  }
}

TEST(FetchLatest, AsksForTheProductAndTakesOnlyStringMembers) {
  testutil::TempDir dir;
  testutil::writeFile(dir / "version/xplane-launcher-linux.json",
                      R"({"version":"1.3.0","url":"/files/launcher-1.3.0","notes":7,"extra":true})");
  testutil::writeFile(dir / "version/xplane.json", R"({"url":"/files/p.zip","notes":"n"})");
  testutil::DevServer srv(dir.path());
  ASSERT_TRUE(srv.ok());

  orvl::Release r;
  std::string err;
  ASSERT_TRUE(orvl::fetchLatest("127.0.0.1", srv.port(), r, err, "xplane-launcher-linux")) << err;
  EXPECT_EQ(r.version, "1.3.0");
  EXPECT_EQ(r.url, "/files/launcher-1.3.0");
  EXPECT_EQ(r.notes, "");  // not a string: empty
  EXPECT_EQ(nlohmann::json::parse(srv.last())["target"],
            "/api/version?pub=1&platform=xplane-launcher-linux");

  // No version: false, but the fields read are still overwritten.
  EXPECT_FALSE(orvl::fetchLatest("127.0.0.1", srv.port(), r, err, "xplane"));
  EXPECT_EQ(err, "no version published for xplane");
  EXPECT_EQ(r.version, "");
  EXPECT_EQ(r.url, "/files/p.zip");
  EXPECT_EQ(r.notes, "n");
}

TEST(FetchLatest, UnreachableServer) {
  const int port = testutil::unusedPort();
  ASSERT_GT(port, 0);
  orvl::Release r;
  std::string err;
  EXPECT_FALSE(orvl::fetchLatest("127.0.0.1", port, r, err, "xplane"));
  EXPECT_EQ(err, "no answer from 127.0.0.1");
}

}  // namespace
