#include <gtest/gtest.h>

#include "aptdat/coverage_index.h"
#include "aptdat/taken.h"
#include "tests/support/geo.h"

using ftg::Node;
using ftg::Polyline;
using ftg::Pt;
using ftg::SuppressScope;
using ftgdb::TakenRun;
using testutil::mid;
using testutil::nodeOf;
using testutil::nodeRow;
using testutil::offsetPt;
using Rows = std::vector<std::string>;

namespace {

// Nodes along a line east from (47.4, 8.0), `stepM` metres apart.
Pt east(int i, double stepM = 60) { return offsetPt(Pt{47.4, 8.0}, i * stepM, 0); }

// The flattened points of a feature's node rows, as a polyline that covers it all.
Polyline follow(const Rows& nodeRows) {
  std::vector<Node> n;
  for (const auto& r : nodeRows) n.push_back(nodeOf(r));
  Polyline p{n[0].pos};
  for (size_t i = 0; i + 1 < n.size(); ++i) ftg::bezSegment(n[i], n[i + 1], p, 8);
  return p;
}

Rows feature(const Rows& nodeRows) {
  Rows rows{"1 10 0 0 LTST", "120 lights"};
  rows.insert(rows.end(), nodeRows.begin(), nodeRows.end());
  rows.push_back("21 47.4 8.0 1 0 3 0 5 0 VASI");
  return rows;
}

void expectPoints(const TakenRun& run, const std::vector<Pt>& want, const char* what) {
  ASSERT_EQ(run.points.size(), want.size()) << what;
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(run.points[i].lat, want[i].lat) << what << " point " << i;
    EXPECT_EQ(run.points[i].lon, want[i].lon) << what << " point " << i;
  }
}

// takenByPass through the scope and through a plain-scan index must agree.
std::vector<TakenRun> taken(const Rows& rows, const SuppressScope& s) {
  std::vector<TakenRun> a = ftgdb::takenByPass(rows, s);
  std::vector<TakenRun> b = ftgdb::takenByPass(rows, ftg::buildCoverageIndex(s, false));
  EXPECT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    EXPECT_EQ(a[i].code, b[i].code);
    EXPECT_EQ(a[i].ftgOnly, b[i].ftgOnly);
    EXPECT_EQ(a[i].points.size(), b[i].points.size());
  }
  return a;
}

}  // namespace

TEST(AptTaken, CodeCarriesForwardAndMarksWhatCovers) {
  const Rows nodes = {nodeRow("111", east(0), "1 101"), nodeRow("111", east(1), "1"),
                      nodeRow("115", east(2))};
  const std::vector<Polyline> along{follow(nodes)};
  for (int which = 0; which < 2; ++which) {
    SuppressScope s;
    (which == 0 ? s.leadOns : s.ftgRuns) = &along;
    const std::vector<TakenRun> runs = taken(feature(nodes), s);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].code, 101);
    EXPECT_EQ(runs[0].ftgOnly, which == 1);
    expectPoints(runs[0], {nodeOf(nodes[0]).pos, nodeOf(nodes[1]).pos, nodeOf(nodes[2]).pos},
                 "carry-forward");
  }
}

TEST(AptTaken, NoRunsWithoutTakenLightsOrCoverage) {
  const Rows lit = {nodeRow("111", east(0), "101"), nodeRow("115", east(1), "101")};
  const std::vector<Polyline> along{follow(lit)};
  const std::vector<Polyline> far{{Pt{10, 10}, Pt{10.001, 10}}};
  SuppressScope covering;
  covering.ftgRuns = &along;
  covering.bars = &along;
  SuppressScope away;
  away.leadOns = &far;
  away.bars = &far;
  away.ftgRuns = &far;
  struct Case {
    const char* what;
    Rows rows;
    SuppressScope scope;
  } cases[] = {
      {"102 only", feature({nodeRow("111", east(0), "102"), nodeRow("115", east(1), "102")}), covering},
      {"painted only", feature({nodeRow("111", east(0), "1 51"), nodeRow("115", east(1), "3")}), covering},
      {"one node row", feature({nodeRow("111", east(0), "101")}), covering},
      {"node row of two tokens", feature({lit[0], "111 47.4", lit[1]}), covering},
      {"nodes after pavement", {"110 1 0.25 0 x", lit[0], lit[1]}, covering},
      {"nothing covered", feature(lit), away},
      {"all references absent", feature(lit), SuppressScope{}},
  };
  for (const Case& c : cases) EXPECT_TRUE(taken(c.rows, c.scope).empty()) << c.what;
}

