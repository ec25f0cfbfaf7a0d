// Every airport block of the real apt.dat files through the split and the
// taken runs, with scopes whose answers are known without the code under test.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "aptdat/coverage_index.h"
#include "aptdat/split.h"
#include "aptdat/taken.h"

using ftg::Polyline;
using ftg::SuppressScope;
using Rows = std::vector<std::string>;

namespace {

std::string realDataDir() {
  for (const std::string& d : {std::string(ORVL_SOURCE_DIR) + "/../shared/realdata",
                              std::string("/work/shared/realdata")})
    if (std::filesystem::is_directory(d)) return d;
  return "";
}

std::vector<std::string> aptFiles(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
    if (e.is_regular_file() && e.path().filename() == "apt.dat") out.push_back(e.path().string());
  std::sort(out.begin(), out.end());
  return out;
}

// Airport blocks as the file rewrite forms them: rows split at "\n" without
// one trailing "\r", a block from a 1/16/17 row to the next one or to "99".
std::vector<Rows> blocksOf(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::vector<Rows> blocks;
  bool open = false;
  std::string line;
  while (std::getline(f, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string code = line.substr(0, line.find(' '));
    if (code == "1" || code == "16" || code == "17") {
      blocks.emplace_back();
      open = true;
    } else if (code == "99") {
      open = false;
      continue;
    }
    if (open) blocks.back().push_back(line);
  }
  return blocks;
}

bool isNode(const std::string& c) { return c.size() == 3 && c >= "111" && c <= "116"; }
bool isTaken(const std::string& t) { return t == "101" || t == "103" || t == "104" || t == "105"; }
size_t coordTokens(const std::string& code) {
  return code == "112" || code == "114" || code == "116" ? 5 : 3;
}

// One item of a block: a plain row, or a "120" feature with its node rows.
struct Item {
  bool feature = false;
  std::string header;  // the row itself for a plain row
  Rows nodes;
};

std::vector<Item> itemsOf(const Rows& rows) {
  std::vector<Item> items;
  bool open = false;
  for (const std::string& r : rows) {
    const Rows t = ftg::tok(r);
    if (!t.empty() && t[0] == "120") {
      items.push_back(Item{true, r, {}});
      open = true;
    } else if (open && !t.empty() && isNode(t[0])) {
      items.back().nodes.push_back(r);
    } else {
      items.push_back(Item{false, r, {}});
      open = false;
    }
  }
  return items;
}

bool readable(const Item& f) {
  if (f.nodes.size() < 2) return false;
  for (const auto& r : f.nodes)
    if (ftg::tok(r).size() < 3) return false;
  return true;
}

// The flattened points of node rows [from, to] of a feature.
Polyline follow(const Item& f, size_t from, size_t to) {
  std::vector<ftg::Node> n;
  for (size_t i = from; i <= to; ++i) n.push_back(ftg::parseNode(ftg::tok(f.nodes[i])));
  Polyline p{n[0].pos};
  for (size_t i = 0; i + 1 < n.size(); ++i) ftg::bezSegment(n[i], n[i + 1], p, 8);
  return p;
}

// The row's tokens without the taken codes after its coordinates.
Rows withoutTaken(const std::string& row) {
  const Rows t = ftg::tok(row);
  Rows out;
  for (size_t i = 0; i < t.size(); ++i)
    if (i < coordTokens(t[0]) || !isTaken(t[i])) out.push_back(t[i]);
  return out;
}

class RealData : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = realDataDir();
    if (dir_.empty()) GTEST_SKIP() << "no real apt.dat data (../shared/realdata) on this machine";
    files_ = aptFiles(dir_);
    if (files_.empty()) GTEST_SKIP() << "no apt.dat under " << dir_;
  }
  std::string dir_;
  std::vector<std::string> files_;
};

}  // namespace

TEST_F(RealData, EmptyScopeLeavesEveryBlockIdentical) {
  size_t blocks = 0;
  const ftg::CoverageIndex none = ftg::buildCoverageIndex(SuppressScope{});
  for (const std::string& file : files_)
    for (const Rows& block : blocksOf(file)) {
      Rows a = block, b = block;
      int32_t sa = -1, sb = -1;
      EXPECT_FALSE(ftg::splitBlockLights(a, SuppressScope{}, sa)) << file;
      EXPECT_FALSE(ftg::splitBlockLights(b, none, sb)) << file;  // the full walk, nothing covered
      EXPECT_EQ(a, block);
      EXPECT_EQ(b, block);
      EXPECT_EQ(sa, 0);
      EXPECT_EQ(sb, 0);
      EXPECT_TRUE(ftgdb::takenByPass(block, none).empty());
      ++blocks;
    }
  EXPECT_EQ(blocks, 23u);  // 1 + 1 + 1 + 20 airports
}

