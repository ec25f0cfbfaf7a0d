// Publisher picks, the FTG airport list and FTG networks, read from files and
// from real answers of the development server.
#include <gtest/gtest.h>

#include <optional>

#include <nlohmann/json.hpp>

#include "maps/ftg_net.h"
#include "tests/support/devserver.h"
#include "tests/support/tmpdir.h"

namespace {

const std::string kHost = "127.0.0.1";
const std::string US = "\x1f";

TEST(PercentEncode, KeepsOnlyTheUnreservedSet) {
  EXPECT_EQ(orvl::percentEncode("AZaz09-._~"), "AZaz09-._~");
  EXPECT_EQ(orvl::percentEncode("Pub &Co"), "Pub%20%26Co");
  EXPECT_EQ(orvl::percentEncode("Z\xc3\xbcrich/+%"), "Z%C3%BCrich%2F%2B%25");
  EXPECT_EQ(orvl::percentEncode(std::string("a\0b", 3)), "a%00b");
}

TEST(LoadPublishers, StringMembersOfAnObjectOnly) {
  testutil::TempDir dir;
  const std::string file = dir / "resources/publishers.json";
  using Map = std::unordered_map<std::string, std::string>;
  struct Case {
    std::optional<std::string> content;
    Map want;
  } cases[] = {
      {std::nullopt, {}},
      {"{\"a\": \"P\",", {}},
      {R"([{"a":"P"}])", {}},
      {R"("P")", {}},
      {R"({"xdma_pack":"Pub One","XDMB Pack":"Q","n":3,"o":{"x":"y"},"z":null})",
       {{"xdma_pack", "Pub One"}, {"XDMB Pack", "Q"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content ? *c.content : "<no file>");
    std::filesystem::remove(file);
    if (c.content) testutil::writeFile(file, *c.content);
    EXPECT_EQ(orvl::loadPublishers(dir.path()), c.want);
  }
}

TEST(FetchFtgAirports, SetsAndErrorTextsFromRealAnswers) {
  testutil::TempDir dir;
  testutil::DevServer srv(dir.path());
  ASSERT_TRUE(srv.ok());
  using Set = std::set<std::string>;
  struct Case {
    std::optional<std::string> body;
    const char* fault;
    bool ok;
    const char* err;
    Set airports, pairs;
  } cases[] = {
      {std::nullopt, "", false, "no answer from 127.0.0.1", {}, {}},
      {"", "", false, "no answer from 127.0.0.1", {}, {}},
      {R"({"airports":[]})", "status", false, "no answer from 127.0.0.1", {}, {}},
      {R"({"airports":[)", "", false, "could not read the FTG airport list", {}, {}},
      {R"({"airports":[]})", "garbage", false, "could not read the FTG airport list", {}, {}},
      {R"([{"platform":"xplane","icao":"XDMA"}])", "", false, "no airport list", {}, {}},
      {R"({"list":[]})", "", false, "no airport list", {}, {}},
      {R"({"airports":{"XDMA":{}}})", "", false, "no airport list", {}, {}},
      {R"({"airports":[]})", "", true, "", {}, {}},
      {R"({"airports":[
          {"platform":"xplane","icao":"XDMA"},
          {"platform":"xplane","icao":"XDMA","publisher":"Pub One"},
          {"platform":"msfs","icao":"XDMC"},
          {"platform":"XPLANE","icao":"XDMD"},
          {"icao":"XDME"},
          {"platform":"xplane","icao":""},
          {"platform":"xplane","icao":"xdmb","publisher":""},
          {"platform":"msfs","icao":5}]})",
       "", true, "", {"XDMA", "xdmb"}, {"XDMA" + US, "XDMA" + US + "Pub One", "xdmb" + US}},
      // a wrongly typed entry stops the walk; what came before stays
      {R"({"airports":[{"platform":"xplane","icao":"XDMA"},{"platform":"xplane","icao":"XDMB","publisher":7},
          {"platform":"xplane","icao":"XDMC"}]})",
       "", false, "could not read the FTG airport list", {"XDMA", "XDMB"}, {"XDMA" + US}},
      {R"({"airports":[{"platform":"xplane","icao":"XDMA"},"XDMB"]})", "", false,
       "could not read the FTG airport list", {"XDMA"}, {"XDMA" + US}},
      {R"({"airports":[{"platform":1,"icao":"XDMA"}]})", "", false,
       "could not read the FTG airport list", {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.body ? *c.body : "<none>") + " " + c.fault);
    ASSERT_TRUE(srv.reset());
    std::filesystem::remove(dir / "ftg/airports.json");
    if (c.body) testutil::writeFile(dir / "ftg/airports.json", *c.body);
    if (*c.fault) {
      ASSERT_TRUE(srv.fault("/api/ftg/airports", c.fault, 500));
    }
    Set airports, pairs;
    std::string err;
    EXPECT_EQ(orvl::fetchFtgAirports(kHost, srv.port(), airports, pairs, err), c.ok);
    EXPECT_EQ(err, c.err);
    EXPECT_EQ(airports, c.airports);
    EXPECT_EQ(pairs, c.pairs);
  }
}