TEST(AptTaken, BarThenFtgOnlyGivesTwoRunsMeetingAtOnePoint) {
  const Rows nodes = {nodeRow("111", east(0), "101"), nodeRow("111", east(1)),
                      nodeRow("115", east(2))};
  const Pt m0 = mid(nodeOf(nodes[0]).pos, nodeOf(nodes[1]).pos);
  const Pt m1 = mid(nodeOf(nodes[1]).pos, nodeOf(nodes[2]).pos);
  const std::vector<Polyline> bars{{offsetPt(m0, 0, -10), offsetPt(m0, 0, 10)}};  // across segment 0
  const std::vector<Polyline> ftg{{m1, m1}};
  SuppressScope s;
  s.bars = &bars;
  s.ftgRuns = &ftg;
  const std::vector<TakenRun> runs = taken(feature(nodes), s);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_FALSE(runs[0].ftgOnly);
  EXPECT_TRUE(runs[1].ftgOnly);
  expectPoints(runs[0], {nodeOf(nodes[0]).pos, nodeOf(nodes[1]).pos}, "bar run");
  expectPoints(runs[1], {nodeOf(nodes[1]).pos, nodeOf(nodes[2]).pos}, "ftg run");
}

TEST(AptTaken, CodeChangesAndEndNodes) {
  const Pt p0 = nodeOf(nodeRow("111", east(0))).pos, p1 = nodeOf(nodeRow("111", east(1))).pos,
           p2 = nodeOf(nodeRow("111", east(2))).pos, p3 = nodeOf(nodeRow("111", east(3))).pos;
  struct Case {
    const char* what;
    Rows nodes;
    std::vector<int> codes;
    std::vector<std::vector<Pt>> points;
  } cases[] = {
      {"101 then 105 at a node",
       {nodeRow("111", east(0), "101"), nodeRow("111", east(1), "1 105"), nodeRow("115", east(2))},
       {101, 105},
       {{p0, p1}, {p1, p2}}},
      {"115 with a code keeps the current one",
       {nodeRow("111", east(0), "101"), nodeRow("115", east(1), "105"), nodeRow("111", east(2)),
        nodeRow("115", east(3))},
       {101},
       {{p0, p1, p2, p3}}},
      {"116 with a code keeps the current one",
       {nodeRow("111", east(0), "101"), testutil::bezRow("116", east(1), east(1), "105"),
        nodeRow("115", east(2))},
       {101},
       {}},
      {"113 with a code changes it",
       {nodeRow("111", east(0), "101"), nodeRow("113", east(1), "105"), nodeRow("115", east(2))},
       {101, 105},
       {{p0, p1}, {p1, p2}}},
      {"105 then 102: the lights end",
       {nodeRow("111", east(0), "105"), nodeRow("111", east(1), "102"), nodeRow("115", east(2))},
       {105},
       {{p0, p1}}},
      {"duplicate node adds no point",
       {nodeRow("111", east(0), "101"), nodeRow("111", east(1)), nodeRow("111", east(1)),
        nodeRow("115", east(2))},
       {101},
       {{p0, p1, p2}}},
  };
  for (const Case& c : cases) {
    const std::vector<Polyline> along{follow(c.nodes)};
    SuppressScope s;
    s.leadOns = &along;
    const std::vector<TakenRun> runs = taken(feature(c.nodes), s);
    ASSERT_EQ(runs.size(), c.codes.size()) << c.what;
    for (size_t i = 0; i < runs.size(); ++i) {
      EXPECT_EQ(runs[i].code, c.codes[i]) << c.what;
      if (!c.points.empty()) expectPoints(runs[i], c.points[i], c.what);
    }
  }
}

TEST(AptTaken, RunMayBeginInsideABezierSegment) {
  const Rows nodes = {testutil::bezRow("112", east(0, 400), offsetPt(east(0, 400), 150, 60), "104"),
                      nodeRow("115", east(1, 400))};
  const Node a = nodeOf(nodes[0]), b = nodeOf(nodes[1]);
  std::vector<Pt> pts{a.pos};
  ftg::bezSegment(a, b, pts, 8);
  // cover sub-segments 5, 6 and 7 only
  const std::vector<Polyline> ftg{{mid(pts[5], pts[6]), mid(pts[6], pts[7]), mid(pts[7], pts[8])}};
  SuppressScope s;
  s.ftgRuns = &ftg;
  const std::vector<TakenRun> runs = taken(feature(nodes), s);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].code, 104);
  EXPECT_TRUE(runs[0].ftgOnly);
  expectPoints(runs[0], {pts[5], pts[6], pts[7], pts[8]}, "bezier run");
}
