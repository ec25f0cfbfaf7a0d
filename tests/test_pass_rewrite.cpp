// Rewriting one apt.dat block by block, and the suppression of one file with
// its backup and cut mark.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "scenery/rewrite.h"
#include "tests/support/pass_fixture.h"
#include "tests/support/scenery_cut.h"
#include "tests/support/tmpdir.h"
#include "tests/support/tmpfs.h"

namespace {

using testutil::exists;
using testutil::readFile;
using testutil::writeFile;

// A generated file of about 4 MB (several read chunks, lines that straddle
// them, mixed line ends) and what the rewrite must make of it when the
// callback appends a row to every seventh block.
struct Generated {
  std::string input, expected;
  std::vector<std::string> ids;  // every block's identifier, in order
};

Generated generate() {
  Generated g;
  auto line = [&](const std::string& text, const char* end) {
    g.input += text + end;
    g.expected += text + "\n";
  };
  line("I", "\r\n");
  line("1200 Version - data cycle 2024.01", "\n");
  line("", "\n");
  for (int b = 0; b < 2000; ++b) {
    const std::string id = "A" + std::to_string(b);
    const char* end = b % 2 ? "\r\n" : "\n";
    const char* code = b % 50 == 1 ? "16" : b % 50 == 2 ? "17" : "1";
    if (b % 3 == 0) {
      line(std::string(code) + " 0 0 0 HDR" + std::to_string(b) + " name", end);
      line("1302 icao_code " + id, end);
    } else {
      line(std::string(code) + " 0 0 0 " + id + " name", end);
    }
    for (int k = 0; k <= b % 5; ++k) line("111 47.0 8.0 " + std::string((b * 37 + k * 101) % 900, 'x'), end);
    if (b % 11 == 0) line("1\t0 0 0 TAB not a header", end);
    if (b % 97 == 0) line(std::string(6000 + b, 'L'), end);
    line("", end);
    g.ids.push_back(id);
    if (b % 7 == 0) g.expected += "CHANGED " + id + "\n";
  }
  line("99", "\r\n");
  line("after the end row", "\n");
  g.input += "a last line without its end";
  g.expected += "a last line without its end\n";
  return g;
}

TEST(RewriteBlocks, StreamsEveryLineAndBlockAcrossReadChunks) {
  testutil::TempDir dir;
  const std::string f = dir / "apt.dat";
  const Generated g = generate();
  ASSERT_GT(g.input.size(), 2u << 20);
  writeFile(f, g.input);

  std::vector<std::string> seen;
  bool headersOk = true;
  bool changed = false;
  ASSERT_TRUE(ftg::rewriteBlocks(
      f,
      [&](const std::string& icao, std::vector<std::string>& rows) {
        seen.push_back(icao);
        if (rows.empty() || (rows[0][0] != '1')) headersOk = false;
        const size_t n = seen.size() - 1;
        if (n % 7 != 0) return false;
        rows.push_back("CHANGED " + icao);
        return true;
      },
      changed));
  EXPECT_TRUE(changed);
  EXPECT_TRUE(headersOk);
  EXPECT_EQ(seen, g.ids);
  EXPECT_TRUE(readFile(f) == g.expected) << "the rewritten file differs from the expected text";
  EXPECT_FALSE(exists(f + ".orvane-tmp"));

  // Blocks the callback does not want are copied through without it.
  seen.clear();
  writeFile(f, g.input);
  ASSERT_TRUE(ftg::rewriteBlocks(
      f,
      [&](const std::string& icao, std::vector<std::string>& rows) {
        seen.push_back(icao);
        rows.push_back("CHANGED " + icao);
        return true;
      },
      changed, [](const std::string& icao) { return (std::stoi(icao.substr(1)) % 7) == 0; }));
  EXPECT_EQ(seen.size(), (g.ids.size() + 6) / 7);
  EXPECT_TRUE(readFile(f) == g.expected);
}

TEST(RewriteBlocks, UnchangedFileStaysAsItWas) {
  testutil::TempDir dir;
  const std::string f = dir / "apt.dat";
  const Generated g = generate();
  writeFile(f, g.input);
  testutil::setMtime(f, 1600000000);
  bool changed = true;
  int calls = 0;
  ASSERT_TRUE(ftg::rewriteBlocks(f, [&](const std::string&, std::vector<std::string>&) { return ++calls < 0; }, changed));
  EXPECT_FALSE(changed);
  EXPECT_EQ(calls, 2000);
  EXPECT_TRUE(readFile(f) == g.input);
  EXPECT_EQ(testutil::mtimeOf(f), 1600000000);
  EXPECT_FALSE(exists(f + ".orvane-tmp"));
}

// A read error is not the end of the file: nothing may replace F.
TEST(RewriteBlocks, ReadErrorsFailAndLeaveTheFile) {
  testutil::TempDir dir;
  const auto changeAll = [](const std::string&, std::vector<std::string>& rows) {
    rows.push_back("CHANGED");
    return true;
  };
  bool changed = true;
  // Reading a folder fails at once; taken for an empty file it would pass.
  std::filesystem::create_directories(dir / "folder");
  EXPECT_FALSE(ftg::rewriteBlocks(dir / "folder", changeAll, changed));
  EXPECT_FALSE(changed);
  EXPECT_FALSE(exists(dir / "folder.orvane-tmp"));

  // A disk that fails half way, after blocks that changed.
  const std::string f = dir / "apt.dat";
  const Generated g = generate();
  writeFile(f, g.input);
  for (int64_t at : {int64_t(0), int64_t(1) << 20, int64_t(g.input.size() / 2), int64_t(g.input.size() - 1)}) {
    SCOPED_TRACE(at);
    ftg::failRewriteReadsAfter(at);
    EXPECT_FALSE(ftg::rewriteBlocks(f, changeAll, changed));
    ftg::failRewriteReadsAfter(-1);
    EXPECT_TRUE(readFile(f) == g.input);
    EXPECT_FALSE(exists(f + ".orvane-tmp"));
  }
  EXPECT_FALSE(ftg::rewriteBlocks(dir / "missing", changeAll, changed));
}

// ---- suppressAll

const double kLon0 = 8.5;

struct OneFile {
  testutil::TempDir dir;
  std::string plugin = dir / "plugin";
  std::string f = dir / "Pack/Earth nav data/apt.dat";
  std::string b = f + ".orvane-orig", mark = f + ".orvane-cut";
  std::string original;
  ftgdb::Scopes scopes;
  ftg::SuppressScope base;

