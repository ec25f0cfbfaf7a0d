#include <gtest/gtest.h>

#include <cmath>

#include "aptdat/coverage_index.h"
#include "aptdat/split.h"
#include "tests/support/geo.h"

using ftg::Node;
using ftg::Polyline;
using ftg::Pt;
using ftg::SuppressScope;
using testutil::mid;
using testutil::nodeOf;
using testutil::offsetPt;
using Rows = std::vector<std::string>;

namespace {

// The plain scan and the index must agree; the plain answer is returned.
bool coveredBoth(const SuppressScope& s, const Pt& m) {
  const bool plain = ftg::coveredAt(s, m);
  EXPECT_EQ(plain, ftg::coveredAt(ftg::buildCoverageIndex(s), m));
  EXPECT_EQ(ftg::barOrLeadOnAt(s, m), ftg::barOrLeadOnAt(ftg::buildCoverageIndex(s), m));
  return plain;
}

// A polyline of points given as (east, north) metres from ref.
Polyline around(const Pt& ref, std::initializer_list<std::pair<double, double>> offsets) {
  Polyline out;
  for (auto [e, n] : offsets) out.push_back(offsetPt(ref, e, n));
  return out;
}

}  // namespace

TEST(AptSplitTolerance, LeadOnAndFtgDistanceBoundaries) {
  const std::string rowA = "111 47.25000000 008.50000000 101";
  const std::string rowB = "111 47.25000000 008.50200000";
  const Node a = nodeOf(rowA), b = nodeOf(rowB);
  const Pt m = mid(a.pos, b.pos);
  const double r = 1 / std::sqrt(2.0);
  struct Case {
    const char* what;
    Polyline line;
    bool want;
  } cases[] = {
      {"parallel 7.99 m north", around(m, {{-50, 7.99}, {50, 7.99}}), true},
      {"parallel 8.01 m north", around(m, {{-50, 8.01}, {50, 8.01}}), false},
      {"parallel 7.99 m south", around(m, {{-50, -7.99}, {50, -7.99}}), true},
      {"end point 7.99 m east", around(m, {{7.99, 0}, {7.99, 60}}), true},
      {"end point 8.01 m east", around(m, {{8.01, 0}, {8.01, 60}}), false},
      {"diagonal at 7.99 m",
       around(m, {{-7.99 * r - 40 * r, 7.99 * r - 40 * r}, {-7.99 * r + 40 * r, 7.99 * r + 40 * r}}),
       true},
      {"diagonal at 8.01 m",
       around(m, {{-8.01 * r - 40 * r, 8.01 * r - 40 * r}, {-8.01 * r + 40 * r, 8.01 * r + 40 * r}}),
       false},
      {"second segment of a polyline at 7.99 m", around(m, {{-90, 30}, {-50, 7.99}, {50, 7.99}}), true},
  };
  for (const Case& c : cases) {
    const std::vector<Polyline> lines{c.line};
    for (int which = 0; which < 2; ++which) {
      SuppressScope s;
      (which == 0 ? s.leadOns : s.ftgRuns) = &lines;
      const char* list = which == 0 ? "lead-on" : "ftg";
      EXPECT_EQ(coveredBoth(s, m), c.want) << c.what << " " << list;
      EXPECT_EQ(ftg::barOrLeadOnAt(s, m), c.want && which == 0) << c.what << " " << list;
      EXPECT_EQ(ftg::segmentCovered(s, a, b), c.want) << c.what << " " << list;
      Rows rows{"1 0 0 0 TEST", "120 line", rowA, rowB};
      int32_t splits = -1;
      EXPECT_EQ(ftg::splitBlockLights(rows, s, splits), c.want) << c.what << " " << list;
      EXPECT_EQ(splits, 0);
    }
  }
}

