// Restoring one file, restoring everything, sweeping, stale backups and the
// suppression state, on small installations made by hand.
#include <gtest/gtest.h>

#include <functional>

#include "scenery/pack_order.h"
#include "scenery/restore.h"
#include "tests/support/scenery_cut.h"
#include "tests/support/tmpdir.h"

using namespace testutil;

namespace {

const char* const kGlobal = "Global Scenery/Global Airports/Earth nav data/apt.dat";

struct Install {
  TempDir dir;
  std::string root = dir.path() + "/";
  std::string plugin = root + "Resources/plugins/Orvane";
  std::vector<std::string> lines;
  orvl::LogFn log = [this](const std::string& l) { lines.push_back(l); };
  Install() { std::filesystem::create_directories(plugin); }
  std::string pack(const std::string& name) const { return root + "Custom Scenery/" + name + "/Earth nav data/apt.dat"; }
  std::string global() const { return root + kGlobal; }
  void list(const std::vector<std::string>& packs) {
    std::string ini = "I\n1000 Version\nSCENERY\n\n";
    for (const auto& p : packs) ini += p == "*" ? "SCENERY_PACK *GLOBAL_AIRPORTS*\n" : "SCENERY_PACK Custom Scenery/" + p + "/\n";
    writeFile(root + "Custom Scenery/scenery_packs.ini", ini);
  }
};

std::string aptText(const std::string& icao, int lit) {
  std::string s = "I\n1200 Version\n\n1 433 1 0 " + icao + " Test\n";
  for (int i = 0; i < 50; ++i) s += "120 taxi line " + std::to_string(i) + "\n111 47.1 8.5 " + std::to_string(lit) + " 102\n";
  return s + "99\n";
}

}  // namespace