  OneFile() {
    std::filesystem::create_directories(plugin);
    original = "I\n1200 Version\n\n" + testutil::joinRows(testutil::airportRows("KONE", 47.5, kLon0)) + "99\n";
    writeFile(f, original);
    testutil::setMtime(f, 1650000000);
    scopes["KONE"].bars = {testutil::barAcross(47.5, kLon0, 1)};
  }
  ftg::OpResult run(std::vector<std::string>& claimed, ftgdb::TakenMap* taken = nullptr) {
    return ftgdb::suppressAll(f, scopes, base, claimed, taken, plugin);
  }
};

std::string markOf(const std::string& path) {
  return std::to_string(testutil::sizeOf(path)) + " " + std::to_string(testutil::mtimeOf(path)) + "\n";
}

TEST(SuppressAll, BackupAndMarkDecisions) {
  enum Mark { kNone, kMatching, kOther, kRowMatching, kRowOther };
  struct Case {
    const char* name;
    bool priorBackup;
    Mark mark;
    std::string failure;  // empty: the file is cut
  };
  const std::string F = "<F>";
  const Case cases[] = {
      {"no backup, no mark: a fresh backup", false, kNone, ""},
      {"a backup without any mark is reused", true, kNone, ""},
      {"a backup whose mark says F is reused", true, kMatching, ""},
      {"a backup whose manifest row says F is reused", true, kRowMatching, ""},
      {"a backup older than a change of F", true, kOther, "stale"},
      {"a backup older than a change of F, by the manifest", true, kRowOther, "stale"},
      {"a cut file whose backup is gone", false, kMatching, "gone"},
      {"the mark of an older file goes", false, kOther, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OneFile x;
    if (c.priorBackup) writeFile(x.b, "an older copy");
    if (c.mark == kMatching) writeFile(x.mark, markOf(x.f));
    if (c.mark == kOther) writeFile(x.mark, "12 1650000000\n");
    if (c.mark == kRowMatching) testutil::addRows(x.plugin, x.f, {"KONE"}, testutil::sizeOf(x.f), 1650000000);
    if (c.mark == kRowOther) testutil::addRows(x.plugin, x.f, {"KONE"}, 12, 1650000000);
    const auto before = testutil::snapshot({x.f, x.b, x.mark});

    std::vector<std::string> claimed{"EARLIER"};
    const ftg::OpResult r = x.run(claimed);
    if (c.failure.empty()) {
      EXPECT_TRUE(r.ok) << r.message;
      EXPECT_TRUE(r.changed);
      EXPECT_EQ(r.count, 2);
      EXPECT_EQ(r.message, "1 airport(s), 2 cut(s)");
      EXPECT_EQ(claimed, (std::vector<std::string>{"EARLIER", "KONE"}));
      EXPECT_EQ(readFile(x.b), c.priorBackup ? "an older copy" : x.original);
      EXPECT_EQ(readFile(x.mark), markOf(x.f));
      EXPECT_NE(readFile(x.f), x.original);
    } else {
      EXPECT_FALSE(r.ok);
      const std::string want = c.failure == "stale"
                                   ? ftg::staleBackupMsg(x.f)
                                   : "Orvane already cut " + x.f + " and its backup (" + x.b +
                                         ") is gone - restore the scenery (or reinstall the pack) before suppressing again";
      EXPECT_EQ(r.message, want);
      EXPECT_EQ(claimed.size(), 1u);
      EXPECT_EQ(testutil::snapshot({x.f, x.b, x.mark}), before);
    }
    EXPECT_FALSE(exists(x.f + ".orvane-tmp"));
  }
}

TEST(SuppressAll, NoRewriteWithoutAProvisionalMark) {
  // The mark's place is taken by a folder, so no mark can be written: F must
  // not be cut, since nothing could later tell it from a replaced file.
  OneFile x;
  std::filesystem::create_directories(x.mark);
  std::vector<std::string> claimed;
  const ftg::OpResult r = x.run(claimed);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message, "rewrite failed for " + x.f + " - the original is at " + x.b);
  EXPECT_EQ(readFile(x.f), x.original);
  EXPECT_EQ(readFile(x.b), x.original);
  EXPECT_TRUE(claimed.empty());
  EXPECT_FALSE(exists(x.f + ".orvane-tmp"));
}

TEST(SuppressAll, FilesItDoesNotChangeKeepNothingNew) {
  using testutil::airportRows;
  using testutil::joinRows;
  struct Case {
    const char* name;
    std::vector<std::string> scoped;  // airports given a (far away) bar
    bool priorBackup;
    bool priorMark;
    std::string message;
    std::vector<std::string> claimed;
  };
  const Case cases[] = {
      {"no airports left", {}, false, false, "nothing left to claim", {}},
      {"two covered airports, nothing lit under them", {"KAAA", "KBBB"}, false, false,
       "defines 2, nothing lit to take", {"KAAA", "KBBB"}},
      {"no covered airport", {"KZZZ"}, false, false, "defines none of them", {}},
      {"an older backup stays", {"KAAA"}, true, false, "defines 1, nothing lit to take", {"KAAA"}},
      {"an older backup and its mark stay", {"KAAA"}, true, true, "defines 1, nothing lit to take", {"KAAA"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OneFile x;
    x.original = "I\r\n1200 Version\r\n" + joinRows(airportRows("KAAA", 47.5, kLon0), "\r\n") +
                 joinRows(airportRows("KBBB", 47.6, kLon0), "\r\n") + "99";
    writeFile(x.f, x.original);
    testutil::setMtime(x.f, 1650000000);
    x.scopes.clear();
    for (const auto& id : c.scoped) x.scopes[id].bars = {testutil::barAcross(47.7, kLon0, 1)};
    if (c.priorBackup) writeFile(x.b, "older");
    const std::string markText = std::to_string(testutil::sizeOf(x.f)) + " 1650000000\n";
    if (c.priorMark) writeFile(x.mark, markText);
    std::vector<std::string> claimed;
    const ftg::OpResult r = x.run(claimed);
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(r.changed);
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(r.message, c.message);
    EXPECT_EQ(claimed, c.claimed);
    EXPECT_TRUE(readFile(x.f) == x.original);
    EXPECT_EQ(testutil::mtimeOf(x.f), 1650000000);
    EXPECT_EQ(exists(x.b), c.priorBackup);
    EXPECT_EQ(exists(x.mark), c.priorMark);
    if (c.priorMark) {
      EXPECT_EQ(readFile(x.mark), markText);
    }
    EXPECT_FALSE(exists(x.mark + ".orvane-part"));
    EXPECT_FALSE(exists(x.f + ".orvane-tmp"));
    EXPECT_FALSE(exists(x.b + ".orvane-part"));
  }
}

TEST(SuppressAll, ClaimsEveryBlockAndKeepsTheLastRunsOfAnAirport) {
  using testutil::airportRows;
  using testutil::joinRows;
  OneFile x;
  const std::string other = joinRows(airportRows("KNOT", 47.9, kLon0));
  x.original = "I\n1200 Version\n" + joinRows(airportRows("XONE", 47.5, kLon0, 101, "KONE")) +
               joinRows(airportRows("KTWO", 47.6, kLon0, 103)) + other +
               joinRows(airportRows("KTWO", 47.7, kLon0, 104)) + joinRows(airportRows("KTWO", 47.8, kLon0)) +
               "99\nrows after the end\n";
  writeFile(x.f, x.original);
  x.scopes["KTWO"].bars = {testutil::barAcross(47.6, kLon0, 1), testutil::barAcross(47.7, kLon0, 0)};
  x.scopes["KNOTHERE"].bars = {testutil::barAcross(47.9, kLon0, 1)};
  ftgdb::TakenMap taken;
  taken["KELSE"].push_back({101, {{1, 1}, {2, 2}}, false});
  std::vector<std::string> claimed;
  const ftg::OpResult r = x.run(claimed, &taken);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_TRUE(r.changed);
  EXPECT_EQ(r.message, "4 airport(s), 5 cut(s)");
  EXPECT_EQ(r.count, 5);
  EXPECT_EQ(claimed, (std::vector<std::string>{"KONE", "KTWO", "KTWO", "KTWO"}));
  // The runs of the second KTWO block (segment 0 at 47.7); the third had none.
  ASSERT_EQ(taken.size(), 3u);
  ASSERT_EQ(taken["KTWO"].size(), 1u);
  EXPECT_EQ(taken["KTWO"][0].code, 104);
  ASSERT_EQ(taken["KTWO"][0].points.size(), 2u);
  EXPECT_DOUBLE_EQ(taken["KTWO"][0].points[0].lat, 47.7);
  EXPECT_DOUBLE_EQ(taken["KTWO"][0].points[0].lon, kLon0);
  EXPECT_DOUBLE_EQ(taken["KTWO"][0].points[1].lon, testutil::nodeLon(kLon0, 1));
  EXPECT_EQ(taken["KONE"].size(), 1u);
  EXPECT_EQ(taken["KELSE"].size(), 1u);
  const std::string now = readFile(x.f);
  EXPECT_NE(now.find(other), std::string::npos);
  EXPECT_NE(now.find("99\nrows after the end\n"), std::string::npos);
  EXPECT_EQ(readFile(x.b), x.original);
  EXPECT_EQ(readFile(x.mark), markOf(x.f));
}

using testutil::Tmpfs;

TEST(SuppressAll, FailedBackupOrRewriteLeavesTheOriginal) {
  // A file of about 70 KB whose first airport is covered.
  std::string body = "I\n1200 Version\n" + testutil::joinRows(testutil::airportRows("KONE", 47.5, kLon0));
  for (int i = 0; body.size() < 70 * 1024; ++i)
    body += testutil::joinRows(testutil::airportRows("F" + std::to_string(i), 40.0, kLon0));
  body += "99\n";

  struct Case {
    const char* name;
    const char* size;       // tmpfs size; "" for the plain folder with a failing read
    bool backupFails;
  };
  const Case cases[] = {
      {"no room for the backup", "size=100k", true},
      {"no room for the rewrite", "size=180k", false},
      {"the disk fails while reading", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testutil::TempDir dir;
    std::unique_ptr<Tmpfs> fs;
    if (*c.size) {
      fs = std::make_unique<Tmpfs>(dir / "vol", c.size);
      if (!fs->mounted()) GTEST_SKIP() << "cannot mount a tmpfs here: " << fs->why();
    }
    const std::string f = dir / "vol/apt.dat", b = f + ".orvane-orig";
    writeFile(f, body);
    ftgdb::Scopes scopes;
    scopes["KONE"].bars = {testutil::barAcross(47.5, kLon0, 1)};
    std::vector<std::string> claimed;
    if (!*c.size) ftg::failRewriteReadsAfter(40 * 1024);
    const ftg::OpResult r = ftgdb::suppressAll(f, scopes, ftg::SuppressScope(), claimed, nullptr, "");
    ftg::failRewriteReadsAfter(-1);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(claimed.empty());
    EXPECT_TRUE(readFile(f) == body);
    EXPECT_FALSE(exists(f + ".orvane-tmp"));
    EXPECT_FALSE(exists(b + ".orvane-part"));
    if (c.backupFails) {
      EXPECT_EQ(r.message, "backup copy failed for " + f);
      EXPECT_FALSE(exists(b));
      EXPECT_FALSE(exists(f + ".orvane-cut"));
    } else {
      EXPECT_EQ(r.message, "rewrite failed for " + f + " - the original is at " + b);
      EXPECT_TRUE(readFile(b) == body);
      EXPECT_EQ(readFile(f + ".orvane-cut"), "-1 0\n");  // the provisional mark keeps F ours
    }
  }
}

// ---- real apt.dat files

std::string realDataDir() {
  for (const std::string& d : {std::string(ORVL_SOURCE_DIR) + "/../shared/realdata", std::string("/work/shared/realdata")})
    if (std::filesystem::is_directory(d)) return d;
  return "";
}

// The rewrite in its plainest form: the whole file in memory, getline, every
// block's identifier from ftg::blockIcao over all its rows, "X" appended to
// every block.
std::string plainRewrite(const std::string& text, std::vector<std::string>& ids) {
  std::istringstream in(text);
  std::string line, out;
  std::vector<std::string> block;
  bool open = false;
  auto close = [&] {
    if (!open) return;
    ids.push_back(ftg::blockIcao(ftg::tok(block[0]), block));
    for (const auto& r : block) out += r + "\n";
    out += "X\n";
    block.clear();
    open = false;
  };
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string code = line.substr(0, line.find(' '));
    if (code == "1" || code == "16" || code == "17") {
      close();
      open = true;
      block.push_back(line);
    } else if (open && code == "99") {
      close();
      out += line + "\n";
    } else if (open) {
      block.push_back(line);
    } else {
      out += line + "\n";
    }
  }
  close();
  return out;
}

TEST(RewriteBlocks, RealFilesGiveThePlainRewritesBlocksAndIdentifiers) {
  const std::string dir = realDataDir();
  if (dir.empty()) GTEST_SKIP() << "no real apt.dat data (../shared/realdata) on this machine";
  testutil::TempDir tmp;
  int files = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) {
    if (!e.is_regular_file() || e.path().filename() != "apt.dat") continue;
    SCOPED_TRACE(e.path().string());
    ++files;
    const std::string text = readFile(e.path().string());
    std::vector<std::string> wantIds;
    const std::string want = plainRewrite(text, wantIds);
    const std::string f = tmp / "apt.dat";
    writeFile(f, text);
    std::vector<std::string> ids;
    bool changed = false;
    ASSERT_TRUE(ftg::rewriteBlocks(
        f,
        [&](const std::string& icao, std::vector<std::string>& rows) {
          ids.push_back(icao);
          rows.push_back("X");
          return true;
        },
        changed));
    EXPECT_EQ(ids, wantIds);
    EXPECT_EQ(changed, !wantIds.empty());
    EXPECT_TRUE(readFile(f) == (wantIds.empty() ? text : want));
  }
  EXPECT_GT(files, 0);
}

}  // namespace