TEST_F(RealData, FtgFollowingEveryFeatureTakesEveryLightAndNothingElse) {
  size_t stripped = 0, lit = 0, runs = 0;
  for (const std::string& file : files_) {
    for (const Rows& block : blocksOf(file)) {
      const std::vector<Item> items = itemsOf(block);
      std::vector<Polyline> ftg;
      for (const Item& it : items)
        if (it.feature && readable(it)) ftg.push_back(follow(it, 0, it.nodes.size() - 1));
      SuppressScope s;
      s.ftgRuns = ftg::scopeRef(ftg);
      const std::vector<ftgdb::TakenRun> taken = ftgdb::takenByPass(block, s);
      Rows rows = block;
      int32_t splits = -1;
      const bool changed = ftg::splitBlockLights(rows, s, splits);
      EXPECT_EQ(changed, !ftg.empty()) << file;
      EXPECT_EQ(splits, 0) << file;
      ASSERT_EQ(rows.size(), block.size()) << file;
      size_t r = 0;
      for (const Item& it : items) {
        if (!it.feature) {
          EXPECT_EQ(rows[r++], it.header) << file;
          continue;
        }
        EXPECT_EQ(rows[r++], it.header) << file;
        for (const std::string& in : it.nodes) {
          const std::string& out = rows[r++];
          if (!readable(it)) {
            EXPECT_EQ(out, in) << file;  // one node row, or one unreadable: left alone
            continue;
          }
          const Rows t = ftg::tok(out);
          for (size_t i = coordTokens(t[0]); i < t.size(); ++i)
            EXPECT_FALSE(isTaken(t[i])) << file << ": " << out;
          EXPECT_EQ(t, withoutTaken(in)) << file << ": " << in;
          const size_t before = ftg::tok(in).size();
          stripped += before - t.size();
          lit += before != t.size();
        }
      }
      for (const auto& run : taken) {
        EXPECT_GE(run.points.size(), 2u);
        EXPECT_TRUE(run.ftgOnly);
        EXPECT_TRUE(run.code == 101 || run.code == 103 || run.code == 104 || run.code == 105);
      }
      runs += taken.size();
    }
  }
  std::printf("taken codes stripped %zu on %zu node rows, %zu runs\n", stripped, lit, runs);
  // SOURCES.md counts the node rows of 120 features carrying 101, 103, 104 and
  // 105: 1383 (eddb) + 3817 (lfpg) + 45 (keyw) + 630 (rus) = 5875.
  if (files_.size() == 4) {
    EXPECT_EQ(lit, 5875u);
  }
  EXPECT_GT(lit, 0u);
  EXPECT_GE(stripped, lit);
  EXPECT_GT(runs, 900u);
}

TEST_F(RealData, HalfCoveredFeaturesSplitIntoPiecesOfAtLeastTwoNodes) {
  size_t totalSplits = 0;
  for (const std::string& file : files_) {
    const bool compareWithPlain = file.find("keyw") != std::string::npos;
    for (const Rows& block : blocksOf(file)) {
      const std::vector<Item> items = itemsOf(block);
      std::vector<Polyline> ftg;  // follows the first half of every feature
      for (const Item& it : items)
        if (it.feature && readable(it) && it.nodes.size() >= 3)
          ftg.push_back(follow(it, 0, (it.nodes.size() - 1) / 2));
      SuppressScope s;
      s.ftgRuns = ftg::scopeRef(ftg);
      Rows rows = block;
      int32_t splits = -1;
      ftg::splitBlockLights(rows, s, splits);
      totalSplits += static_cast<size_t>(splits);
      if (compareWithPlain) {
        Rows plain = block;
        int32_t plainSplits = -1;
        ftg::splitBlockLights(plain, ftg::buildCoverageIndex(s, false), plainSplits);
        EXPECT_EQ(plain, rows);
        EXPECT_EQ(plainSplits, splits);
      }
      // Walk the output against the input: plain rows equal, every feature
      // becomes pieces with its header, sharing one node at each cut.
      const std::vector<Item> out = itemsOf(rows);
      size_t o = 0;
      int32_t pieces = 0, features = 0;
      for (const Item& it : items) {
        ASSERT_LT(o, out.size()) << file;
        if (!it.feature) {
          EXPECT_FALSE(out[o].feature);
          EXPECT_EQ(out[o++].header, it.header) << file;
          continue;
        }
        ++features;
        size_t next = 0;  // the input node the next piece starts at
        for (;;) {
          ASSERT_LT(o, out.size()) << file;
          const Item& piece = out[o++];
          ++pieces;
          ASSERT_TRUE(piece.feature) << file;
          EXPECT_EQ(piece.header, it.header) << file;
          if (readable(it)) {
            EXPECT_GE(piece.nodes.size(), 2u) << file << " " << it.header;
          }
          const size_t last = next + piece.nodes.size() - 1;
          ASSERT_LT(last, std::max<size_t>(it.nodes.size(), 1)) << file;
          for (size_t k = 0; k < piece.nodes.size(); ++k) {
            const std::string& in = it.nodes[next + k];
            const std::string& got = piece.nodes[k];
            const bool cutEnd = k + 1 == piece.nodes.size() && last + 1 < it.nodes.size();
            if (cutEnd)
              EXPECT_EQ(got, ftg::endNodeRow(in)) << file;
            else
              EXPECT_TRUE(got == in || got == ftg::stripLightCodes(in)) << file << ": " << got;
          }
          if (last + 1 >= it.nodes.size()) break;
          next = last;
        }
      }
      EXPECT_EQ(o, out.size()) << file;
      EXPECT_EQ(pieces - features, splits) << file;
    }
  }
  std::printf("%zu cuts\n", totalSplits);
  EXPECT_GT(totalSplits, 500u);
}
