// The whole suppression pass over a fixture installation, with geometry and
// FTG networks served by the development server; and the same through the
// command-line tool.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <nlohmann/json.hpp>

#include "host/process.h"
#include "maps/geometry.h"
#include "scenery/files.h"
#include "scenery/pass.h"
#include "scenery/restore.h"
#include "tests/support/cli_run.h"
#include "tests/support/devserver.h"
#include "tests/support/pass_fixture.h"
#include "tests/support/scenery_cut.h"
#include "tests/support/tmpdir.h"

extern char** environ;

namespace {

using nlohmann::json;
using testutil::airportRows;
using testutil::along;
using testutil::barAcross;
using testutil::exists;
using testutil::joinRows;
using testutil::lineJson;
using testutil::netJson;
using testutil::readFile;
using testutil::writeFile;

const double L0 = 8.5;                 // first node longitude of most test airports
const double GLAT = 47.12345678, GLON = -122.3;  // KGLB, written with 8 decimals

const char* const kCompanions[] = {".orvane-orig", ".orvane-cut", ".orvane-tmp", ".orvane-orig.orvane-part",
                                   ".orvane-cut.orvane-part"};

// A fake X-Plane 12 folder: three custom packs above the global airports, a
// disabled one, publisher picks; and the server's fixture folder.
struct Install {
  testutil::TempDir dir;
  std::string root = dir / "X-Plane 12/";
  std::string plugin = root + "Resources/plugins/Orvane";
  std::string server = dir / "server";
  std::string xyz = root + "Custom Scenery/KXYZ Demo/Earth nav data/apt.dat";
  std::string quiet = root + "Custom Scenery/Quiet Pack/Earth nav data/apt.dat";
  std::string plain = root + "Custom Scenery/Plain Pack/Earth nav data/apt.dat";
  std::string disabled = root + "Custom Scenery/Disabled Pack/Earth nav data/apt.dat";
  std::string global = root + "Global Scenery/Global Airports/Earth nav data/apt.dat";
  std::string kdupBlock = joinRows(airportRows("KDUP", 47.6, L0));
  std::string kvarBlock = joinRows(airportRows("KVAR", 48.0, L0));
  std::map<std::string, std::string> originals;