TEST(AptSplitTolerance, BarBoxReachAndHalfWidthBoundaries) {
  const Pt m{60.0, 10.0};
  const double len = 30;
  struct Case {
    const char* what;
    double s, w;  // position of m along the bar from A (metres) and its distance to the side
    bool want;
  } cases[] = {
      {"4.99 beyond A, 7.99 aside", -4.99, 7.99, true},
      {"5.01 beyond A, 7.99 aside", -5.01, 7.99, false},
      {"4.99 beyond A, 8.01 aside", -4.99, 8.01, false},
      {"4.99 beyond B, 7.99 other side", len + 4.99, -7.99, true},
      {"5.01 beyond B", len + 5.01, -7.99, false},
      {"middle, 7.99 aside", len / 2, 7.99, true},
      {"middle, 8.01 aside", len / 2, -8.01, false},
  };
  for (double deg : {0.0, 30.0, 90.0}) {
    const double ue = std::cos(deg * M_PI / 180), un = std::sin(deg * M_PI / 180);
    for (const Case& c : cases) {
      // A = m - s u + w n with n = u turned left; B = A + len u
      const double ae = -c.s * ue - c.w * un, an = -c.s * un + c.w * ue;
      const std::vector<Polyline> bars{around(m, {{ae, an}, {ae + len * ue, an + len * un}})};
      SuppressScope s;
      s.bars = &bars;
      EXPECT_EQ(coveredBoth(s, m), c.want) << c.what << " at " << deg << " deg";
      EXPECT_EQ(ftg::barOrLeadOnAt(s, m), c.want) << c.what << " at " << deg << " deg";
    }
  }
  // A bar segment shorter than 1e-6 m holds nothing, not even its own point.
  const std::vector<Polyline> dot{{m, m}};
  SuppressScope s;
  s.bars = &dot;
  EXPECT_FALSE(coveredBoth(s, m));
}

TEST(AptSplitSegment, BezierNeedsStrictlyMoreThanHalfOfEightSubSegments) {
  const std::string rowA = "112 47.00000000 008.00000000 47.00100000 008.00100000 101";
  const std::string rowB = "111 47.00000000 008.00600000";
  const Node a = nodeOf(rowA), b = nodeOf(rowB);
  std::vector<Pt> pts{a.pos};
  ftg::bezSegment(a, b, pts, 8);
  ASSERT_EQ(pts.size(), 9u);
  struct Case {
    std::vector<int> coveredMidpoints;
    bool want;
  } cases[] = {
      {{0, 1, 2, 3}, false}, {{0, 1, 2, 3, 4}, true}, {{1, 3, 5, 7}, false},
      {{0, 2, 4, 6, 7}, true}, {{3, 4, 5, 6, 7}, true}, {{}, false},
  };
  for (const Case& c : cases) {
    std::vector<Polyline> dots;  // each covers one sub-segment midpoint only
    for (int i : c.coveredMidpoints) dots.push_back({mid(pts[i], pts[i + 1]), mid(pts[i], pts[i + 1])});
    SuppressScope s;
    s.ftgRuns = dots.empty() ? nullptr : &dots;
    for (int i = 0; i < 8; ++i) {
      const bool want = std::find(c.coveredMidpoints.begin(), c.coveredMidpoints.end(), i) !=
                        c.coveredMidpoints.end();
      ASSERT_EQ(coveredBoth(s, mid(pts[i], pts[i + 1])), want) << "midpoint " << i;
    }
    EXPECT_EQ(ftg::segmentCovered(s, a, b), c.want) << c.coveredMidpoints.size() << " covered";
    EXPECT_EQ(ftg::segmentCovered(ftg::buildCoverageIndex(s), a, b), c.want);
  }
}

