// File primitives, cut marks and the manifest.
#include <gtest/gtest.h>

#include "scenery/files.h"
#include "tests/support/scenery_cut.h"
#include "tests/support/tmpdir.h"

using namespace testutil;

TEST(SceneryCopy, CopiesOverAnExistingTargetAndLeavesNoPartFile) {
  TempDir d;
  std::string big(3 * 1024 * 1024 + 17, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 131 + (i >> 9));
  writeFile(d / "src", big);
  writeFile(d / "dst", "old contents");
  ASSERT_TRUE(ftg::copyFile(d / "src", d / "dst"));
  EXPECT_EQ(readFile(d / "dst"), big);
  EXPECT_FALSE(exists(d / "dst.orvane-part"));
}

TEST(SceneryCopy, EmptySourceGivesAnEmptyCopy) {
  TempDir d;
  writeFile(d / "empty", "");
  writeFile(d / "dst", "something that must go");
  ASSERT_TRUE(ftg::copyFile(d / "empty", d / "dst"));
  EXPECT_TRUE(exists(d / "dst"));
  EXPECT_EQ(sizeOf(d / "dst"), 0);
  EXPECT_FALSE(exists(d / "dst.orvane-part"));
}

TEST(SceneryCopy, UnreadableSourcesFailAndLeaveTheTarget) {
  TempDir d;
  writeFile(d / "dst", "keep me");
  std::filesystem::create_directories(d / "folder");
  for (const std::string& src : {d / "missing", d / "folder"}) {
    SCOPED_TRACE(src);
    EXPECT_FALSE(ftg::copyFile(src, d / "dst"));
    EXPECT_EQ(readFile(d / "dst"), "keep me");
    EXPECT_FALSE(exists(d / "dst.orvane-part"));
  }
  // A target in a folder that does not exist: nothing is created.
  writeFile(d / "src", "x");
  EXPECT_FALSE(ftg::copyFile(d / "src", d / "nofolder/dst"));
  EXPECT_FALSE(exists(d / "nofolder"));
}

TEST(SceneryReplace, RenamesOntoTheTarget) {
  TempDir d;
  writeFile(d / "a", "new");
  writeFile(d / "b", "old");
  EXPECT_TRUE(ftg::syncFile(d / "a"));
  EXPECT_TRUE(ftg::replaceFile(d / "a", d / "b"));
  EXPECT_EQ(readFile(d / "b"), "new");
  EXPECT_FALSE(exists(d / "a"));
  EXPECT_FALSE(ftg::replaceFile(d / "a", d / "b"));
  EXPECT_FALSE(ftg::syncFile(d / "a"));
  EXPECT_TRUE(ftg::syncFolder(d / "b"));
  EXPECT_TRUE(ftg::fileExists(d.path()));
  EXPECT_FALSE(ftg::fileExists(d / "a"));
}

TEST(SceneryMark, WrittenAsOneLineAndReadBack) {
  TempDir d;
  const std::string p = d / "apt.dat";
  ASSERT_TRUE(ftg::writeMark(p, 123456789012LL, -5));
  EXPECT_EQ(readFile(p + ".orvane-cut"), "123456789012 -5\n");
  ftg::CutMark m = ftg::readCutMark(p);
  EXPECT_TRUE(m.valid);
  EXPECT_EQ(m.size, 123456789012LL);
  EXPECT_EQ(m.mtime, -5);
  EXPECT_FALSE(ftg::writeMark(d / "nofolder/apt.dat", 1, 1));

  struct Case { const char* text; bool valid; };
  for (Case c : {Case{"  7\n 8 trailing words", true}, Case{"123\n", false}, Case{"", false},
                 Case{"x 1", false}, Case{"99999999999999999999 1", false}}) {
    SCOPED_TRACE(c.text);
    writeFile(p + ".orvane-cut", c.text);
    EXPECT_EQ(ftg::readCutMark(p).valid, c.valid);
  }
  std::remove((p + ".orvane-cut").c_str());
  EXPECT_FALSE(ftg::readCutMark(p).valid);
}

