#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>

#include "aptdat/rows.h"
#include "tests/support/geo.h"

using ftg::Node;
using ftg::Pt;
using Rows = std::vector<std::string>;

TEST(AptRowsTok, SplitsAtEveryKindOfBlankAndKeepsText) {
  EXPECT_EQ(ftg::tok("  \t111 \t\t 050.10\v\f-008.2  \r\n"),
            (Rows{"111", "050.10", "-008.2"}));
  EXPECT_EQ(ftg::tok("1302 icao_code EDDB"), (Rows{"1302", "icao_code", "EDDB"}));
  EXPECT_TRUE(ftg::tok("").empty());
  EXPECT_TRUE(ftg::tok(" \t \r").empty());
}

TEST(AptRowsIcao, FirstUsableIcaoCodeRowWinsElseHeaderToken5) {
  const Rows header5 = {"1", "100", "0", "0", "HDR"};
  struct Case {
    const char* what;
    Rows header;
    Rows rows;
    std::string want;
  } cases[] = {
      {"icao_code row", header5, {"1 100 0 0 HDR x", "1302 city X", "1302 icao_code EDDB"}, "EDDB"},
      {"two-token row skipped, later one used", header5,
       {"1302 icao_code", "1302 icao_code EDDC", "1302 icao_code EDDD"}, "EDDC"},
      {"longer code starting 1302 still read", header5, {"13020 icao_code ABCD"}, "ABCD"},
      {"longer code with another key", header5, {"13020 faa_code ABCD"}, "HDR"},
      {"raw characters, not the first token", header5, {" 1302 icao_code LEAD"}, "HDR"},
      {"short row never matches", header5, {"130"}, "HDR"},
      {"key must match exactly", header5, {"1302 ICAO_CODE XXXX", "1302 icao_code_x Y Z"}, "HDR"},
      {"header of four tokens", {"1", "100", "0", "0"}, {"1302 faa_code X"}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ftg::blockIcao(c.header, c.rows), c.want) << c.what;
}

TEST(AptRowsParseNode, CodesCoordinatesAndLastLightingCode) {
  struct Case {
    const char* row;
    bool bez, end, loop;
    Pt pos, ctrl;
    int light;
  } cases[] = {
      {"111 50.5 -8.25 1 101", false, false, false, {50.5, -8.25}, {0, 0}, 101},
      {"111 50.5 8.25 101 51", false, false, false, {50.5, 8.25}, {0, 0}, 101},
      {"111 50.5 8.25 103 101", false, false, false, {50.5, 8.25}, {0, 0}, 101},
      {"111 50.5 8.25", false, false, false, {50.5, 8.25}, {0, 0}, -1},
      {"111 50.5 8.25 99 200", false, false, false, {50.5, 8.25}, {0, 0}, -1},
      {"113 1 2 105", false, true, true, {1, 2}, {0, 0}, 105},
      {"115 1 2 104", false, true, false, {1, 2}, {0, 0}, 104},
      {"112 1 2 3 4 102", true, false, false, {1, 2}, {3, 4}, 102},
      {"112 1 2 101", true, false, false, {1, 2}, {0, 0}, -1},  // attributes start at token 6
      {"114 1 2 3 4 51 103", true, true, true, {1, 2}, {3, 4}, 103},
      {"116 1 2 3 4", true, true, false, {1, 2}, {3, 4}, -1},
      // atof/atoi reading: leading numeric part, otherwise 0
      {"111 12.5abc x 101.9 +105", false, false, false, {12.5, 0}, {0, 0}, 105},
      {"111 1 2 4294967397", false, false, false, {1, 2}, {0, 0}, -1},  // no wrap into 101
  };
  for (const auto& c : cases) {
    const Node n = ftg::parseNode(ftg::tok(c.row));
    EXPECT_EQ(n.isBezier, c.bez) << c.row;
    EXPECT_EQ(n.isEnd, c.end) << c.row;
    EXPECT_EQ(n.closesLoop, c.loop) << c.row;
    EXPECT_EQ(n.pos.lat, c.pos.lat) << c.row;
    EXPECT_EQ(n.pos.lon, c.pos.lon) << c.row;
    EXPECT_EQ(n.ctrl.lat, c.ctrl.lat) << c.row;
    EXPECT_EQ(n.ctrl.lon, c.ctrl.lon) << c.row;
    EXPECT_EQ(n.light, c.light) << c.row;
  }
}

TEST(AptRowsParseNode, CoordinatesReadExactlyAsAtofDoes) {
  std::mt19937 rng(7);
  const char* odd[] = {"+50.5", " 7", "1e3", "0x1p4", ".5", "5.", "-0", "-", "inf", "nan", "1.2.3",
                       "00012.50000000000000000001", "-179.99999999999999999", "1,5"};
  std::vector<std::string> texts(std::begin(odd), std::end(odd));
  for (int i = 0; i < 20000; ++i) {
    std::string t = (rng() % 2 ? "-" : "") + std::to_string(rng() % 200);
    if (rng() % 8) {
      t += '.';
      for (unsigned d = 0, n = 1 + rng() % 19; d < n; ++d) t += static_cast<char>('0' + rng() % 10);
    }
    texts.push_back(t);
  }
  for (const std::string& t : texts) {
    const Node n = ftg::parseNode({"111", t, "0"});
    const double want = std::atof(t.c_str());
    if (std::isnan(want))
      EXPECT_TRUE(std::isnan(n.pos.lat)) << t;
    else
      EXPECT_EQ(std::memcmp(&n.pos.lat, &want, sizeof want), 0) << t;  // bit for bit, sign of zero too
  }
}

TEST(AptRowsBezSegment, PlainAppendsEndOnlyBezierAppendsStepsEndingExactlyAtB) {
  const Node a = testutil::nodeOf("111 50.1 8.1");
  const Node b = testutil::nodeOf("111 50.2 8.3");
  std::vector<Pt> out{{9, 9}};
  ftg::bezSegment(a, b, out, 8);
  ASSERT_EQ(out.size(), 2u);  // nothing of a, b alone
  EXPECT_EQ(out[1].lat, 50.2);
  EXPECT_EQ(out[1].lon, 8.3);

  const Node bz = testutil::nodeOf("112 50.1 8.1 50.15 8.0");
  const Node bzEnd = testutil::nodeOf("116 50.2 8.3 50.25 8.35");
  for (auto [from, to] : {std::pair<Node, Node>{bz, b}, {a, bzEnd}, {bz, bzEnd}}) {
    out.clear();
    ftg::bezSegment(from, to, out, 8);
    ASSERT_EQ(out.size(), 8u);
    EXPECT_EQ(out.back().lat, to.pos.lat);
    EXPECT_EQ(out.back().lon, to.pos.lon);
  }
  out.clear();
  ftg::bezSegment(bz, b, out, 0);
  ftg::bezSegment(bz, b, out, -3);
  EXPECT_TRUE(out.empty());
}

TEST(AptRowsBezSegment, CubicUsesControlOfAAndMirroredControlOfB) {
  // a bezier with control c, b bezier with control d: C2 = 2b - d.
  const Node a = testutil::nodeOf("112 0 0 1 0");
  const Node b = testutil::nodeOf("112 0 3 -1 4");  // C2 = (1, 2)
  std::vector<Pt> out;
  ftg::bezSegment(a, b, out, 2);
  ASSERT_EQ(out.size(), 2u);
  // t = 0.5: (P0 + 3 C1 + 3 C2 + P3) / 8
  EXPECT_DOUBLE_EQ(out[0].lat, (0 + 3 * 1 + 3 * 1 + 0) / 8.0);
  EXPECT_DOUBLE_EQ(out[0].lon, (0 + 3 * 0 + 3 * 2 + 3) / 8.0);

  // b's control at its own position: C2 is b, so with a plain a (C1 = a) the
  // points lie on the line at lon = 8 (3 t^2 - 2 t^3).
  const Node p = testutil::nodeOf("111 0 0");
  const Node q = testutil::nodeOf("112 0 8 0 8");
  out.clear();
  ftg::bezSegment(p, q, out, 8);
  for (int i = 0; i < 8; ++i) {
    EXPECT_DOUBLE_EQ(out[i].lat, 0.0);
    const double t = (i + 1) / 8.0;
    EXPECT_NEAR(out[i].lon, 8.0 * (3 * t * t - 2 * t * t * t), 1e-12);
  }
}

TEST(AptRowsMetric, OffsetsAtLatitude60) {
  const Pt ref{60, 10};
  const double c = ftg::metricCos(ref.lat);
  const ftg::OffsetM east = ftg::offsetM(ref, c, Pt{60, 10.001});
  const ftg::OffsetM north = ftg::offsetM(ref, c, Pt{60.001, 10});
  EXPECT_NEAR(east.east, 55.66, 1e-6);
  EXPECT_DOUBLE_EQ(east.north, 0.0);
  EXPECT_NEAR(north.north, 111.32, 1e-9);
  // the literal pi, not the full-precision constant
  EXPECT_EQ(c, std::cos(60 * 3.14159265358979 / 180));
}
