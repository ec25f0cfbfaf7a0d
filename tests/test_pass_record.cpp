// Recording a pass: manifest rows, the taken-runs file and the check of the
// record against the disk.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "scenery/record.h"
#include "tests/support/scenery_cut.h"
#include "tests/support/tmpdir.h"

namespace {

using testutil::readFile;
using testutil::writeFile;

nlohmann::json manifestOf(const std::string& pluginDir) {
  return nlohmann::json::parse(readFile(testutil::manifestPath(pluginDir)));
}

TEST(RecordPass, ReplacesTheFilesRowsAndKeepsOthers) {
  testutil::TempDir dir;
  const std::string plugin = dir / "plugin";
  const std::string a = dir / "A/Earth nav data/apt.dat", b = dir / "B/Earth nav data/apt.dat";
  writeFile(a, "1 0 0 0 KAAA\n");
  testutil::setMtime(a, 1700000123);
  writeFile(b, "x");
  testutil::addRows(plugin, a, {"OLD1", "OLD2"}, 99, 5);
  testutil::addRows(plugin, b, {"KBEE"}, 1, 1700000000);

  ftgdb::recordPass(plugin, a, {"KAAA", "KBBB"}, "r1+0123456789ab", "launcher", false);
  nlohmann::json m = manifestOf(plugin);
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m[0]["file"], b);
  for (int i = 0; i < 2; ++i) {
    const nlohmann::json& row = m[1 + i];
    EXPECT_EQ(row, (nlohmann::json{{"file", a}, {"icao", i == 0 ? "KAAA" : "KBBB"}, {"backup", a + ".orvane-orig"},
                                   {"size", 13}, {"mtime", 1700000123}, {"sig", "r1+0123456789ab"},
                                   {"owner", "launcher"}, {"quitrestore", false}}));
  }
  // Duplicates stay; a vanished file is recorded with size and time 0.
  std::filesystem::remove(a);
  ftgdb::recordPass(plugin, a, {"KAAA", "KAAA"}, "r1", "launcher", true);
  m = manifestOf(plugin);
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m[1]["icao"], "KAAA");
  EXPECT_EQ(m[2]["icao"], "KAAA");
  EXPECT_EQ(m[2]["size"], 0);
  EXPECT_EQ(m[2]["mtime"], 0);
  EXPECT_EQ(m[2]["quitrestore"], true);
  // An empty list removes the file's rows and still saves.
  ftgdb::recordPass(plugin, a, {}, "r1", "launcher", true);
  m = manifestOf(plugin);
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0]["file"], b);
}

TEST(WriteTaken, CompactSortedRoundedText) {
  ftgdb::TakenMap runs;
  runs["KSEA"].push_back({105, {{47.12345678, -122.3}, {47.2, -122.30000004}}, true});
  runs["KSEA"].push_back({101, {{47.0, 8.0}, {0.00001234, -0.5}}, false});
  // Halves go away from zero (to-even would give 0 and 47.0).
  runs["EDDF"].push_back({103, {{5e-08, -5e-08}, {47.00000005, -47.00000005}}, false});
  runs["EDDF"].push_back({104, {{1, 2}, {3, 4}}, true});
  const std::string want =
      R"({"airports":{"EDDF":[{"c":103,"p":[[1e-07,-1e-07],[47.0000001,-47.0000001]]},)"
      R"({"c":104,"f":1,"p":[[1.0,2.0],[3.0,4.0]]}],)"
      R"("KSEA":[{"c":105,"f":1,"p":[[47.1234568,-122.3],[47.2,-122.3]]},)"
      R"({"c":101,"p":[[47.0,8.0],[1.23e-05,-0.5]]}]},"rev":"2024-06 \"b\""})";
  EXPECT_EQ(orvl::takenJson("2024-06 \"b\"", runs), want);

  testutil::TempDir dir;
  ASSERT_TRUE(orvl::writeTaken(dir.path(), "2024-06 \"b\"", runs));
  EXPECT_EQ(readFile(dir / "orv_taken.json"), want);
  writeFile(dir / "orv_taken.json", std::string(5000, 'x'));  // an older, longer file is truncated
  ASSERT_TRUE(orvl::writeTaken(dir.path(), "r", {}));
  EXPECT_EQ(readFile(dir / "orv_taken.json"), R"({"airports":{},"rev":"r"})");
  // A plugin folder not made yet is made; one that cannot be made fails.
  EXPECT_TRUE(orvl::writeTaken(dir / "not yet/Orvane", "r", {}));
  EXPECT_EQ(readFile(dir / "not yet/Orvane/orv_taken.json"), R"({"airports":{},"rev":"r"})");
  writeFile(dir / "a file", "x");
  EXPECT_FALSE(orvl::writeTaken(dir / "a file/Orvane", "r", runs));
}

TEST(VerifyRecord, GoneRowsWrongSizesAndNothingRecorded) {
  struct Case {
    const char* name;
    bool withRows;
    int airports;
    int problems;
    std::vector<std::string> lines;
  };
  testutil::TempDir dir;
  const std::string plugin = dir / "plugin";
  const std::string ok = dir / "Ok/Earth nav data/apt.dat";
  const std::string changed = dir / "Changed/Earth nav data/apt.dat";
  const std::string gone = dir / "Gone/Earth nav data/apt.dat";
  const std::string lost = dir / "Lost/Earth nav data/apt.dat";  // file gone, backup still there
  const Case cases[] = {
      {"sound record", false, 0, 0, {}},
      {"nothing recorded", false, 2, 1, {"!! nothing was recorded - the pass did not take."}},
      {"rows on disk",
       true,
       3,
       2,
       {"!! not what we wrote: " + changed, "   gone      " + gone + " - the pack was uninstalled; dropping its record",
        "   gone      " + gone + " - the pack was uninstalled; dropping its record", "!! not what we wrote: " + lost}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(plugin);
    std::filesystem::create_directories(plugin);
    if (c.withRows) {
      writeFile(ok, "12345");
      writeFile(changed, "123456");
      writeFile(lost + ".orvane-orig", "orig");
      testutil::addRows(plugin, ok, {"KOK1", "KOK2"}, 5, 1);
      testutil::addRows(plugin, changed, {"KCH1", "KCH2", "KCH3"}, 5, 1);
      testutil::addRows(plugin, gone, {"KGO1", "KGO2"}, 5, 1);
      testutil::addRows(plugin, lost, {"KLO1"}, 4, 1);
      nlohmann::json m = manifestOf(plugin);
      m.push_back({{"icao", "NOFILE"}});
      m.push_back("not a row");
      writeFile(testutil::manifestPath(plugin), m.dump(1));
    }
    std::vector<std::string> lines;
    EXPECT_EQ(orvl::verifyRecord(plugin, [&](const std::string& l) { lines.push_back(l); }, c.airports), c.problems);
    EXPECT_EQ(lines, c.lines);
    if (c.withRows) {
      const nlohmann::json m = manifestOf(plugin);
      ASSERT_EQ(m.size(), 8u);  // the gone rows were dropped, rows without a file kept
      for (const auto& row : m) {
        if (row.is_object() && row.contains("file")) {
          EXPECT_NE(row["file"], gone);
        }
      }
    }
  }
}

}  // namespace