TEST(SceneryMark, MatchesBySizeAndSecond) {
  TempDir d;
  const std::string p = d / "apt.dat";
  writeFile(p, "0123456789");
  setMtime(p, 1700000000);
  EXPECT_TRUE(ftg::markSays({10, 1700000000, true}, p));
  EXPECT_FALSE(ftg::markSays({10, 1700000000, false}, p));
  EXPECT_FALSE(ftg::markSays({11, 1700000000, true}, p));
  EXPECT_FALSE(ftg::markSays({10, 1700000001, true}, p));
  writeFile(p, "0123456789A");  // one byte more
  setMtime(p, 1700000000);
  EXPECT_FALSE(ftg::markSays({10, 1700000000, true}, p));
  setMtime(p, 1700000001);  // one second later
  EXPECT_FALSE(ftg::markSays({11, 1700000000, true}, p));
  EXPECT_FALSE(ftg::markSays({10, 1700000000, true}, d / "missing"));
  // An empty file matches a mark of size 0.
  writeFile(p, "");
  setMtime(p, 1700000000);
  EXPECT_TRUE(ftg::markSays({0, 1700000000, true}, p));
}

TEST(SceneryMark, ProvisionalMarkHoldsForOneHourAfterTheMarkFile) {
  TempDir d;
  const std::string p = d / "apt.dat";
  writeFile(p, "data");
  ASSERT_TRUE(ftg::writeMark(p, -1, 0));
  setMtime(p + ".orvane-cut", 1700000000);
  ftg::CutMark m = ftg::readCutMark(p);
  ASSERT_TRUE(m.valid);
  setMtime(p, 1700000000 - 100);
  EXPECT_TRUE(ftg::markSays(m, p));
  setMtime(p, 1700000000 + 3600);
  EXPECT_TRUE(ftg::markSays(m, p));
  setMtime(p, 1700000000 + 3601);
  EXPECT_FALSE(ftg::markSays(m, p));
  std::remove((p + ".orvane-cut").c_str());  // no mark file to compare with
  EXPECT_TRUE(ftg::markSays(m, p));
}

TEST(SceneryManifest, OddFilesReadAsAnEmptyArray) {
  TempDir d;
  const std::string file = "/x/Earth nav data/apt.dat";
  struct Case { const char* name; const char* text; size_t rows; bool markValid; };
  const Case cases[] = {
      {"missing", nullptr, 0, false},
      {"empty", "", 0, false},
      {"invalid", "[{\"file\": ", 0, false},
      {"object", "{\"file\": \"/x/Earth nav data/apt.dat\", \"size\": 5}", 0, false},
      {"size 0", "[{\"file\": \"/x/Earth nav data/apt.dat\", \"size\": 0, \"mtime\": 9}]", 1, false},
      {"trailing text ignored", "[{\"file\": \"/x/Earth nav data/apt.dat\", \"size\": 5, \"mtime\": 9}] junk", 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove(manifestPath(d.path()).c_str());
    if (c.text) writeFile(manifestPath(d.path()), c.text);
    nlohmann::json m = ftg::loadManifest(d.path());
    EXPECT_TRUE(m.is_array());
    EXPECT_EQ(m.size(), c.rows);
    EXPECT_EQ(ftg::manifestMark(d.path(), file).valid, c.markValid);
  }
}

TEST(SceneryManifest, FirstRowOfAFileGivesTheMarkAndWronglyTypedMembersAreAbsent) {
  TempDir d;
  writeFile(manifestPath(d.path()), R"([
    5, "row", null, [1],
    {"file": 7, "size": 100, "mtime": 1},
    {"file": "/a", "size": "100", "mtime": 1},
    {"file": "/b", "size": 100, "mtime": "1"},
    {"file": "/b", "size": 200, "mtime": 2},
    {"file": "/c", "size": 1.5e3, "mtime": 3},
    {"file": "/d", "size": 18446744073709551615, "mtime": 3},
    {"file": "/e", "size": 300, "mtime": 4},
    {"file": "/e", "size": 400, "mtime": 5}
  ])");
  struct Case { const char* file; long long size, mtime; bool valid; };
  for (Case c : {Case{"/a", 0, 1, false}, Case{"/b", 100, 0, true}, Case{"/c", 0, 3, false},
                 Case{"/d", 0, 3, false}, Case{"/e", 300, 4, true}, Case{"/none", 0, 0, false}}) {
    SCOPED_TRACE(c.file);
    ftg::CutMark m = ftg::manifestMark(d.path(), c.file);
    EXPECT_EQ(m.valid, c.valid);
    EXPECT_EQ(m.size, c.size);
    EXPECT_EQ(m.mtime, c.mtime);
  }
}

