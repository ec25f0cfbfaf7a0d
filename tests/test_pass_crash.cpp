// Crash safety of the pass: orvane-cli suppress killed with SIGKILL at many
// moments spread over the whole pass, each time followed by orvane-cli
// restore. Every apt.dat must be its original byte for byte after every
// restore, and a later pass must still succeed.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <thread>

#include <nlohmann/json.hpp>

#include "tests/support/cli_run.h"
#include "tests/support/devserver.h"
#include "tests/support/pass_fixture.h"
#include "tests/support/tmpdir.h"

namespace {

using nlohmann::json;
using testutil::airportRows;
using testutil::barAcross;
using testutil::joinRows;
using testutil::lineJson;
using testutil::readFile;
using testutil::writeFile;

// An installation of a few MB: two custom packs (one with a publisher pick and
// variants, one with CRLF line ends) above a global airports file of 9,000
// blocks; half of the global airports and all pack airports covered.
struct CrashInstall {
  testutil::TempDir dir;
  std::string root = dir / "X-Plane 12/";
  std::string plugin = root + "Resources/plugins/Orvane";
  std::string server = dir / "server";
  std::map<std::string, std::string> originals;

  CrashInstall() {
    writeFile(root + "Resources/version.txt", "12.1.0\n");
    writeFile(plugin + "/resources/publishers.json", R"({"packone": "Pub"})");
    writeFile(root + "Custom Scenery/scenery_packs.ini",
              "I\n1000 Version\nSCENERY\n\nSCENERY_PACK Custom Scenery/Pack One/\n"
              "SCENERY_PACK Custom Scenery/Pack Two/\nSCENERY_PACK *GLOBAL_AIRPORTS*\n");
    json airports = json::object();
    json ftgList = json::array();
    auto pad = [](double lat, double lon) {
      std::vector<std::string> r{"110 1 0.25 0.00 Apron"};
      for (int k = 0; k < 60; ++k)
        r.push_back("111 " + testutil::fmt8(lat + 0.001 + k * 1e-5) + " " + testutil::fmt8(lon + k * 1e-5));
      r.push_back("113 " + testutil::fmt8(lat + 0.002) + " " + testutil::fmt8(lon));
      return r;
    };
    auto add = [&](const std::string& path, const std::string& prefix, int n, double lat0, const char* nl,
                   int coverEvery) {
      std::string text = std::string("I") + nl + "1100 Version" + nl + nl;
      for (int i = 0; i < n; ++i) {
        const std::string id = prefix + std::to_string(i);
        const double lat = lat0 + (i / 100) * 0.1, lon = -100 + (i % 100) * 0.05;
        std::vector<std::string> rows = airportRows(id, lat, lon);
        const std::vector<std::string> p = pad(lat, lon);
        rows.insert(rows.end(), p.begin(), p.end());
        text += joinRows(rows, nl);
        if (i % coverEvery != 0) continue;
        json a = {{"bars", {lineJson(barAcross(lat, lon, i % 3))}}};
        if (prefix == "P") a["variants"] = {{"Pub", {{"bars", {lineJson(barAcross(lat, lon, (i + 1) % 3))}}}}};
        airports[id] = a;
        if (i % (coverEvery * 10) == 0) {
          ftgList.push_back({{"platform", "xplane"}, {"icao", id}});
          writeFile(server + "/ftg/" + id + ".json",
                    testutil::netJson({testutil::along(lat, lon, (i + 2) % 3)}, "canonical", "c" + id).dump());
        }
      }
      text += std::string("99") + nl;
      writeFile(path, text);
      originals[path] = text;
    };
    add(root + "Custom Scenery/Pack One/Earth nav data/apt.dat", "P", 100, 10.0, "\n", 1);
    add(root + "Custom Scenery/Pack Two/Earth nav data/apt.dat", "Q", 100, 20.0, "\r\n", 1);
    add(root + "Global Scenery/Global Airports/Earth nav data/apt.dat", "G", 9000, 30.0, "\n", 2);
    writeFile(server + "/geometry.json", json({{"rev", "crash-1"}, {"airports", airports}}).dump());
    writeFile(server + "/ftg/airports.json", json({{"airports", ftgList}}).dump());
  }

  // Names of apt.dat files that do not hold their original bytes.
  std::vector<std::string> notOriginal() const {
    std::vector<std::string> bad;
    for (const auto& [path, text] : originals)
      if (readFile(path) != text) bad.push_back(path);
    return bad;
  }
};

// A short picture of the companions of every file: o backup, p provisional
// mark, m real mark, t temporary, c copy in progress; then the manifest rows.
std::string stateOnDisk(const CrashInstall& in) {
  std::string s;
  for (const auto& entry : in.originals) {
    const std::string& f = entry.first;
    s += "[";
    if (testutil::exists(f + ".orvane-orig")) s += "o";
    if (testutil::exists(f + ".orvane-cut")) s += readFile(f + ".orvane-cut").rfind("-1 ", 0) == 0 ? "p" : "m";
    if (testutil::exists(f + ".orvane-tmp")) s += "t";
    if (testutil::exists(f + ".orvane-orig.orvane-part")) s += "c";
    s += "]";
  }
  const std::string manifest = in.plugin + "/ftg_manifest.json";
  size_t rows = 0;
  if (testutil::exists(manifest)) {
    try {
      rows = nlohmann::json::parse(readFile(manifest)).size();
    } catch (const std::exception&) {
      rows = 9999;
    }
  }
  return s + " rows " + std::to_string(rows);
}

pid_t spawnQuiet(const std::vector<std::string>& args, const std::string& home) {
  std::vector<std::string> argv{ORVL_BINARY_DIR "/orvane-cli"};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> av;
  for (auto& a : argv) av.push_back(a.data());
  av.push_back(nullptr);
  std::string envHome = "HOME=" + home;
  char* ev[] = {envHome.data(), nullptr};
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, av[0], &fa, nullptr, av.data(), ev) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&fa);
  return pid;
}