TEST(RestoreFile, EveryRefusalLeavesFileBackupMarkAndRowsAsTheyWere) {
  using Setup = std::function<void(Install&, const std::string& p)>;
  struct Case {
    const char* name;
    Setup setup;
    std::string (*message)(const std::string& backup);
  };
  auto changed = [](const std::string& b) {
    return "the scenery changed since Orvane cut it (updated or verified?) - our copy is kept at " + b +
           "; restore it by hand if that is what you want";
  };
  auto noRecord = [](const std::string& b) {
    return "a backup with no record of the cut - the apt.dat beside it may not be ours; restore it by hand if it is (" +
           b + ")";
  };
  const Case cases[] = {
      {"no backup, file present",
       [](Install& in, const std::string& p) {
         writeFile(p, "file");
         addRows(in.plugin, p, {"AAAA"}, 4, 1);
       },
       [](const std::string& b) { return "no backup found (" + b + ")"; }},
      {"replaced with another size",
       [](Install& in, const std::string& p) {
         cutByHand(p, aptText("AAAA", 102), aptText("AAAA", 0), in.plugin, {"AAAA"});
         writeFile(p, aptText("AAAA", 0) + "1 100 1 0 BBBB New\n");
       },
       changed},
      {"touched one second later",
       [](Install& in, const std::string& p) {
         cutByHand(p, aptText("AAAA", 102), aptText("AAAA", 0), in.plugin, {"AAAA"});
         setMtime(p, 1700000001);
       },
       changed},
      {"no cut mark, manifest row no longer matches",
       [](Install& in, const std::string& p) {
         cutByHand(p, aptText("AAAA", 102), aptText("AAAA", 0), in.plugin, {"AAAA"}, false);
         writeFile(p, "updated");
       },
       changed},
      {"provisional mark, file modified over an hour later",
       [](Install&, const std::string& p) {
         writeFile(p + ".orvane-orig", "orig");
         writeFile(p, "new file of an update");
         writeFile(p + ".orvane-cut", "-1 0\n");
         setMtime(p + ".orvane-cut", 1700000000);
         setMtime(p, 1700000000 + 3601);
       },
       changed},
      {"neither cut mark nor row",
       [](Install&, const std::string& p) {
         writeFile(p + ".orvane-orig", "orig");
         writeFile(p, "someone else's file");
       },
       noRecord},
      {"one-number mark and a row of size 0",
       [](Install& in, const std::string& p) {
         writeFile(p + ".orvane-orig", "orig");
         writeFile(p, "someone else's file");
         writeFile(p + ".orvane-cut", "19\n");
         addRows(in.plugin, p, {"AAAA"}, 0, 0);
       },
       noRecord},
      {"the copy fails (backup unreadable as a file)",
       [](Install& in, const std::string& p) {
         cutByHand(p, "", aptText("AAAA", 0), in.plugin, {"AAAA"});
         std::remove((p + ".orvane-orig").c_str());
         std::filesystem::create_directories(p + ".orvane-orig");
       },
       [](const std::string&) { return std::string("restore copy failed"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Install in;
    const std::string p = in.pack("A"), other = in.pack("B");
    cutByHand(other, "orig b", "cut b", in.plugin, {"BBBB"});
    c.setup(in, p);
    const std::vector<std::string> files = {p, p + ".orvane-orig", p + ".orvane-cut", manifestPath(in.plugin),
                                            other, other + ".orvane-orig", other + ".orvane-cut"};
    const auto before = snapshot(files);
    const long long mtime = mtimeOf(p);
    ftg::OpResult r = ftg::restoreFile(p, in.plugin);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, c.message(p + ".orvane-orig"));
    EXPECT_EQ(snapshot(files), before);
    EXPECT_EQ(mtimeOf(p), mtime);
    EXPECT_FALSE(exists(p + ".orvane-part"));
  }
}

TEST(RestoreFile, PutsTheBackupBackWhenTheFileIsOursMissingOrEmpty) {
  using Setup = std::function<void(Install&, const std::string& p)>;
  struct Case { const char* name; Setup setup; std::string original; };
  const std::string orig = aptText("AAAA", 102);
  const Case cases[] = {
      {"cut mark matches", [&](Install& in, const std::string& p) { cutByHand(p, orig, aptText("AAAA", 0), in.plugin, {"AAAA", "AAAB"}); }, orig},
      {"only the manifest row matches",
       [&](Install& in, const std::string& p) { cutByHand(p, orig, aptText("AAAA", 0), in.plugin, {"AAAA"}, false); }, orig},
      {"provisional mark within the hour",
       [&](Install&, const std::string& p) {
         writeFile(p + ".orvane-orig", orig);
         writeFile(p, orig.substr(0, 100));  // a rewrite that broke off
         writeFile(p + ".orvane-cut", "-1 0\n");
         setMtime(p + ".orvane-cut", 1700000000);
         setMtime(p, 1700000000 + 3600);
       }, orig},
      {"empty apt.dat, no record", [&](Install&, const std::string& p) { writeFile(p, ""); writeFile(p + ".orvane-orig", orig); }, orig},
      {"apt.dat deleted", [&](Install& in, const std::string& p) { cutByHand(p, orig, "x", in.plugin, {"AAAA"}); std::remove(p.c_str()); }, orig},
      {"empty backup", [&](Install& in, const std::string& p) { cutByHand(p, "", "cut", in.plugin, {"AAAA"}); }, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Install in;
    const std::string p = in.pack("A"), other = in.pack("B");
    cutByHand(other, "orig b", "cut b", in.plugin, {"BBBB"});
    c.setup(in, p);
    ftg::OpResult r = ftg::restoreFile(p, in.plugin);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.message, "restored original apt.dat");
    EXPECT_TRUE(exists(p));
    EXPECT_EQ(readFile(p), c.original);
    for (const char* suffix : {".orvane-orig", ".orvane-cut", ".orvane-part"}) EXPECT_FALSE(exists(p + suffix)) << suffix;
    nlohmann::json m = ftg::loadManifest(in.plugin);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0]["file"], other);
    EXPECT_TRUE(exists(other + ".orvane-orig"));
  }
}

