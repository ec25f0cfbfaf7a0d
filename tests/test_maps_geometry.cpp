// Reading the suppression geometry: the counting rules on a table of
// documents, and fetchGeometry's error texts from real server answers.
#include <gtest/gtest.h>

#include <optional>

#include <nlohmann/json.hpp>

#include "maps/geometry.h"
#include "tests/support/devserver.h"
#include "tests/support/tmpdir.h"

namespace {

using nlohmann::json;

const char* kLine = "[[47.1,8.1],[47.2,8.2]]";

std::string airport(const std::string& body) { return R"({"airports":{"XDMA":)" + body + "}}"; }

TEST(ParseGeometry, CountsOnlyStoredAirportsOwnLines) {
  const std::string L = kLine;
  struct Case {
    std::string doc;
    bool ok;
    size_t airports;
    int bars, leads, variants;
  } cases[] = {
      {R"({"airports":{}})", false, 0, 0, 0, 0},
      {R"({"rev":"r","airports":[]})", false, 0, 0, 0, 0},
      {R"([1,2])", false, 0, 0, 0, 0},
      {R"({"rev":"r"})", false, 0, 0, 0, 0},
      {airport(R"({"bars":[)" + L + "," + L + R"(],"lead":[)" + L + "]}"), true, 1, 2, 1, 0},
      // nothing to suppress: not stored
      {airport(R"({"bars":[],"lead":[],"variants":{"P":{"bars":[]}}})"), false, 0, 0, 0, 0},
      // only a variant: stored, counted as a variant and never as bars or lead-ons
      {airport(R"({"variants":{"P":{"bars":[)" + L + R"(],"lead":[)" + L + "]}}}"), true, 1, 0, 0, 1},
      {airport(R"({"bars":[)" + L + R"(],"variants":{"P":{"lead":[)" + L + R"(]},"Q":{"bars":[)" + L +
               R"(]},"E":{"bars":[]}}})"),
       true, 1, 1, 0, 2},
      // a one-point line is dropped, a point with one number is skipped
      {airport(R"({"bars":[[[1,2]],[[1,2],[3]],[[1,2],[3],[4,5]]]})"), true, 1, 1, 0, 0},
      // "bars" that is not an array, "variants" that is an array: nothing from them
      {airport(R"({"bars":{"a":1},"lead":[)" + L + R"(],"variants":[{"bars":[)" + L + "]}]}"), true, 1,
       0, 1, 0},
      // identifiers keep their case
      {R"({"airports":{"XDMA":{"bars":[)" + L + R"(]},"xdma":{"lead":[)" + L + "]}}}", true, 2, 1, 1, 0},
      // a nested "variants" inside a variant is ignored
      {airport(R"({"variants":{"P":{"variants":{"Q":{"bars":[)" + L + "]}}}}}"), false, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.doc);
    orvl::Geometry g;
    EXPECT_EQ(orvl::parseGeometry(json::parse(c.doc), g), c.ok);
    EXPECT_EQ(g.airports.size(), c.airports);
    EXPECT_EQ(g.barCount, c.bars);
    EXPECT_EQ(g.leadCount, c.leads);
    EXPECT_EQ(g.variantCount, c.variants);
  }
}

TEST(ParseGeometry, PointsAndMaps) {
  const json doc = json::parse(R"({
    "rev": "2024-05",
    "airports": {
      "XDMA": {
        "bars": [[[47.5, 8.5, 120], [47, 9]], {"b": [3, 4], "a": [1, 2], "c": null}],
        "lead": [[null, "x", 5, [47.6, 8.6], [47.7, 8.7]]],
        "variants": {"Pub One": {"bars": [[[1, 2], [3, 4]]]}}
      },
      "XDMB": {"variants": {"Other": {"lead": [[[5, 6], [7, 8]]]}}}
    }})");
  orvl::Geometry g;
  ASSERT_TRUE(orvl::parseGeometry(doc, g));
  EXPECT_EQ(g.rev, "2024-05");
  const auto& a = g.airports.at("XDMA");
  ASSERT_EQ(a.base.bars.size(), 2u);
  EXPECT_DOUBLE_EQ(a.base.bars[0][0].lat, 47.5);  // a third number is ignored
  EXPECT_DOUBLE_EQ(a.base.bars[0][0].lon, 8.5);
  EXPECT_DOUBLE_EQ(a.base.bars[0][1].lon, 9.0);  // integers convert
  // an object line gives its member values in name order: a, b
  EXPECT_DOUBLE_EQ(a.base.bars[1][0].lat, 1.0);
  EXPECT_DOUBLE_EQ(a.base.bars[1][1].lat, 3.0);
  ASSERT_EQ(a.base.leadOns.size(), 1u);
  ASSERT_EQ(a.base.leadOns[0].size(), 2u);  // null, "x" and 5 are skipped
  EXPECT_DOUBLE_EQ(a.base.leadOns[0][1].lon, 8.7);
  EXPECT_TRUE(a.base.ftgRuns.empty());
  ASSERT_EQ(a.variants.count("Pub One"), 1u);
  EXPECT_EQ(a.variants.at("Pub One").bars.size(), 1u);

