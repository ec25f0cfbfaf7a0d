// The published suppression geometry: stop bars and lead-on lines per airport,
// with per-publisher variants for add-on sceneries.
#pragma once
#include <string>
#include <unordered_map>

#include <nlohmann/json_fwd.hpp>

#include "scenery/airport_scope.h"

namespace orvl {

struct AirportGeom {
  ftgdb::AirportScope base;                                   // the airport's own map
  std::unordered_map<std::string, ftgdb::AirportScope> variants;  // publisher -> replacement map
};

struct Geometry {
  std::unordered_map<std::string, AirportGeom> airports;
  std::string rev;
  int barCount = 0;
  int leadCount = 0;
  int variantCount = 0;
};

// GET /api/suppress/geometry into `out` (expected empty). False with `err` set on
// failure: "no answer from " + host; host + " sent something we could not read"
// (not JSON, or wrongly typed: an airport or variant that is not an object, a
// "rev" that is not a string, a point whose latitude or longitude is not a
// number); "no airports in the database".
bool fetchGeometry(const std::string& host, int port, Geometry& out, std::string& err);

// Add a parsed document to `out`; true when `out` then holds at least one
// airport. A wrongly typed document gives false and leaves `out` as it was.
bool parseGeometry(const nlohmann::json& doc, Geometry& out);

}  // namespace orvl