TEST(RestoreFile, AGonePackDropsItsRecord) {
  Install in;
  const std::string p = in.pack("Gone"), other = in.pack("B");
  addRows(in.plugin, p, {"GGGG", "GGGH"}, 10, 1);
  cutByHand(other, "orig b", "cut b", in.plugin, {"BBBB"});
  writeFile(p + ".orvane-cut", "10 1\n");
  ftg::OpResult r = ftg::restoreFile(p, in.plugin);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.message, "the pack is gone (uninstalled?) - dropped its record");
  EXPECT_FALSE(exists(p + ".orvane-cut"));
  nlohmann::json m = ftg::loadManifest(in.plugin);
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0]["file"], other);
  // Nothing to drop: the manifest is not rewritten.
  writeFile(manifestPath(in.plugin), "[ ]");
  EXPECT_TRUE(ftg::restoreFile(p, in.plugin).ok);
  EXPECT_EQ(readFile(manifestPath(in.plugin)), "[ ]");
}

TEST(RestoreFile, AnInterruptedRestoreIsFinishedButACutFileWithoutBackupIsRefused) {
  Install in;
  // Interrupted after the backup was moved back: original in place, the cut
  // mark and rows of the cut still there.
  const std::string p = in.pack("A");
  cutByHand(p, "original a", "cut", in.plugin, {"AAAA"});
  std::filesystem::rename(p + ".orvane-orig", p);
  ftg::OpResult r = ftg::restoreFile(p, in.plugin);
  EXPECT_TRUE(r.ok) << r.message;
  EXPECT_EQ(r.message, "the original is already in place - dropped the leftover record");
  EXPECT_EQ(readFile(p), "original a");
  EXPECT_FALSE(exists(p + ".orvane-cut"));
  EXPECT_EQ(ftg::loadManifest(in.plugin).size(), 0u);

  // The cut file itself with its backup gone still matches its mark: refused.
  const std::string q = in.pack("B");
  cutByHand(q, "original b", "cut b", in.plugin, {"BBBB"});
  std::remove((q + ".orvane-orig").c_str());
  const auto before = snapshot({q, q + ".orvane-cut", manifestPath(in.plugin)});
  r = ftg::restoreFile(q, in.plugin);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message, "no backup found (" + q + ".orvane-orig)");
  EXPECT_EQ(snapshot({q, q + ".orvane-cut", manifestPath(in.plugin)}), before);
}

TEST(Sweep, ReportsOrphanLeftUnknownAndMissingBackups) {
  Install in;
  in.list({"Orphan", "Left", "Unknown", "Missing", "Listed", "Plain", "*"});
  const std::string orphan = in.pack("Orphan"), left = in.pack("Left"), unknown = in.pack("Unknown"),
                    missing = in.pack("Missing"), listed = in.pack("Listed"), plain = in.pack("Plain");
  cutByHand(orphan, "o", "oc", in.plugin, {});
  cutByHand(left, "l", "lc", in.plugin, {});
  writeFile(left, "updated");
  cutByHand(unknown, "u", "uc", in.plugin, {}, false);
  cutByHand(missing, "m", "mc", in.plugin, {});
  std::remove(missing.c_str());
  cutByHand(listed, "s", "sc", in.plugin, {});
  writeFile(plain, "no backup here");
  writeFile(in.global(), "global");

  std::vector<std::string> list = {listed};
  orvl::sweepOrphanBackups(in.root, list, in.log);
  EXPECT_EQ(list, (std::vector<std::string>{listed, orphan, missing}));
  EXPECT_EQ(in.lines, (std::vector<std::string>{
                          "   orphan    " + orphan + " - a backup with no manifest row; putting it back",
                          "   left      " + left + " - changed since we cut it; our copy stays at .orvane-orig",
                          "   unknown   " + unknown + " - a backup with no cut mark; restore it by hand if it is ours",
                          "   MISSING   " + missing + " - no apt.dat, only our backup; putting it back",
                      }));
  // Without a log the list grows the same; with an empty root nothing happens.
  std::vector<std::string> quiet;
  orvl::sweepOrphanBackups(in.root, quiet, nullptr);
  EXPECT_EQ(quiet, (std::vector<std::string>{orphan, listed, missing}));
  std::vector<std::string> none;
  orvl::sweepOrphanBackups("", none, in.log);
  EXPECT_TRUE(none.empty());
}