// The installation, its server and the two commands the crash tests run.
struct PassCrash : ::testing::Test {
  CrashInstall in;
  testutil::DevServer srv{in.server};
  const std::string home = in.dir / "home";
  const std::vector<std::string> suppress = {"suppress", "--root", in.root, "--host",
                                             "127.0.0.1:" + std::to_string(srv.port())};
  const std::vector<std::string> restore = {"restore", "--root", in.root};
  void SetUp() override { ASSERT_TRUE(srv.ok()); }
};

TEST_F(PassCrash, KilledAnywhereTheRestoreBringsBackEveryOriginal) {

  // How long a whole pass takes here (the quicker of two, the first runs on
  // cold caches), so that the kills cover all of it.
  double passSeconds = 1e9;
  testutil::CliRun full;
  for (int i = 0; i < 2; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    full = testutil::cli(suppress, home);
    passSeconds = std::min(passSeconds, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    ASSERT_EQ(full.status, 0) << (full.lines.empty() ? "" : full.lines.back());
    ASSERT_EQ(testutil::cli(restore, home).status, 0);
    ASSERT_TRUE(in.notOriginal().empty());
  }

  const int kKills = 25;
  int finishedBeforeKill = 0;
  std::set<std::string> states;  // what the kills left on disk, for the summary
  for (int i = 0; i < kKills; ++i) {
    // Moments from the very start to just past the usual end, with a little jitter.
    const double at = passSeconds * 1.05 * (i + (i * 7919 % 10) / 10.0) / kKills;
    const pid_t pid = spawnQuiet(suppress, home);
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::duration<double>(at));
    int st = 0;
    if (waitpid(pid, &st, WNOHANG) == pid) {
      ++finishedBeforeKill;
    } else {
      kill(pid, SIGKILL);
      waitpid(pid, &st, 0);
    }
    states.insert(stateOnDisk(in));
    const testutil::CliRun r = testutil::cli(restore, home);
    const std::vector<std::string> bad = in.notOriginal();
    EXPECT_TRUE(bad.empty()) << "kill " << i << " at " << at << " s: " << bad.size() << " file(s) not original, first "
                             << (bad.empty() ? "" : bad[0]) << "; restore said: "
                             << (r.lines.size() > 1 ? r.lines[1] : "");
    if (i % 6 == 5) {
      // A pass after a crash and its restore goes through.
      const testutil::CliRun again = testutil::cli(suppress, home);
      EXPECT_EQ(again.status, 0) << "after kill " << i << ": " << (again.lines.empty() ? "" : again.lines.back());
      EXPECT_EQ(testutil::cli(restore, home).status, 0);
    }
  }
  // The kills met the pass in several different states (not all before or after it).
  EXPECT_GE(states.size(), 4u);

  full = testutil::cli(suppress, home);
  EXPECT_EQ(full.status, 0) << (full.lines.empty() ? "" : full.lines.back());
  EXPECT_EQ(testutil::cli(restore, home).status, 0);
  EXPECT_TRUE(in.notOriginal().empty());
  // Nothing of a killed run is left beside the files once a pass and a restore ran.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(in.root)) {
    const std::string p = entry.path().string();
    EXPECT_EQ(p.find(".orvane-"), std::string::npos) << p;
  }
  std::printf("pass %.3f s; %d of %d kills landed after the pass had ended; %zu different states on disk:\n",
              passSeconds, finishedBeforeKill, kKills, states.size());
  for (const auto& s : states) std::printf("  %s\n", s.c_str());
}

TEST_F(PassCrash, RestoreKilledAnywhereIsFinishedByTheNextRestore) {

  double restoreSeconds = 1e9;
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(testutil::cli(suppress, home).status, 0);
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(testutil::cli(restore, home).status, 0);
    restoreSeconds =
        std::min(restoreSeconds, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  const int kKills = 12;
  std::set<std::string> states;
  for (int i = 0; i < kKills; ++i) {
    ASSERT_EQ(testutil::cli(suppress, home).status, 0);
    const double at = restoreSeconds * 1.1 * i / kKills;
    const pid_t pid = spawnQuiet(restore, home);
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::duration<double>(at));
    int st = 0;
    if (waitpid(pid, &st, WNOHANG) != pid) {
      kill(pid, SIGKILL);
      waitpid(pid, &st, 0);
    }
    const std::string state = stateOnDisk(in);
    states.insert(state);
    const testutil::CliRun r = testutil::cli(restore, home);
    std::string said = " (state " + state + ")";
    for (const std::string& l : r.lines) said += "\n  " + l;
    EXPECT_EQ(r.status, 0) << "kill " << i << " at " << at << " s; restore said:" << said;
    const std::vector<std::string> bad = in.notOriginal();
    EXPECT_TRUE(bad.empty()) << "kill " << i << " at " << at << " s: first not original " << (bad.empty() ? "" : bad[0]);
    const std::string status = testutil::cli({"status", "--root", in.root}, home).lines.back();
    EXPECT_EQ(status.find("Stale copy"), std::string::npos) << "kill " << i << ": " << status;
  }
  std::printf("restore %.3f s; %zu different states met by %d kills\n", restoreSeconds, states.size(), kKills);
}

}  // namespace
