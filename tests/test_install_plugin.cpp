// Plugin installation against the development server with real ZIP packages:
// first install, update with its backup, request paths, refused downloads and
// packages, refusals while X-Plane runs or the scenery is suppressed, and a
// plugin folder that cannot be written.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "host/platform.h"
#include "update/install.h"
#include "update/request_path.h"
#include "tests/support/plugin_bed.h"

namespace {

using testutil::PluginBed;
using testutil::readFile;
namespace fs = std::filesystem;

const std::string kHost = "127.0.0.1";
const std::string kArch = orvl::platform::pluginArchFolder();
const std::string kXplRel = kArch + "/Orvane.xpl";

struct Outcome {
  bool ok = false;
  std::string err;
  std::vector<std::string> log;
};

Outcome install(PluginBed& bed, const std::string& version, const std::string& url,
            const net::DownloadProgress& progress = {}) {
  Outcome r;
  orvl::Release rel;
  rel.version = version;
  rel.url = url;
  r.ok = orvl::installPlugin(bed.root, bed.pluginDir, kHost, bed.port(), rel,
                             [&r](const std::string& l) { r.log.push_back(l); }, r.err, progress);
  return r;
}

std::vector<std::string> backups(const PluginBed& bed) {
  std::vector<std::string> out;
  for (const auto& n : testutil::listNames(bed.pluginDir + "/" + kArch))
    if (n.find(".bak-") != std::string::npos) out.push_back(n);
  return out;
}

TEST(InstallPlugin, FirstInstallThenUpdatesKeepOneBackupPerVersion) {
  PluginBed bed;
  ASSERT_TRUE(bed.server->ok());
  ASSERT_TRUE(bed.publishPackage("Orvane-1.0.0.zip", {{kXplRel, "plugin one"},
                                                      {"resources/readme.txt", "first"}}));
  ASSERT_TRUE(bed.publishPackage("Orvane-1.1.0.zip", {{kXplRel, "plugin two"}}));
  testutil::writeFile(bed.pluginDir + "/resources/publishers.json", "{\"mine\":1}");

  Outcome r = install(bed, "1.0.0", "/files/Orvane-1.0.0.zip");
  ASSERT_TRUE(r.ok) << r.err;
  EXPECT_EQ(r.log, (std::vector<std::string>{"Downloading 1.0.0...", "Unpacking...",
                                             "Installed Orvane 1.0.0."}));
  EXPECT_EQ(readFile(orvl::xplPath(bed.pluginDir)), "plugin one");
  EXPECT_EQ(readFile(bed.pluginDir + "/resources/readme.txt"), "first");
  EXPECT_EQ(readFile(bed.pluginDir + "/resources/publishers.json"), "{\"mine\":1}");  // kept
  EXPECT_EQ(readFile(bed.pluginDir + "/version.txt"), "1.0.0");
  EXPECT_EQ(orvl::installedPluginVersion(bed.pluginDir), "1.0.0");
  EXPECT_TRUE(backups(bed).empty());            // nothing to back up the first time
  EXPECT_TRUE(testutil::listNames(bed.tmp).empty());  // download and staging folder gone

  r = install(bed, "1.1.0", "/files/Orvane-1.1.0.zip");
  ASSERT_TRUE(r.ok) << r.err;
  EXPECT_EQ(readFile(orvl::xplPath(bed.pluginDir)), "plugin two");
  EXPECT_EQ(readFile(bed.pluginDir + "/resources/readme.txt"), "first");  // package lacks it: stays
  EXPECT_EQ(readFile(bed.pluginDir + "/version.txt"), "1.1.0");
  EXPECT_EQ(backups(bed), std::vector<std::string>{"Orvane.xpl.bak-1.1.0"});
  EXPECT_EQ(readFile(orvl::xplPath(bed.pluginDir) + ".bak-1.1.0"), "plugin one");

  // The same version again: still one backup, now of the file installed last.
  testutil::writeFile(orvl::xplPath(bed.pluginDir), "plugin two, patched by hand");
  r = install(bed, "1.1.0", "/files/Orvane-1.1.0.zip");
  ASSERT_TRUE(r.ok) << r.err;
  EXPECT_EQ(backups(bed), std::vector<std::string>{"Orvane.xpl.bak-1.1.0"});
  EXPECT_EQ(readFile(orvl::xplPath(bed.pluginDir) + ".bak-1.1.0"), "plugin two, patched by hand");
  EXPECT_EQ(readFile(orvl::xplPath(bed.pluginDir)), "plugin two");
  EXPECT_TRUE(testutil::listNames(bed.tmp).empty());
}

TEST(InstallPlugin, ReleaseUrlGivesThePathOnTheConfiguredServer) {
  PluginBed bed;
  ASSERT_TRUE(bed.server->ok());
  ASSERT_TRUE(bed.publishPackage("Orvane-1.2.0.zip", {{kXplRel, "plugin"}}));
  struct Case {
    std::string url;
    std::string target;  // what the server must see
  } cases[] = {
      {std::string("https://") + orvl::kDefaultHost + "/files/Orvane-1.2.0.zip?sig=a1&n=2",
       "/files/Orvane-1.2.0.zip?sig=a1&n=2"},
      {std::string("http://") + orvl::kDefaultHost + ":8443/files/Orvane-1.2.0.zip",
       "/files/Orvane-1.2.0.zip"},
      {"/files/Orvane-1.2.0.zip?x=%20y", "/files/Orvane-1.2.0.zip?x=%20y"},  // bare: unchanged
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    ASSERT_TRUE(bed.server->reset());
    fs::remove(bed.pluginDir + "/version.txt");
    Outcome r = install(bed, "1.2.0", c.url);
    ASSERT_TRUE(r.ok) << r.err;
    EXPECT_EQ(nlohmann::json::parse(bed.server->last())["target"], c.target);
    EXPECT_EQ(readFile(bed.pluginDir + "/version.txt"), "1.2.0");
  }
}

TEST(InstallPlugin, ReleaseUrlOnAnotherHostIsRefusedBeforeAnyDownload) {
  PluginBed bed;
  ASSERT_TRUE(bed.server->ok());
  ASSERT_TRUE(bed.publishPackage("Orvane-1.2.0.zip", {{kXplRel, "plugin"}}));
  const std::string d = orvl::kDefaultHost;
  for (const std::string& url : std::vector<std::string>{
           std::string("https://cdn.example.com/files/Orvane-1.2.0.zip"),
           "https://" + d + ".example.com/files/Orvane-1.2.0.zip",  // a longer name
           "https://cdn.example.com/" + d + "/files/Orvane-1.2.0.zip",  // named in the path only
           "https://cdn.example.com/files/Orvane-1.2.0.zip?mirror=" + d,
           "https://" + d,  // no path at all
       }) {
    SCOPED_TRACE(url);
    ASSERT_TRUE(bed.server->reset());
    Outcome r = install(bed, "1.2.0", url);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.err, "the published download is not on " + d);
    EXPECT_TRUE(r.log.empty());
    EXPECT_EQ(bed.server->last(), "{}");  // no request at all
    EXPECT_FALSE(testutil::exists(orvl::xplPath(bed.pluginDir)));
    EXPECT_TRUE(testutil::listNames(bed.tmp).empty());
  }
}