  const auto& b = g.airports.at("XDMB");  // only a variant: empty base map
  EXPECT_TRUE(b.base.bars.empty());
  EXPECT_TRUE(b.base.leadOns.empty());
  EXPECT_EQ(b.variants.at("Other").leadOns.size(), 1u);
  EXPECT_EQ(g.variantCount, 2);
  EXPECT_EQ(g.barCount, 2);
  EXPECT_EQ(g.leadCount, 1);

  orvl::Geometry noRev;
  ASSERT_TRUE(orvl::parseGeometry(json::parse(airport(R"({"bars":[)" + std::string(kLine) + "]}")), noRev));
  EXPECT_EQ(noRev.rev, "");
}

TEST(ParseGeometry, WrongTypesFailAndLeaveTheGeometryAlone) {
  const std::string L = kLine;
  const std::string docs[] = {
      R"({"airports":{"XDMA":[]}})",
      R"({"airports":{"XDMA":null}})",
      R"({"airports":{"XDMA":{"bars":[)" + L + R"(]},"XDMB":{"variants":{"P":[]}}}})",
      R"({"rev":5,"airports":{"XDMA":{"bars":[)" + L + "]}}}",
      R"({"airports":{"XDMA":{"bars":[[["47.1",8.1],[47.2,8.2]]]}}})",
      R"({"airports":{"XDMA":{"lead":[[[47.1,true],[47.2,8.2]]]}}})",
      R"({"airports":{"XDMA":{"variants":{"P":{"bars":[[[47.1,8.1],[null,8.2]]]}}}}})",
  };
  for (const auto& d : docs) {
    SCOPED_TRACE(d);
    orvl::Geometry g;
    g.rev = "before";
    g.barCount = 7;
    EXPECT_FALSE(orvl::parseGeometry(json::parse(d), g));
    EXPECT_EQ(g.rev, "before");
    EXPECT_EQ(g.barCount, 7);
    EXPECT_TRUE(g.airports.empty());
  }
}

TEST(FetchGeometry, ErrorTextsFromRealAnswers) {
  testutil::TempDir dir;
  testutil::DevServer srv(dir.path());
  ASSERT_TRUE(srv.ok());
  const std::string good = airport(R"({"bars":[)" + std::string(kLine) + "]}");
  const std::string unreadable = "127.0.0.1 sent something we could not read";
  struct Case {
    std::optional<std::string> body;
    const char* fault;
    const char* err;
  } cases[] = {
      {std::nullopt, "", "no answer from 127.0.0.1"},
      {"", "", "no answer from 127.0.0.1"},
      {good, "status", "no answer from 127.0.0.1"},
      {"{\"airports\": {} // comment\n}", "", unreadable.c_str()},
      {good, "garbage", unreadable.c_str()},
      {R"({"airports":{"XDMA":"yes"}})", "", unreadable.c_str()},
      {R"({"airports":{"XDMA":{"bars":[[["a","b"],[1,2]]]}}})", "", unreadable.c_str()},
      {R"({"airports":{}})", "", "no airports in the database"},
      {R"([{"airports":{}}])", "", "no airports in the database"},
      {R"({"airports":{"XDMA":{"bars":[[[1,2]]]}}})", "", "no airports in the database"},
      {good, "gzip", ""},
      {good, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.body ? *c.body : "<none>") + " " + c.fault);
    ASSERT_TRUE(srv.reset());
    std::filesystem::remove(dir / "geometry.json");
    if (c.body) testutil::writeFile(dir / "geometry.json", *c.body);
    if (*c.fault) {
      ASSERT_TRUE(srv.fault("/api/suppress/geometry", c.fault, 503));
    }
    orvl::Geometry g;
    std::string err;
    EXPECT_EQ(orvl::fetchGeometry("127.0.0.1", srv.port(), g, err), *c.err == '\0');
    EXPECT_EQ(err, c.err);
    if (*c.err == '\0') {
      EXPECT_EQ(g.airports.count("XDMA"), 1u);
      EXPECT_EQ(g.barCount, 1);
    }
  }
  const int port = testutil::unusedPort();
  orvl::Geometry g;
  std::string err;
  EXPECT_FALSE(orvl::fetchGeometry("127.0.0.1", port, g, err));
  EXPECT_EQ(err, "no answer from 127.0.0.1");
}

}  // namespace