// One network document per case, served for XDMA.
struct NetCase {
  std::optional<std::string> body;
  const char* fault;
  bool ok;
  const char* err;
  std::vector<std::vector<std::pair<double, double>>> edges;
};

std::vector<std::vector<std::pair<double, double>>> flat(const orvl::FtgNet& n) {
  std::vector<std::vector<std::pair<double, double>>> out;
  for (const auto& e : n.edges) {
    out.emplace_back();
    for (const auto& p : e) out.back().emplace_back(p.lat, p.lon);
  }
  return out;
}

TEST(FetchFtgNet, EdgesAndErrorTextsFromRealAnswers) {
  testutil::TempDir dir;
  testutil::DevServer srv(dir.path());
  ASSERT_TRUE(srv.ok());
  const std::string nodes = R"("nodes":{"1":[10,20],"2":[11,21.5,99],"3":"bad","4":[12]})";
  const NetCase cases[] = {
      {"", "", false, "no answer for XDMA", {}},
      {R"({"available":false})", "status", false, "no answer for XDMA", {}},
      {"{\"available\":", "", false, "XDMA: could not read the network", {}},
      {R"({"available":true})", "garbage", false, "XDMA: could not read the network", {}},
      {R"([{"available":true}])", "", false, "XDMA: could not read the network", {}},
      {R"({"available":"yes"})", "", false, "XDMA: could not read the network", {}},
      {R"({"available":false,"geom":1})", "", false, "XDMA: could not read the network", {}},
      {R"({"available":true,"pubRev":[],)" + nodes + R"(,"edges":[]})", "", false,
       "XDMA: could not read the network", {}},
      {R"({"available":true,)" + nodes + R"(,"edges":["1-2"]})", "", false,
       "XDMA: could not read the network", {}},
      {R"({"available":true,)" + nodes + R"(,"edges":[{"a":1,"b":"2"}]})", "", false,
       "XDMA: could not read the network", {}},
      {R"({"available":true,)" + nodes + "}", "", false, "XDMA: no network geometry", {}},
      {R"({"available":true,"edges":[]})", "", false, "XDMA: no network geometry", {}},
      {R"({"available":true,)" + nodes + R"(,"edges":{"a":"1","b":"2"}})", "", false,
       "XDMA: no network geometry", {}},
      // not available: true and empty, whatever else it carries
      {R"({"available":false,)" + nodes + R"(,"edges":[{"a":"1","b":"2"}]})", "", true, "", {}},
      {R"({"geom":"publisher"})", "", true, "", {}},
      // available, but no usable edge: false with no text
      {R"({"available":true,)" + nodes + R"(,"edges":[{"a":"1","b":"9"},{"a":"1","b":"3"}]})", "", false,
       "", {}},
      {R"({"available":true,"nodes":[[1,2]],"edges":[{"a":"0","b":"0"}]})", "", false, "", {}},
      {R"({"available":true,)" + nodes + R"(,"edges":[
          {"a":"1","b":"2","shape":[[10.5,20.5],"x",[1],[10.7,20.7]]},
          {"a":"1","b":"2","shape":{"p":[1,1]}},
          {"a":"3","b":"2","shape":[[10.9,20.9]]},
          {"a":"4","b":"2"},
          {"a":"1","b":"4","shape":[[10.5,20.5]]},
          {"a":"1","b":"1"},
          {"b":"2"}]})",
       "", true, "",
       {{{10, 20}, {10.5, 20.5}, {10.7, 20.7}, {11, 21.5}},
        {{10, 20}, {11, 21.5}},
        {{10.9, 20.9}, {11, 21.5}},  // node a without a valid point: shape and b
        {{10, 20}, {10, 20}}}},      // a and b the same node: two points
      {R"({"available":true,)" + nodes + R"(,"edges":[{"a":"1","b":"2"}]})", "gzip", true, "",
       {{{10, 20}, {11, 21.5}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.body ? *c.body : "<none>") + " " + c.fault);
    ASSERT_TRUE(srv.reset());
    std::filesystem::remove(dir / "ftg/XDMA.json");
    if (c.body) testutil::writeFile(dir / "ftg/XDMA.json", *c.body);
    if (*c.fault) {
      ASSERT_TRUE(srv.fault("/api/ftg/XDMA/net", c.fault, 500));
    }
    orvl::FtgNet net;
    std::string err;
    EXPECT_EQ(orvl::fetchFtgNet(kHost, srv.port(), "XDMA", "", net, err), c.ok);
    EXPECT_EQ(err, c.err);
    EXPECT_EQ(flat(net), c.edges);
  }
}