TEST(RestoreAll, RoundTripOnAnInstallation) {
  Install in;
  in.list({"A", "B", "*", "C", "D"});
  const std::string g = in.global(), a = in.pack("A"), b = in.pack("B"), c = in.pack("C"), dd = in.pack("D");
  const std::string og = aptText("GGGG", 102), oa = aptText("AAAA", 103), ob = aptText("BBBB", 104),
                    oc = aptText("CCCC", 105), od = aptText("DDDD", 106);
  cutByHand(g, og, aptText("GGGG", 0), in.plugin, {"GGG1", "GGG2", "GGG3"});
  cutByHand(a, oa, aptText("AAAA", 0), in.plugin, {"AAAA"});
  cutByHand(b, ob, aptText("BBBB", 0), in.plugin, {"BBBB"});
  cutByHand(c, oc, aptText("CCCC", 0), in.plugin, {});  // pass broke off before recording
  cutByHand(dd, od, aptText("DDDD", 0), in.plugin, {});
  std::remove(dd.c_str());  // apt.dat deleted, backup left
  writeFile(in.plugin + "/orv_taken.json", "{}");
  const std::string updated = aptText("BBBB", 104) + "1 100 1 0 BBB2 Added by an update\n";
  writeFile(b, updated);  // an installer replaced B after the cut
  writeFile(b + ".bak", "user's own file");
  writeFile(in.root + "Custom Scenery/B/readme.txt", "pack readme");

  orvl::Suppression s = orvl::suppressionState(in.plugin);
  EXPECT_TRUE(s.suppressed);
  EXPECT_EQ(s.airports, 5);
  EXPECT_EQ(s.files, 3);
  EXPECT_EQ(s.sig, "sig-1");
  EXPECT_EQ(s.owner, "launcher");
  EXPECT_EQ(orvl::staleBackups(in.root, in.plugin), std::vector<std::string>{b});

  int32_t failures = -1;
  EXPECT_EQ(orvl::restoreAll(in.plugin, in.log, in.root, &failures), 5);
  EXPECT_EQ(failures, 1);
  EXPECT_EQ(in.lines, (std::vector<std::string>{
      "   orphan    " + c + " - a backup with no manifest row; putting it back",
      "   MISSING   " + dd + " - no apt.dat, only our backup; putting it back",
      "   restored  " + g + "  - restored original apt.dat",
      "   restored  " + a + "  - restored original apt.dat",
      "   FAILED    " + b + "  - the scenery changed since Orvane cut it (updated or verified?) - our copy is kept at " +
          b + ".orvane-orig; restore it by hand if that is what you want",
      "   restored  " + c + "  - restored original apt.dat",
      "   restored  " + dd + "  - restored original apt.dat",
  }));
  EXPECT_EQ(readFile(g), og);
  EXPECT_EQ(readFile(a), oa);
  EXPECT_EQ(readFile(c), oc);
  EXPECT_EQ(readFile(dd), od);
  EXPECT_EQ(readFile(b), updated);
  EXPECT_EQ(readFile(b + ".orvane-orig"), ob);
  EXPECT_FALSE(exists(in.plugin + "/orv_taken.json"));  // B failed but no longer carries our cut
  for (const auto& p : {g, a, c, dd})
    for (const char* suffix : {".orvane-orig", ".orvane-cut", ".orvane-part"}) EXPECT_FALSE(exists(p + suffix)) << p << suffix;
  EXPECT_EQ(orvl::staleBackups(in.root, in.plugin), std::vector<std::string>{b});
  EXPECT_EQ(orvl::suppressionState(in.plugin).airports, 1);

  in.lines.clear();
  EXPECT_EQ(orvl::forgetStaleBackups(in.root, in.plugin, in.log), 1);
  EXPECT_EQ(in.lines, std::vector<std::string>{"   forgot    " + b + ".orvane-orig - the pack was updated since we cut it"});
  EXPECT_FALSE(exists(b + ".orvane-orig"));
  EXPECT_FALSE(exists(b + ".orvane-cut"));
  EXPECT_EQ(readFile(b), updated);
  EXPECT_EQ(readFile(b + ".bak"), "user's own file");
  EXPECT_EQ(readFile(in.root + "Custom Scenery/B/readme.txt"), "pack readme");
  EXPECT_EQ(readFile(manifestPath(in.plugin)), "[]");
  EXPECT_EQ(readFile(g), og);
  EXPECT_EQ(orvl::suppressionState(in.plugin).suppressed, false);
  EXPECT_TRUE(orvl::staleBackups(in.root, in.plugin).empty());

  // A second restore finds nothing to do and leaves everything alone.
  in.lines.clear();
  writeFile(in.plugin + "/orv_taken.json", "{}");
  EXPECT_EQ(orvl::restoreAll(in.plugin, in.log, in.root, &failures), 0);
  EXPECT_EQ(failures, 0);
  EXPECT_TRUE(in.lines.empty());
  EXPECT_TRUE(exists(in.plugin + "/orv_taken.json"));
}