TEST(SceneryManifest, SavedPrettyWithOneSpaceIndentSortedKeysAndRawUtf8) {
  TempDir d;
  nlohmann::json v = nlohmann::json::array();
  v.push_back({{"size", 12}, {"file", "/Custom Scenery/Zürich/apt.dat"}, {"quitrestore", false}});
  ftg::saveManifest(d.path(), v);
  EXPECT_EQ(readFile(manifestPath(d.path())),
            "[\n {\n  \"file\": \"/Custom Scenery/Zürich/apt.dat\",\n  \"quitrestore\": false,\n  \"size\": 12\n }\n]");
  ftg::saveManifest(d.path(), nlohmann::json::array());
  EXPECT_EQ(readFile(manifestPath(d.path())), "[]");

  // A value that cannot be printed as JSON (bytes that are not UTF-8) leaves the file alone.
  writeFile(manifestPath(d.path()), "[1]");
  nlohmann::json bad = nlohmann::json::array({{{"file", std::string("/bad\xff/apt.dat")}}});
  ftg::saveManifest(d.path(), bad);
  EXPECT_EQ(readFile(manifestPath(d.path())), "[1]");
  ftg::saveManifest(d / "nofolder", v);  // nothing to report, nothing thrown
  EXPECT_FALSE(exists(d / "nofolder"));
}

TEST(SceneryForget, RemovesBackupMarkAndOnlyThatFilesRows) {
  TempDir d;
  const std::string plug = d / "plugin";
  const std::string a = d / "A/Earth nav data/apt.dat", b = d / "B/Earth nav data/apt.dat";
  cutByHand(a, "orig a", "cut a", plug, {"AAAA", "AAAB"});
  cutByHand(b, "orig b", "cut b", plug, {"BBBB"});
  ftg::forgetFile(a, plug);
  EXPECT_FALSE(exists(a + ".orvane-orig"));
  EXPECT_FALSE(exists(a + ".orvane-cut"));
  EXPECT_EQ(readFile(a), "cut a");
  nlohmann::json m = ftg::loadManifest(plug);
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0]["file"], b);
  EXPECT_TRUE(exists(b + ".orvane-orig"));

  // A file without rows: backup and mark go, the manifest file is not rewritten.
  writeFile(manifestPath(plug), "[ {\"file\": 3},\n 1 ]  ");
  writeFile(a + ".orvane-orig", "x");
  writeFile(a + ".orvane-cut", "1 2\n");
  ftg::forgetFile(a, plug);
  EXPECT_FALSE(exists(a + ".orvane-orig"));
  EXPECT_FALSE(exists(a + ".orvane-cut"));
  EXPECT_EQ(readFile(manifestPath(plug)), "[ {\"file\": 3},\n 1 ]  ");
}

TEST(SceneryStale, BackupWithAMarkThatNoLongerMatches) {
  TempDir d;
  const std::string p = d / "apt.dat";
  cutByHand(p, "orig", "cut", d / "plugin", {});
  EXPECT_FALSE(ftg::staleBackup(p));
  writeFile(p, "replaced by an update");
  EXPECT_TRUE(ftg::staleBackup(p));
  EXPECT_EQ(ftg::staleBackupMsg(p),
            p + " changed since Orvane cut it (a sim or scenery update?) - the copy at " + p +
                ".orvane-orig is from BEFORE that change. Delete it (or put it back by hand) before suppressing again.");
  std::remove((p + ".orvane-cut").c_str());
  EXPECT_FALSE(ftg::staleBackup(p));  // no valid mark: not stale, only unknown
  writeFile(p + ".orvane-cut", "3 1700000000\n");
  std::remove((p + ".orvane-orig").c_str());
  EXPECT_FALSE(ftg::staleBackup(p));
}
