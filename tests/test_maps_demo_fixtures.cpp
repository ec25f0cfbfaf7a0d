// The demo fixtures, served by the development server, read cleanly.
#include <gtest/gtest.h>

#include "maps/ftg_net.h"
#include "maps/geometry.h"
#include "update/release.h"
#include "tests/support/devserver.h"

TEST(DemoFixtures, EveryDocumentReadsThroughTheLauncher) {
  testutil::DevServer srv(ORVL_SOURCE_DIR "/tools/demo-fixtures");
  ASSERT_TRUE(srv.ok());
  const std::string host = "127.0.0.1";
  std::string err;

  orvl::Geometry g;
  ASSERT_TRUE(orvl::fetchGeometry(host, srv.port(), g, err)) << err;
  EXPECT_EQ(g.airports.size(), 2u);
  EXPECT_EQ(g.barCount, 3);
  EXPECT_EQ(g.leadCount, 1);
  EXPECT_EQ(g.variantCount, 1);

  std::set<std::string> airports, pairs;
  ASSERT_TRUE(orvl::fetchFtgAirports(host, srv.port(), airports, pairs, err)) << err;
  EXPECT_EQ(airports, std::set<std::string>{"XDMA"});
  ASSERT_EQ(pairs.size(), 2u);
  for (const std::string& pair : pairs) {
    const size_t sep = pair.find(orvl::kPairSep);
    orvl::FtgNet net;
    ASSERT_TRUE(orvl::fetchFtgNet(host, srv.port(), pair.substr(0, sep), pair.substr(sep + 1), net, err))
        << err;
    EXPECT_EQ(net.byPublisher, sep + 1 < pair.size());
    EXPECT_FALSE(net.edges.empty());
  }

  for (const char* product : {"xplane", "xplane-launcher-linux", "xplane-launcher-mac"}) {
    orvl::Release r;
    EXPECT_TRUE(orvl::fetchLatest(host, srv.port(), r, err, product)) << product << ": " << err;
  }
}
