// Airport blocks and geometry for the suppression pass tests: every test
// airport has one lit "120" feature of four nodes along a parallel, 0.0008
// degrees of longitude (about 60 m) apart, and the geometry is laid across or
// along one of its three segments.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "aptdat/pt.h"

namespace testutil {

inline double nodeLon(double lon0, int i) { return lon0 + 0.0008 * i; }

inline std::string fmt8(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.8f", v);
  return b;
}

// Header (its token 5 is headerId), an optional "1302 icao_code" row, a few
// other rows, and the lit feature (lighting code `code` on every node).
inline std::vector<std::string> airportRows(const std::string& headerId, double lat, double lon0, int code = 101,
                                            const std::string& icaoRow = "") {
  std::vector<std::string> r{"1 100 0 0 " + headerId + " Test field " + headerId};
  if (!icaoRow.empty()) r.push_back("1302 icao_code " + icaoRow);
  r.push_back("1302 city Testville");
  r.push_back("100 30.00 1 0 0.25 0 2 1 09 " + fmt8(lat - 0.01) + " " + fmt8(lon0) + " 0 0 2 0 0 0 27 " +
              fmt8(lat - 0.01) + " " + fmt8(lon0 + 0.02) + " 0 0 2 0 0 0");
  r.push_back("120 Taxiway edge " + headerId);
  for (int i = 0; i < 4; ++i)
    r.push_back(std::string(i == 3 ? "115 " : "111 ") + fmt8(lat) + " " + fmt8(nodeLon(lon0, i)) + " 1 " +
                std::to_string(code));
  r.push_back("1201 " + fmt8(lat) + " " + fmt8(lon0) + " both 1 A_start");
  return r;
}

inline std::string joinRows(const std::vector<std::string>& rows, const std::string& nl = "\n") {
  std::string s;
  for (const auto& r : rows) s += r + nl;
  return s;
}

// A stop bar (about 22 m, north-south) through the middle of segment s.
inline ftg::Polyline barAcross(double lat, double lon0, int s) {
  const double mid = nodeLon(lon0, s) + 0.0004;
  return {{lat - 0.0001, mid}, {lat + 0.0001, mid}};
}

// A line along segment s, from node s to node s + 1.
inline ftg::Polyline along(double lat, double lon0, int s) {
  return {{lat, nodeLon(lon0, s)}, {lat, nodeLon(lon0, s + 1)}};
}

inline nlohmann::json lineJson(const ftg::Polyline& p) {
  nlohmann::json a = nlohmann::json::array();
  for (const auto& pt : p) a.push_back({pt.lat, pt.lon});
  return a;
}

// A network answer with one edge per polyline (node ids "n<i>a"/"n<i>b").
inline nlohmann::json netJson(const std::vector<ftg::Polyline>& edges, const std::string& geom,
                              const std::string& pubRev) {
  nlohmann::json nodes = nlohmann::json::object(), es = nlohmann::json::array();
  for (size_t i = 0; i < edges.size(); ++i) {
    const std::string a = "n" + std::to_string(i) + "a", b = "n" + std::to_string(i) + "b";
    nodes[a] = {edges[i].front().lat, edges[i].front().lon};
    nodes[b] = {edges[i].back().lat, edges[i].back().lon};
    es.push_back({{"a", a}, {"b", b}});
  }
  return {{"available", true}, {"geom", geom}, {"pubRev", pubRev}, {"nodes", nodes}, {"edges", es}};
}

}  // namespace testutil