TEST(AptSplitBlock, CoveredUncoveredCoveredBecomesThreeFeatures) {
  const Rows feature = {
      "120 Taxi A 51",
      "111  47.10000000  008.00000000 51 101",
      "111  47.10000000  008.00100000 51 103",
      "111  47.10000000  008.00200000 51 102",
      "115  47.10000000  008.00300000 51 105",
  };
  std::vector<Node> n;
  for (size_t i = 1; i < feature.size(); ++i) n.push_back(nodeOf(feature[i]));
  const std::vector<Polyline> ftg{{mid(n[0].pos, n[1].pos), mid(n[0].pos, n[1].pos)},
                                  {mid(n[2].pos, n[3].pos), mid(n[2].pos, n[3].pos)}};
  SuppressScope s;
  s.ftgRuns = &ftg;
  Rows rows = {"1 100 0 0 LXXX Test", "1302 icao_code LXXX"};
  rows.insert(rows.end(), feature.begin(), feature.end());
  rows.push_back("21 47.1 8.0 1 0 3 0 5 0 VASI");
  int32_t splits = -1;
  ASSERT_TRUE(ftg::splitBlockLights(rows, s, splits));
  EXPECT_EQ(splits, 2);
  EXPECT_EQ(rows, (Rows{
                      "1 100 0 0 LXXX Test",
                      "1302 icao_code LXXX",
                      "120 Taxi A 51",
                      "111 47.10000000 008.00000000 51",
                      "115 47.10000000 008.00100000",
                      "120 Taxi A 51",
                      "111  47.10000000  008.00100000 51 103",
                      "115 47.10000000 008.00200000",
                      "120 Taxi A 51",
                      "111 47.10000000 008.00200000 51 102",
                      "115 47.10000000 008.00300000 51",
                      "21 47.1 8.0 1 0 3 0 5 0 VASI",
                  }));
}

TEST(AptSplitBlock, ChainAfterEndNodeIsJoinedAndA116KeepsItsControlPointWhenCut) {
  const Rows feature = {
      "120 Two chains",
      "111 47.30000000 008.00000000 101",
      "116 47.30000000 008.00100000 47.30010000 008.00150000 101",
      "111 47.30000000 008.00200000 101",
      "115 47.30000000 008.00300000 101",
  };
  std::vector<Node> n;
  for (size_t i = 1; i < feature.size(); ++i) n.push_back(nodeOf(feature[i]));
  std::vector<Polyline> first{{n[0].pos}};  // follows the first segment only
  ftg::bezSegment(n[0], n[1], first[0], 8);
  SuppressScope s;
  s.ftgRuns = &first;
  Rows rows = feature;
  int32_t splits = -1;
  ASSERT_TRUE(ftg::splitBlockLights(rows, s, splits));
  EXPECT_EQ(splits, 1);
  EXPECT_EQ(rows, (Rows{"120 Two chains", "111 47.30000000 008.00000000",
                        "116 47.30000000 008.00100000 47.30010000 008.00150000", "120 Two chains",
                        feature[2], feature[3], feature[4]}));
}

TEST(AptSplitBlock, WhollyCoveredFeatureIsStrippedWithoutSplit) {
  const Rows feature = {
      "120 Lights",
      "112 47.20000000 008.00000000 47.20010000 008.00050000 1 101",
      "111 47.20000000 008.00100000",
      "113 47.20050000 008.00100000 104",
  };
  std::vector<Node> n;
  for (size_t i = 1; i < feature.size(); ++i) n.push_back(nodeOf(feature[i]));
  std::vector<Polyline> follow{{n[0].pos}};
  for (size_t i = 0; i + 1 < n.size(); ++i) ftg::bezSegment(n[i], n[i + 1], follow[0], 8);
  SuppressScope s;
  s.leadOns = &follow;
  Rows rows = feature;
  int32_t splits = -1;
  ASSERT_TRUE(ftg::splitBlockLights(rows, s, splits));
  EXPECT_EQ(splits, 0);
  EXPECT_EQ(rows, (Rows{"120 Lights", "112 47.20000000 008.00000000 47.20010000 008.00050000 1",
                        "111 47.20000000 008.00100000", "113 47.20050000 008.00100000"}));
}