TEST(RestoreAll, TakenRunsStayWhileAFailedFileStillCarriesOurCut) {
  Install in;
  in.list({"A", "B"});
  const std::string a = in.pack("A"), b = in.pack("B");
  cutByHand(a, "orig a", "cut a", in.plugin, {"AAAA"});
  cutByHand(b, "orig b", "cut b", in.plugin, {"BBBB"});
  // B's backup cannot be copied: B stays cut, so the plugin still needs the taken runs.
  std::remove((b + ".orvane-orig").c_str());
  std::filesystem::create_directories(b + ".orvane-orig");
  writeFile(in.plugin + "/orv_taken.json", "{}");
  int32_t failures = 0;
  EXPECT_EQ(orvl::restoreAll(in.plugin, nullptr, in.root, &failures), 2);
  EXPECT_EQ(failures, 1);
  EXPECT_EQ(readFile(a), "orig a");
  EXPECT_EQ(readFile(b), "cut b");
  EXPECT_TRUE(exists(in.plugin + "/orv_taken.json"));
  EXPECT_EQ(orvl::suppressionState(in.plugin).airports, 1);
  // Once B is fixed by hand, the next restore lets the taken runs go.
  std::filesystem::remove(b + ".orvane-orig");
  writeFile(b + ".orvane-orig", "orig b");
  EXPECT_EQ(orvl::restoreAll(in.plugin, nullptr, in.root, nullptr), 1);
  EXPECT_EQ(readFile(b), "orig b");
  EXPECT_FALSE(exists(in.plugin + "/orv_taken.json"));
}

TEST(SuppressionState, CountsRowsFilesAndTakesTheFirstSignatureAndOwner) {
  Install in;
  writeFile(manifestPath(in.plugin), R"([
    {"file": "/x/a", "icao": "A1", "sig": ""},
    17,
    {"file": "/x/a", "icao": "A2", "sig": 5, "owner": ""},
    {"file": "/x/a", "icao": "A3", "sig": "s-2"},
    {"file": "/x/b", "icao": "B1", "sig": "s-3", "owner": "launcher"}
  ])");
  orvl::Suppression s = orvl::suppressionState(in.plugin);
  EXPECT_TRUE(s.suppressed);
  EXPECT_EQ(s.airports, 4);
  EXPECT_EQ(s.files, 2);
  EXPECT_EQ(s.sig, "s-2");
  EXPECT_EQ(s.owner, "plugin");  // the first row has no "owner"
  writeFile(manifestPath(in.plugin), R"([{"file": "/x/a", "owner": ""}, {"owner": 3}, {"owner": "launcher"}])");
  s = orvl::suppressionState(in.plugin);
  EXPECT_EQ(s.owner, "plugin");  // "" is passed over, a number counts as absent
  EXPECT_EQ(s.files, 2);         // a row without "file" counts as the empty name
  writeFile(manifestPath(in.plugin), "{\"not\": \"an array\"}");
  s = orvl::suppressionState(in.plugin);
  EXPECT_FALSE(s.suppressed);
  EXPECT_EQ(s.airports, 0);
  EXPECT_EQ(s.owner, "");
}