  Install() {
    writeFile(root + "Resources/version.txt", "12.1.0\n");
    writeFile(plugin + "/resources/publishers.json", R"({"kxyzdemo": "Pub One", "quietpack": "Pub One"})");
    writeFile(root + "Custom Scenery/scenery_packs.ini",
              "I\n1000 Version\nSCENERY\n\n"
              "SCENERY_PACK Custom Scenery/KXYZ Demo/\n"
              "SCENERY_PACK_DISABLED Custom Scenery/Disabled Pack/\n"
              "SCENERY_PACK Custom Scenery/Quiet Pack/\n"
              "SCENERY_PACK Custom Scenery/Plain Pack/\n"
              "SCENERY_PACK *GLOBAL_AIRPORTS*\n");
    put(xyz, "I\n1100 Version\n\n" + joinRows(airportRows("XYZX", 47.5, L0, 101, "KXYZ")) + kdupBlock + "99\n");
    put(quiet, "I\n1100 Version\n" + joinRows(airportRows("KQQQ", 46.0, L0)) + "99\n");
    put(plain, "I\r\n1100 Version\r\n\r\n" + joinRows(airportRows("KPLN", 47.7, L0), "\r\n") + "99\r\n");
    put(disabled, "I\n1100 Version\n" + joinRows(airportRows("KEMP", 47.81, L0)) + "99\n");
    put(global, "I\n1200 Version - data cycle 2024.01\n\n" + kdupBlock +
                    joinRows(airportRows("KGLB", GLAT, GLON, 105)) + joinRows(airportRows("KEMP", 47.8, L0)) +
                    kvarBlock + joinRows(airportRows("KZERO", 47.9, L0)) + "99\n");

    json airports = json::object();
    auto bars = [](std::vector<ftg::Polyline> lines) {
      json a = json::array();
      for (const auto& l : lines) a.push_back(lineJson(l));
      return a;
    };
    airports["KXYZ"] = {{"bars", bars({barAcross(47.5, L0, 0)})},
                        {"variants", {{"Pub One", {{"bars", bars({barAcross(47.5, L0, 1)})}}}}}};
    airports["KDUP"] = {{"bars", bars({barAcross(47.6, L0, 1)})}};
    airports["KPLN"] = {{"bars", bars({barAcross(47.7, L0, 1)})}};
    airports["KGLB"] = {{"lead", bars({along(GLAT, GLON, 0)})}};
    airports["KEMP"] = {{"bars", bars({barAcross(47.81, L0, 1)})}};  // nothing lit under it in the global file
    airports["KZERO"] = {{"bars", bars({barAcross(47.91, L0, 1)})}};
    airports["KVAR"] = {{"variants", {{"Other Pub", {{"bars", bars({barAcross(48.0, L0, 1)})}}}}}};
    airports["KPUB"] = {{"bars", bars({barAcross(45.0, L0, 1)})}};
    airports["KBAD"] = {{"bars", bars({barAcross(44.0, L0, 1)})}};
    writeGeometry({{"rev", "r42"}, {"airports", airports}});

    json list = json::array();
    for (const char* pair : {"KXYZ|Pub One", "KDUP|Pub One", "KDUP|", "KPUB|Pub One", "KPUB|", "KPLN|", "KGLB|",
                             "KZERO|", "KBAD|", "KVAR|"}) {
      std::string s = pair;
      const size_t bar = s.find('|');
      json e = {{"platform", "xplane"}, {"icao", s.substr(0, bar)}};
      if (bar + 1 < s.size()) e["publisher"] = s.substr(bar + 1);
      list.push_back(e);
    }
    list.push_back({{"platform", "msfs"}, {"icao", "KQQQ"}});
    writeFile(server + "/ftg/airports.json", json({{"airports", list}}).dump());
    writeFile(server + "/ftg/KXYZ@Pub One.json", netJson({along(47.5, L0, 2)}, "publisher", "x1").dump());
    writeFile(server + "/ftg/KPUB@Pub One.json", netJson({along(45.0, L0, 0)}, "publisher", "p1").dump());
    writeFile(server + "/ftg/KDUP.json", netJson({along(47.6, L0, 0)}, "canonical", "d0").dump());
    writeFile(server + "/ftg/KPLN.json", netJson({along(47.7, L0, 0)}, "canonical", "l0").dump());
    writeFile(server + "/ftg/KGLB.json", netJson({along(GLAT, GLON, 2)}, "canonical", "g1").dump());
    writeFile(server + "/ftg/KVAR.json", netJson({along(48.0, L0, 0)}, "canonical", "v0").dump());
    writeFile(server + "/ftg/KZERO.json",
              R"({"available": true, "pubRev": "z1", "nodes": {}, "edges": [{"a": "x", "b": "y"}]})");
  }
  void put(const std::string& path, const std::string& text) {
    writeFile(path, text);
    testutil::setMtime(path, 1600000000);
    originals[path] = text;
  }
  void writeGeometry(const json& doc) { writeFile(server + "/geometry.json", doc.dump()); }
  orvl::Geometry geometry() const {
    orvl::Geometry g;
    orvl::parseGeometry(json::parse(readFile(server + "/geometry.json")), g);
    return g;
  }
  // Every apt.dat holds its original bytes and has no companion file.
  void expectOriginal(const std::string& why) const {
    for (const auto& [path, text] : originals) {
      EXPECT_TRUE(readFile(path) == text) << why << ": " << path << " is not its original";
      for (const char* c : kCompanions) EXPECT_FALSE(exists(path + c)) << why << ": " << path << c;
    }
  }
};

std::string netLine(const std::string& icao, int edges, const std::string& tag) {
  return "   " + icao + ": FTG network " + std::to_string(edges) + " edge(s)" + tag +
         " - its taxiway centreline lights go with the pass";
}

const char* const kTaken =
    R"({"airports":{"KDUP":[{"c":101,"p":[[47.6,8.5008],[47.6,8.5016]]}],)"
    R"("KGLB":[{"c":105,"p":[[47.1234568,-122.3],[47.1234568,-122.2992]]},)"
    R"({"c":105,"f":1,"p":[[47.1234568,-122.2984],[47.1234568,-122.2976]]}],)"
    R"("KPLN":[{"c":101,"p":[[47.7,8.5008],[47.7,8.5016]]}],)"
    R"("KXYZ":[{"c":101,"p":[[47.5,8.5008],[47.5,8.5016]]},{"c":101,"f":1,"p":[[47.5,8.5016],[47.5,8.5024]]}]},)"
    R"("rev":"r42"})";

std::vector<std::string> passLines(const Install& in) {
  return {
      "   KDUP: FTG network published, but not for this scenery - taxiway lights left alone",
      netLine("KPUB", 1, " [Pub One's network]"),
      netLine("KXYZ", 1, " [Pub One's network]"),
      "   " + in.xyz + "  - 2 airport(s), 3 cut(s)  [Pub One's map]",
      netLine("KPUB", 1, " [Pub One's network]"),  // the quiet pack: cached, claims nothing
      "   " + in.plain + "  - 1 airport(s), 2 cut(s)  [base map - no publisher picked for this add-on]",
      "!! FTG network KBAD: KBAD: could not read the network",
      netLine("KGLB", 1, " [canonical]"),
      netLine("KZERO", 0, " [canonical]"),
      "   " + in.global + "  - 3 airport(s), 2 cut(s)",
  };
}

TEST(PackFolder, NamesThePackOfAnAptDat) {
  const std::pair<const char*, const char*> cases[] = {
      {"/X/Custom Scenery/My Pack/Earth nav data/apt.dat", "My Pack"},
      {"/X/Global Scenery/Global Airports/Earth nav data/apt.dat", ""},
      {"/X/Custom Scenery/Global Scenery/x/Earth nav data/apt.dat", ""},
      {"C:\\X\\Custom Scenery\\Win Pack\\Earth nav data\\apt.dat", "Win Pack"},
      {"/X/Custom Scenery/My Pack/apt.dat", ""},
      {"/X/Custom Scenery/My Pack/Earth nav data/APT.DAT", ""},
      {"P/Earth nav data/apt.dat", "P"},
      {"/Earth nav data/apt.dat", ""},
      {"", ""},
  };
  for (const auto& [path, want] : cases) EXPECT_EQ(orvl::packFolder(path), want) << path;
  EXPECT_EQ(orvl::packKey("KXYZ Demo  Pack_Ä"), "kxyzdemopack_Ä");
  EXPECT_EQ(orvl::sigText("r1", orvl::kSigStart), "r1");
  EXPECT_EQ(orvl::sigText("r1", orvl::foldSig(orvl::kSigStart, "")), "r1");
  // 64-bit FNV-1a from the pass's start value over "p1", "x1": low 48 bits.
  EXPECT_EQ(orvl::sigText("r42", orvl::foldSig(orvl::foldSig(orvl::kSigStart, "p1"), "x1")), "r42+e045ebe92cd3");
  EXPECT_EQ(orvl::sigText("", 0x123), "+000000000123");
}

TEST(ApplyPass, CutsTheInstallationInSceneryOrder) {
  Install in;
  testutil::DevServer srv(in.server, {"--fault", "/api/ftg/KBAD/net", "garbage"});
  ASSERT_TRUE(srv.ok());
  std::vector<std::string> log;
  const orvl::PassResult r = orvl::applyPass(in.root, in.plugin, in.geometry(),
                                             [&](const std::string& l) { log.push_back(l); }, false, "127.0.0.1",
                                             srv.port());
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(r.message, "");
  EXPECT_EQ(r.airports, 6);
  EXPECT_EQ(r.files, 3);
  EXPECT_EQ(r.cuts, 7);
  EXPECT_EQ(r.addonPacks, 1);
  EXPECT_EQ(r.lightRuns, 6);
  EXPECT_EQ(log, passLines(in));

  // Each network asked once per pass and key; none for an airport without a scope.
  EXPECT_EQ(srv.count("/api/ftg/airports"), 1);
  EXPECT_EQ(srv.count("/api/ftg/KPUB/net"), 2);
  EXPECT_EQ(srv.count("/api/ftg/KBAD/net"), 1);
  EXPECT_EQ(srv.count("/api/ftg/KVAR/net"), 0);
  EXPECT_EQ(srv.count("/api/ftg/KPLN/net"), 0);

  // Manifest: one row per claimed airport, per file in pass order.
  const json m = json::parse(readFile(testutil::manifestPath(in.plugin)));
  const std::vector<std::tuple<std::string, std::string, std::string>> rows = {
      {in.xyz, "KXYZ", "r42+e045ebe92cd3"},   {in.xyz, "KDUP", "r42+e045ebe92cd3"},
      {in.plain, "KPLN", "r42+8434e4325bd8"}, {in.global, "KGLB", "r42+36c249e2cd81"},
      {in.global, "KEMP", "r42+36c249e2cd81"}, {in.global, "KZERO", "r42+36c249e2cd81"}};
  ASSERT_EQ(m.size(), rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto& [file, icao, sig] = rows[i];
    EXPECT_EQ(m[i], (json{{"file", file}, {"icao", icao}, {"backup", file + ".orvane-orig"},
                          {"size", testutil::sizeOf(file)}, {"mtime", testutil::mtimeOf(file)}, {"sig", sig},
                          {"owner", "launcher"}, {"quitrestore", false}}));
  }
  EXPECT_EQ(readFile(in.plugin + "/orv_taken.json"), kTaken);

  // Cut files: backup of the original, the real mark.
  for (const std::string& f : {in.xyz, in.plain, in.global}) {
    EXPECT_TRUE(readFile(f + ".orvane-orig") == in.originals[f]) << f;
    EXPECT_EQ(readFile(f + ".orvane-cut"),
              std::to_string(testutil::sizeOf(f)) + " " + std::to_string(testutil::mtimeOf(f)) + "\n");
    EXPECT_FALSE(exists(f + ".orvane-tmp"));
  }
  // CRLF in, "\n" only out.
  const std::string plainNow = readFile(in.plain);
  EXPECT_EQ(plainNow.find('\r'), std::string::npos);
  EXPECT_EQ(plainNow.rfind("I\n1100 Version\n\n1 100 0 0 KPLN", 0), 0u);
  // The global file's copy of an airport claimed higher up, and an airport
  // without a scope, stay byte for byte.
  const std::string globalNow = readFile(in.global);
  EXPECT_NE(globalNow.find("\n\n" + in.kdupBlock + "1 100 0 0 KGLB"), std::string::npos);
  EXPECT_NE(globalNow.find(in.kvarBlock), std::string::npos);
  // Files the pass did not change are left exactly, with nothing beside them.
  for (const std::string& f : {in.quiet, in.disabled}) {
    EXPECT_TRUE(readFile(f) == in.originals[f]) << f;
    EXPECT_EQ(testutil::mtimeOf(f), 1600000000);
    for (const char* c : kCompanions) EXPECT_FALSE(exists(f + c)) << f << c;
  }

  EXPECT_EQ(orvl::restoreAll(in.plugin, nullptr, in.root, nullptr), 3);
  in.expectOriginal("after the restore");
  EXPECT_FALSE(exists(in.plugin + "/orv_taken.json"));
}

TEST(ApplyPass, StaleBackupStopsThePassAndPutsTheRestBack) {
  Install in;
  testutil::DevServer srv(in.server);
  ASSERT_TRUE(srv.ok());
  // The plain pack was cut once and then replaced by an update.
  writeFile(in.plain + ".orvane-orig", "the copy from before the update");
  writeFile(in.plain + ".orvane-cut", "5 1500000000\n");
  const auto before = testutil::snapshot({in.plain, in.plain + ".orvane-orig", in.plain + ".orvane-cut"});
  std::vector<std::string> log;
  const orvl::PassResult r = orvl::applyPass(in.root, in.plugin, in.geometry(),
                                             [&](const std::string& l) { log.push_back(l); }, true, "127.0.0.1",
                                             srv.port());
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message, in.plain + ": " + ftg::staleBackupMsg(in.plain));
  EXPECT_EQ(testutil::snapshot({in.plain, in.plain + ".orvane-orig", in.plain + ".orvane-cut"}), before);
  // The pack cut before the stop is back, and so is everything the pass touched.
  in.originals.erase(in.plain);
  in.expectOriginal("after the stop");
  EXPECT_EQ(json::parse(readFile(testutil::manifestPath(in.plugin))), json::array());
  EXPECT_FALSE(exists(in.plugin + "/orv_taken.json"));
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[3], "   " + in.xyz + "  - 2 airport(s), 3 cut(s)  [Pub One's map]");
  EXPECT_EQ(log.back(), netLine("KPUB", 1, " [Pub One's network]"));  // nothing after the failing file
}