TEST(AptSplitBlock, UnreadableOrUncoveredBlocksStayByteForByte) {
  // Everything near these coordinates is covered.
  const std::vector<Polyline> all{{Pt{46.9, 7.9}, Pt{47.1, 8.1}}, {Pt{47.1, 7.9}, Pt{46.9, 8.1}}};
  SuppressScope cover;
  cover.ftgRuns = &all;
  cover.ftgTolM = 1e6;
  const std::vector<Polyline> far{{Pt{10, 10}, Pt{10.001, 10}}};
  SuppressScope away;
  away.bars = &far;
  away.leadOns = &far;
  away.ftgRuns = &far;
  struct Case {
    const char* what;
    const SuppressScope* scope;
    Rows rows;
  } cases[] = {
      {"one node row", &cover, {"1 0 0 0 X", "120 a", "111  47.0 8.0  101 ", "99"}},
      {"node row of two tokens", &cover, {"120 a", "111 47.0 8.0 101", "111 47.0", "115 47.0 8.001 101"}},
      {"nodes after a pavement header", &cover, {"110 2 0.25 0.00 Pave", "111 47.0 8.0 101", "113 47.0 8.001 101"}},
      {"empty row closes the feature", &cover, {"120 a", "111 47.0 8.0 101", "", "115 47.0 8.001 101"}},
      {"blank row closes the feature", &cover, {"120 a", "111 47.0 8.0 101", " \t", "115 47.0 8.001 101"}},
      {"nothing covered", &away, {"1 0 0 0 X", "120  a ", "111  47.0  8.0 101 ", "115 47.0 8.001\t105", "99"}},
      {"all references absent", nullptr, {"120 a", "111 47.0 8.0 101", "115 47.0 8.001 105"}},
  };
  for (const Case& c : cases) {
    Rows rows = c.rows;
    int32_t splits = -1;
    EXPECT_FALSE(ftg::splitBlockLights(rows, c.scope ? *c.scope : SuppressScope{}, splits)) << c.what;
    EXPECT_EQ(rows, c.rows) << c.what;
    EXPECT_EQ(splits, 0) << c.what;
  }
}

TEST(AptSplitRows, StripLightCodesKeepsCodesCoordinatesAnd102) {
  struct Case {
    const char* row;
    const char* want;
  } cases[] = {
      {"111  47.1  8.2 51 101", "111 47.1 8.2 51"},
      {"111 47.1 8.2 102 101", "111 47.1 8.2 102"},
      {"113\t47.1\t8.2\t101\t\t103 ", "113 47.1 8.2"},
      {"115 47.1 101 104", "115 47.1 101"},                     // a coordinate reading 101 stays
      {"112 101 103 104 105 101 1 105 102", "112 101 103 104 105 1 102"},  // four coordinates stay
      {"114 47.1 8.2 47.3 8.4 108 105", "114 47.1 8.2 47.3 8.4 108"},
      {"116 47.1 8.2 105 101 101 3", "116 47.1 8.2 105 101 3"},  // 116 keeps its control point
      {"111 47.1 8.2 1010 0101 +101 101x", "111 47.1 8.2 1010 0101 +101 101x"},  // exact texts only
      {"111  47.1  8.2", "111 47.1 8.2"},                        // rebuilt single-spaced
      {"111 47.1", "111 47.1"},
      {"110 47.1 8.2 101", "110 47.1 8.2 101"},
  };
  for (const auto& c : cases) EXPECT_EQ(ftg::stripLightCodes(c.row), c.want) << c.row;
}

TEST(AptSplitRows, EndNodeRowForms) {
  struct Case {
    const char* row;
    const char* want;
  } cases[] = {
      {"112 47.1 8.2 47.3 8.4 1 101", "116 47.1 8.2 47.3 8.4"},
      {"114  47.1 8.2 47.3 8.4 101", "116 47.1 8.2 47.3 8.4"},
      {"112 47.1 8.2 47.3", "116 47.1 8.2 47.3"},
      {"111 47.1 8.2 51 101", "115 47.1 8.2"},
      {"113 47.1 8.2 101", "115 47.1 8.2"},
      {"115 47.1 8.2 105", "115 47.1 8.2"},
      {"116 47.1 8.2 47.3 8.4 51 101", "116 47.1 8.2 47.3 8.4"},
      {"111 47.1", "111 47.1"},
  };
  for (const auto& c : cases) EXPECT_EQ(ftg::endNodeRow(c.row), c.want) << c.row;
}

TEST(AptSplitScope, ScopeRefIsNullForEmptyLists) {
  const std::vector<Polyline> none, one{{Pt{1, 1}, Pt{1, 2}}};
  EXPECT_EQ(ftg::scopeRef(none), nullptr);
  EXPECT_EQ(ftg::scopeRef(one), &one);
}
