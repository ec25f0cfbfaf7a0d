// Geometry helpers for the apt.dat analysis tests: points placed by offsets in
// metres, converted with the analysis's own local metric.
#pragma once
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "aptdat/rows.h"

namespace testutil {

// The point east/north metres from ref, in the metric laid at ref's latitude.
inline ftg::Pt offsetPt(const ftg::Pt& ref, double eastM, double northM) {
  return ftg::Pt{ref.lat + northM / ftg::metresPerDegree,
                 ref.lon + eastM / (ftg::metresPerDegree * ftg::metricCos(ref.lat))};
}

inline ftg::Pt mid(const ftg::Pt& a, const ftg::Pt& b) {
  return ftg::Pt{(a.lat + b.lat) / 2, (a.lon + b.lon) / 2};
}

// "code lat lon[ rest]" with 8 decimals, as WorldEditor writes node rows.
inline std::string nodeRow(const char* code, const ftg::Pt& p, const std::string& rest = "") {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%s %.8f %.8f", code, p.lat, p.lon);
  return rest.empty() ? std::string(buf) : std::string(buf) + " " + rest;
}

inline std::string bezRow(const char* code, const ftg::Pt& p, const ftg::Pt& c,
                          const std::string& rest = "") {
  char buf[160];
  std::snprintf(buf, sizeof buf, "%s %.8f %.8f %.8f %.8f", code, p.lat, p.lon, c.lat, c.lon);
  return rest.empty() ? std::string(buf) : std::string(buf) + " " + rest;
}

inline ftg::Node nodeOf(const std::string& row) { return ftg::parseNode(ftg::tok(row)); }

}  // namespace testutil