TEST(ApplyPass, NothingTakenIsNotASuccess) {
  Install in;
  testutil::DevServer srv(in.server, {"--fault", "/api/ftg/airports", "status:500"});
  ASSERT_TRUE(srv.ok());
  // Only an airport under whose geometry nothing is lit.
  in.writeGeometry({{"rev", "r9"}, {"airports", {{"KEMP", {{"bars", {lineJson(barAcross(47.81, L0, 1))}}}}}}});
  std::vector<std::string> log;
  const orvl::PassResult r = orvl::applyPass(in.root, in.plugin, in.geometry(),
                                             [&](const std::string& l) { log.push_back(l); }, true, "127.0.0.1",
                                             srv.port());
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message, "the scenery changed behind us - the originals were put back");
  EXPECT_EQ(r.airports, 1);
  EXPECT_EQ(r.files, 0);
  EXPECT_EQ(log, (std::vector<std::string>{
                     "!! could not read the FTG airport list (no answer from 127.0.0.1) - taxi networks left lit",
                     "   " + in.global + "  - defines 1, nothing lit to take",
                     "!! nothing was recorded - the pass did not take."}));
  in.expectOriginal("after a pass that took nothing");
  EXPECT_FALSE(exists(testutil::manifestPath(in.plugin)));

  testutil::TempDir empty;
  const orvl::PassResult none = orvl::applyPass(empty / "", empty / "plugin", in.geometry(), nullptr, true,
                                                "127.0.0.1", srv.port());
  EXPECT_FALSE(none.ok);
  EXPECT_EQ(none.message, "no apt.dat found under " + empty / "");
}