TEST(InstallPlugin, RequestPathRule) {
  const std::string d = orvl::kDefaultHost;
  struct Case {
    std::string url;
    bool ok;
    std::string path;
  } cases[] = {
      {"https://" + d + "/a/b?c=d#e", true, "/a/b?c=d#e"},
      {"https://UPDATES.Orvane.INVALID/x", true, "/x"},
      {"https://user@" + d + ":443/x", true, "/x"},
      {"https://" + d + "/", true, "/"},
      {"https://" + d, false, ""},
      {"https://" + d + "@evil.example/x", false, ""},
      {"https://evil.example/?h=" + d, false, ""},
      {"files/x.zip", true, "files/x.zip"},
      {"", true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    std::string path = "stale";
    EXPECT_EQ(orvl::releaseRequestPath(c.url, path), c.ok);
    EXPECT_EQ(path, c.path);
  }
}

// Each bad answer fails with its message, leaves the installed plugin as it
// was and leaves no download behind.
TEST(InstallPlugin, BadDownloadsAreRefusedAndTheInstalledPluginStays) {
  PluginBed bed;
  ASSERT_TRUE(bed.server->ok());
  ASSERT_TRUE(bed.publishPackage("Orvane-1.0.0.zip", {{kXplRel, "installed plugin"}}));
  ASSERT_TRUE(install(bed, "1.0.0", "/files/Orvane-1.0.0.zip").ok);

  bed.publishFile("small.zip", "PK" + testutil::noise(898));
  std::string page = "<!doctype html><html><body>not found</body></html>\n";
  page.resize(1024, ' ');  // exactly the smallest size that passes the size test
  bed.publishFile("page.zip", page);
  bed.publishFile("damaged.zip", "PK\x03\x04" + testutil::noise(4000));
  ASSERT_EQ(readFile(bed.fixtures + "/files/page.zip").size(), 1024u);
  ASSERT_TRUE(bed.publishPackage("empty.zip", {{"lin_x32/Orvane.xpl", "wrong arch"}}));

  struct Case {
    std::string path;
    std::string err;
    bool downloadStays;  // failures after unpacking keep the download
  } cases[] = {
      {"/files/small.zip", "the download was only 900 bytes - that is not a plugin", false},
      {"/files/page.zip", "that download was not a plugin package", false},
      {"/files/missing.zip", "download failed: 127.0.0.1/files/missing.zip", false},
      {"/files/damaged.zip",
       "the download could not be unpacked - this system has no tar that reads a zip, and no unzip",
       false},
      {"/files/empty.zip", "the package did not contain Orvane.xpl", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    Outcome r = install(bed, "2.0.0", c.path);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(readFile(orvl::xplPath(bed.pluginDir)), "installed plugin");
    EXPECT_EQ(orvl::installedPluginVersion(bed.pluginDir), "1.0.0");
    EXPECT_TRUE(backups(bed).empty());
    EXPECT_EQ(testutil::exists(bed.tmp + "/Orvane-2.0.0.zip"), c.downloadStays);
    EXPECT_NE(r.log.back(), "Installed Orvane 2.0.0.");
  }
}

TEST(InstallPlugin, RefusedWhileXPlaneRunsFromTheRoot) {
  PluginBed bed;
  ASSERT_TRUE(bed.server->ok());
  ASSERT_TRUE(bed.publishPackage("Orvane-1.0.0.zip", {{kXplRel, "plugin"}}));
  const std::string sim = bed.root + orvl::platform::xplaneExecutable();
  fs::copy_file("/bin/sleep", sim);
  testutil::Child running(sim, {"60"});
  ASSERT_TRUE(running.ok());
  // The process table must show it before the check means anything.
  for (int i = 0; i < 100 && !orvl::simRunning(bed.root); ++i) usleep(20000);
  ASSERT_TRUE(orvl::simRunning(bed.root));

  // The root in another letter case still matches.
  std::string upperRoot = bed.root;
  for (char& ch : upperRoot) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  for (const std::string& root : {bed.root, upperRoot}) {
    orvl::Release rel{"1.0.0", "/files/Orvane-1.0.0.zip", ""};
    std::string err;
    EXPECT_FALSE(orvl::installPlugin(root, bed.pluginDir, kHost, bed.port(), rel, {}, err));
    EXPECT_EQ(err, "X-Plane is running - close it first (the plugin file is locked while the sim is up)");
  }
  EXPECT_EQ(bed.server->count("/files/Orvane-1.0.0.zip"), 0);
  EXPECT_FALSE(testutil::exists(orvl::xplPath(bed.pluginDir)));
}

TEST(InstallPlugin, RefusedWhileTheSceneryIsSuppressed) {
  PluginBed bed;
  ASSERT_TRUE(bed.server->ok());
  ASSERT_TRUE(bed.publishPackage("Orvane-1.0.0.zip", {{kXplRel, "plugin"}}));
  testutil::writeFile(bed.pluginDir + "/ftg_manifest.json",
                      R"([{"file": ")" + bed.root + R"(Custom Scenery/A/Earth nav data/apt.dat", "icao": "KSEA"}])");
  Outcome r = install(bed, "1.0.0", "/files/Orvane-1.0.0.zip");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.err, "the scenery is still suppressed - restore it before changing the plugin");
  EXPECT_TRUE(r.log.empty());
  EXPECT_EQ(bed.server->count("/files/Orvane-1.0.0.zip"), 0);
  EXPECT_FALSE(testutil::exists(orvl::xplPath(bed.pluginDir)));
}

TEST(InstallPlugin, PluginFolderThatCannotBeWritten) {
  PluginBed bed;
  ASSERT_TRUE(bed.server->ok());
  ASSERT_TRUE(bed.publishPackage("Orvane-1.0.0.zip", {{kXplRel, "plugin one"}}));
  ASSERT_TRUE(bed.publishPackage("Orvane-1.1.0.zip", {{kXplRel, "plugin two"}}));
  ASSERT_TRUE(install(bed, "1.0.0", "/files/Orvane-1.0.0.zip").ok);
  Outcome r;
  {
    testutil::ReadOnlyFolder ro(bed.pluginDir);
    if (!ro.ok()) GTEST_SKIP() << "a read-only bind mount was refused here";
    r = install(bed, "1.1.0", "/files/Orvane-1.1.0.zip");
  }
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.err, "could not write into the plugin folder: " +
                       std::system_category().message(EROFS));
  EXPECT_EQ(readFile(orvl::xplPath(bed.pluginDir)), "plugin one");
  EXPECT_EQ(orvl::installedPluginVersion(bed.pluginDir), "1.0.0");
  // The download and the staging folder stay for the next try.
  EXPECT_TRUE(testutil::exists(bed.tmp + "/Orvane-1.1.0.zip"));
  EXPECT_TRUE(testutil::exists(orvl::xplPath(bed.tmp + "/Orvane-1.1.0-stage/Orvane")));
  // And the next try, with the folder writable again, succeeds.
  r = install(bed, "1.1.0", "/files/Orvane-1.1.0.zip");
  ASSERT_TRUE(r.ok) << r.err;
  EXPECT_EQ(readFile(orvl::xplPath(bed.pluginDir)), "plugin two");
  EXPECT_EQ(readFile(orvl::xplPath(bed.pluginDir) + ".bak-1.1.0"), "plugin one");
}

TEST(InstallPlugin, StaleStagingFolderDoesNotStandInForTheNewPackage) {
  // An earlier run of this version left a staging folder with a plugin file;
  // a package without one must still be refused.
  PluginBed bed;
  ASSERT_TRUE(bed.server->ok());
  testutil::writeFile(bed.tmp + "/Orvane-1.3.0-stage/Orvane/" + kXplRel, "left from before");
  ASSERT_TRUE(bed.publishPackage("Orvane-1.3.0.zip", {{"readme.txt", "no plugin here"}}));
  Outcome r = install(bed, "1.3.0", "/files/Orvane-1.3.0.zip");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.err, "the package did not contain Orvane.xpl");
  EXPECT_FALSE(testutil::exists(orvl::xplPath(bed.pluginDir)));
}

}  // namespace
