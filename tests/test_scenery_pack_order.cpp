// Reading scenery_packs.ini into the ordered list of apt.dat files.
#include <gtest/gtest.h>

#include "scenery/pack_order.h"
#include "tests/support/tmpdir.h"

using namespace testutil;

namespace {

const char* const kGlobal = "Global Scenery/Global Airports/Earth nav data/apt.dat";

struct Install {
  TempDir dir;
  std::string root = dir.path() + "/";
  void pack(const std::string& rel) { writeFile(root + rel + "/Earth nav data/apt.dat", "A\n"); }
  void global() { writeFile(root + kGlobal, "A\n"); }
  void list(const std::string& text) { writeFile(root + "Custom Scenery/scenery_packs.ini", text); }
};

}  // namespace

TEST(PackOrder, LineRules) {
  struct Case {
    const char* name;
    std::string ini;
    std::vector<std::string> want;  // relative to the root unless absolute
  };
  const std::string packA = "Custom Scenery/Pack A/Earth nav data/apt.dat";
  const std::string packB = "Custom Scenery/B/Earth nav data/apt.dat";
  const Case cases[] = {
      {"trailing slash", "SCENERY_PACK Custom Scenery/Pack A/\n", {packA, kGlobal}},
      {"slashes and blanks mixed", "SCENERY_PACK Custom Scenery/Pack A/ / //  \n", {packA, kGlobal}},
      {"only slashes is no entry", "SCENERY_PACK ///\nSCENERY_PACK Custom Scenery/B\n", {packB, kGlobal}},
      {"backslashes", "SCENERY_PACK Custom Scenery\\Pack A\n", {packA, kGlobal}},
      // Only "/" and " " are trimmed, before backslashes turn into "/".
      {"trailing backslash", "SCENERY_PACK Custom Scenery\\Pack A\\\n",
       {"Custom Scenery/Pack A//Earth nav data/apt.dat", kGlobal}},
      {"disabled, comments, leading blanks, lower case",
       "I\n1000 Version\nSCENERY\n\nSCENERY_PACK_DISABLED Custom Scenery/B/\n# SCENERY_PACK Custom Scenery/B/\n"
       " SCENERY_PACK Custom Scenery/B/\nscenery_pack Custom Scenery/B/\nSCENERY_PACKCustom Scenery/B/\n",
       {kGlobal}},
      {"CRLF", "I\r\n1000 Version\r\nSCENERY\r\n\r\nSCENERY_PACK Custom Scenery/B/\r\nSCENERY_PACK *GLOBAL_AIRPORTS*\r\n",
       {packB, kGlobal}},
      {"marker in the middle", "SCENERY_PACK Custom Scenery/B/\nSCENERY_PACK *GLOBAL_AIRPORTS*\nSCENERY_PACK Custom Scenery/Pack A/\n",
       {packB, kGlobal, packA}},
      {"marker twice", "SCENERY_PACK *GLOBAL_AIRPORTS*\nSCENERY_PACK Custom Scenery/B/\nSCENERY_PACK *GLOBAL_AIRPORTS*/\n",
       {kGlobal, packB, kGlobal}},
      {"pack twice, no final newline", "SCENERY_PACK Custom Scenery/B/\nSCENERY_PACK Custom Scenery/B",
       {packB, packB, kGlobal}},
      {"missing and unnamed packs", "SCENERY_PACK Custom Scenery/Nope/\n", {kGlobal}},
      {"drive letter", "SCENERY_PACK C:\\X-Plane 12\\Custom Scenery\\B\\\n", {kGlobal}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Install in;
    in.pack("Custom Scenery/Pack A");
    in.pack("Custom Scenery/B");
    in.pack("Custom Scenery/Unlisted");
    in.pack("C:/X-Plane 12/Custom Scenery/B");  // found only if a drive path were taken as relative
    in.global();
    in.list(c.ini);
    std::vector<std::string> want;
    for (const auto& w : c.want) want.push_back(in.root + w);
    EXPECT_EQ(ftgdb::aptDatFilesInOrder(in.root), want);
  }
}

TEST(PackOrder, AbsoluteFoldersAndNoPackList) {
  Install in;
  TempDir elsewhere;
  writeFile(elsewhere / "Ext/Earth nav data/apt.dat", "A\n");
  in.global();
  EXPECT_EQ(ftgdb::aptDatFilesInOrder(in.root), std::vector<std::string>{in.root + kGlobal});

  in.list("SCENERY_PACK " + elsewhere.path() + "/Ext/\n");
  EXPECT_EQ(ftgdb::aptDatFilesInOrder(in.root),
            (std::vector<std::string>{elsewhere.path() + "/Ext/Earth nav data/apt.dat", in.root + kGlobal}));
  std::remove((in.root + kGlobal).c_str());
  EXPECT_EQ(ftgdb::aptDatFilesInOrder(in.root),
            std::vector<std::string>{elsewhere.path() + "/Ext/Earth nav data/apt.dat"});
  in.list("");
  EXPECT_TRUE(ftgdb::aptDatFilesInOrder(in.root).empty());
}

TEST(PackOrder, BackupsWhoseAptDatIsMissing) {
  Install in;
  const std::string a = in.root + "Custom Scenery/A/Earth nav data/apt.dat";
  const std::string b = in.root + "Custom Scenery/B/Earth nav data/apt.dat";
  const std::string c = in.root + "Custom Scenery/C/Earth nav data/apt.dat";
  const std::string g = in.root + kGlobal;
  writeFile(a + ".orvane-orig", "orig");             // apt.dat gone, backup left: listed
  writeFile(b, "A\n");                                // apt.dat present: never listed
  writeFile(b + ".orvane-orig", "orig");
  std::filesystem::create_directories(in.root + "Custom Scenery/C/Earth nav data");  // no backup
  writeFile(in.root + "Custom Scenery/D/Earth nav data/apt.dat.orvane-orig", "unlisted");
  writeFile(g + ".orvane-orig", "orig");
  in.list("SCENERY_PACK Custom Scenery/C/\nSCENERY_PACK Custom Scenery/A/\nSCENERY_PACK Custom Scenery/B/\n"
          "SCENERY_PACK Custom Scenery/A\n");
  EXPECT_EQ(ftgdb::aptDatBackupsInOrder(in.root), (std::vector<std::string>{a, g}));
  in.list("SCENERY_PACK *GLOBAL_AIRPORTS*\nSCENERY_PACK Custom Scenery/A/\n");
  EXPECT_EQ(ftgdb::aptDatBackupsInOrder(in.root), (std::vector<std::string>{g, a}));
  EXPECT_TRUE(ftgdb::aptDatFilesInOrder(in.root).empty());
}

TEST(PackOrder, RealPackList) {
  std::string dir = std::string(ORVL_SOURCE_DIR) + "/../shared/realdata/scenery_packs";
  if (!exists(dir + "/scenery_packs.ini")) dir = "/work/shared/realdata/scenery_packs";
  if (!exists(dir + "/scenery_packs.ini")) GTEST_SKIP() << "real scenery_packs.ini not found";
  Install in;
  const std::string text = readFile(dir + "/scenery_packs.ini");
  in.list(text);
  in.global();
  // Give every listed pack an apt.dat; the result follows the list, global airports first.
  std::vector<std::string> want;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line == "SCENERY_PACK *GLOBAL_AIRPORTS*") want.push_back(in.root + kGlobal);
    if (line.rfind("SCENERY_PACK Custom Scenery/", 0) != 0) continue;
    std::string pack = line.substr(13, line.size() - 14);  // without the final "/"
    in.pack(pack);
    want.push_back(in.root + pack + "/Earth nav data/apt.dat");
  }
  ASSERT_GT(want.size(), 20u);
  EXPECT_EQ(ftgdb::aptDatFilesInOrder(in.root), want);
}