// ---- the command-line tool

TEST(OrvaneCli, SuppressStatusRestore) {
  Install in;
  testutil::DevServer srv(in.server, {"--fault", "/api/ftg/KBAD/net", "garbage"});
  ASSERT_TRUE(srv.ok());
  const std::string host = "127.0.0.1:" + std::to_string(srv.port());
  const std::string home = in.dir / "home";

  std::vector<std::string> want = {"Fetching the published maps from 127.0.0.1...",
                                   "Database: 9 airport(s), 7 bar(s), 2 add-on map(s)  [rev r42]",
                                   "Restoring any previous pass..."};
  const std::vector<std::string> pass = passLines(in);
  want.insert(want.end(), pass.begin(), pass.end());
  for (const char* l : {"Suppressed 6 airport(s) across 3 file(s), 7 cut(s).",
                        "   1 add-on pack(s) from their own published map.",
                        "   6 light run(s) recorded to put back while nobody is controlling.",
                        "Verified: Orvane scenery files have been imported."})
    want.push_back(l);
  testutil::CliRun r = testutil::cli({"suppress", "--root", in.root, "--host", host}, home);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.lines, want);
  EXPECT_EQ(readFile(in.plugin + "/orv_taken.json"), kTaken);
  EXPECT_EQ(json::parse(readFile(testutil::manifestPath(in.plugin)))[0]["quitrestore"], true);

  r = testutil::cli({"status", "--root", in.root}, home);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.lines, (std::vector<std::string>{
                         "Scenery: Orvane modified - lights suppressed (6 airport(s) in 3 file(s))  "
                         "[sig r42+e045ebe92cd3, by launcher]"}));

  // Without the server a suppressed installation is left exactly as it is.
  const std::string manifestBefore = readFile(testutil::manifestPath(in.plugin));
  const std::string globalBefore = readFile(in.global);
  r = testutil::cli({"suppress", "--root", in.root, "--host", "127.0.0.1:" + std::to_string(testutil::unusedPort())},
                    home);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.lines, (std::vector<std::string>{"Fetching the published maps from 127.0.0.1...",
                                               "!! no answer from 127.0.0.1",
                                               "Your scenery is left exactly as it is - nothing was touched."}));
  EXPECT_EQ(readFile(testutil::manifestPath(in.plugin)), manifestBefore);
  EXPECT_TRUE(readFile(in.global) == globalBefore);

  // A second pass starts from the originals and ends the same way.
  r = testutil::cli({"suppress", "--root", in.root, "--host", host}, home);
  EXPECT_EQ(r.status, 0);
  ASSERT_GE(r.lines.size(), 6u);
  EXPECT_EQ(r.lines[3], "   restored  " + in.xyz + "  - restored original apt.dat");
  EXPECT_EQ(r.lines.back(), "Verified: Orvane scenery files have been imported.");

  r = testutil::cli({"restore", "--root", in.root}, home);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.lines, (std::vector<std::string>{"Restoring the original scenery...",
                                               "   restored  " + in.xyz + "  - restored original apt.dat",
                                               "   restored  " + in.plain + "  - restored original apt.dat",
                                               "   restored  " + in.global + "  - restored original apt.dat",
                                               "Original scenery files have been restored."}));
  in.expectOriginal("after orvane-cli restore");
  r = testutil::cli({"restore", "--root", in.root}, home);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.lines, (std::vector<std::string>{"Restoring the original scenery...", "   (nothing was suppressed)"}));
  r = testutil::cli({"status", "--root", in.root}, home);
  EXPECT_EQ(r.lines, (std::vector<std::string>{"Scenery: original - lights not suppressed"}));

  // No server: nothing is touched and the exit status says so.
  r = testutil::cli({"suppress", "--root", in.root, "--host", "127.0.0.1:" + std::to_string(testutil::unusedPort())}, home);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.lines, (std::vector<std::string>{"Fetching the published maps from 127.0.0.1...",
                                               "!! no answer from 127.0.0.1",
                                               "Nothing was changed - start X-Plane normally."}));
  in.expectOriginal("after a suppress without a server");

  EXPECT_EQ(testutil::cli({"suppress", "--root", in.dir / "not xplane"}, home).status, 2);
  EXPECT_EQ(testutil::cli({"frobnicate", "--root", in.root}, home).status, 2);
  EXPECT_EQ(testutil::cli({"status"}, home).status, 2);
}