TEST(FetchFtgNet, PublisherIsPercentEncodedAndFlagsAreRead) {
  testutil::TempDir dir;
  const std::string edges = R"("nodes":{"a":[1,2],"b":[3,4]},"edges":[{"a":"a","b":"b"}])";
  testutil::writeFile(dir / "ftg/XdMa.json", R"({"available":true,"geom":"canonical",)" + edges + "}");
  testutil::writeFile(dir / "ftg/XdMa@Pub &Co.json",
                      R"({"available":true,"geom":"publisher","pubRev":"p7",)" + edges + "}");
  testutil::writeFile(dir / "ftg/XdMa@Z\xc3\xbcrich.json",
                      R"({"available":true,"geom":"Publisher",)" + edges + "}");
  testutil::DevServer srv(dir.path());
  ASSERT_TRUE(srv.ok());

  struct Case {
    const char* publisher;
    const char* target;
    bool byPublisher;
    const char* pubRev;
  } cases[] = {
      {"", "/api/ftg/XdMa/net?platform=xplane", false, ""},
      {"Pub &Co", "/api/ftg/XdMa/net?platform=xplane&publisher=Pub%20%26Co", true, "p7"},
      {"Z\xc3\xbcrich", "/api/ftg/XdMa/net?platform=xplane&publisher=Z%C3%BCrich", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.publisher);
    orvl::FtgNet net;
    std::string err;
    ASSERT_TRUE(orvl::fetchFtgNet(kHost, srv.port(), "XdMa", c.publisher, net, err)) << err;
    EXPECT_EQ(nlohmann::json::parse(srv.last())["target"], c.target);
    EXPECT_TRUE(net.available);
    EXPECT_EQ(net.byPublisher, c.byPublisher);
    EXPECT_EQ(net.pubRev, c.pubRev);
    EXPECT_EQ(net.edges.size(), 1u);
  }
}

TEST(FetchFtgNet, UnreachableServer) {
  orvl::FtgNet net;
  std::string err;
  EXPECT_FALSE(orvl::fetchFtgNet(kHost, testutil::unusedPort(), "XDMA", "", net, err));
  EXPECT_EQ(err, "no answer for XDMA");
}

}  // namespace