TEST(OrvaneCli, RefusesWhileXPlaneRunsFromTheRoot) {
  Install in;
  testutil::DevServer srv(in.server);
  ASSERT_TRUE(srv.ok());
  const std::string home = in.dir / "home";
  // Any program whose executable lies inside the root counts as X-Plane.
  const std::string fake = in.root + "X-Plane-x86_64";
  std::filesystem::copy_file("/bin/sleep", fake);
  std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
  std::string arg0 = fake, arg1 = "30";
  char* av[] = {arg0.data(), arg1.data(), nullptr};
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, fake.c_str(), nullptr, nullptr, av, environ), 0);
  std::string lower = in.root;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (int i = 0; i < 100 && !orvl::simRunning(lower); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));

  for (const char* cmd : {"suppress", "restore"}) {
    const testutil::CliRun r = testutil::cli({cmd, "--root", in.root, "--host", "127.0.0.1:" + std::to_string(srv.port())}, home);
    EXPECT_EQ(r.status, 1) << cmd;
    EXPECT_EQ(r.lines, (std::vector<std::string>{"!! X-Plane is running. Close it first."})) << cmd;
  }
  const testutil::CliRun st = testutil::cli({"status", "--root", in.root}, home);
  EXPECT_EQ(st.status, 0);
  EXPECT_EQ(st.lines.back(), "X-Plane is running from this folder.");
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  in.expectOriginal("while X-Plane ran");
  EXPECT_EQ(srv.count("/api/suppress/geometry"), 0);
}

}  // namespace
