// Fetching and reading the published suppression geometry.
#include "maps/geometry.h"

#include <nlohmann/json.hpp>

#include "net/net.h"

namespace orvl {
namespace {

using nlohmann::json;

enum class Parsed { Stored, Nothing, WrongType };

// One entry of a polyline. An array of two or more items is a point; anything
// else is skipped. False when a point's latitude or longitude is not a number.
bool addPoint(const json& entry, ftg::Polyline& line) {
  if (!entry.is_array() || entry.size() < 2) return true;
  const json& lat = entry[0];
  const json& lon = entry[1];
  if (!lat.is_number() || !lon.is_number()) return false;
  line.push_back({lat.get<double>(), lon.get<double>()});
  return true;
}

// The polylines of a "bars" or "lead" member; lines of fewer than two points are
// dropped. False on a wrongly typed point.
bool readPolylines(const json& v, std::vector<ftg::Polyline>& out) {
  if (!v.is_array()) return true;
  for (const json& el : v) {
    ftg::Polyline line;
    if (el.is_array() || el.is_object()) {  // an object gives its values in name order
      for (const json& entry : el)
        if (!addPoint(entry, line)) return false;
    }
    if (line.size() >= 2) out.push_back(std::move(line));
  }
  return true;
}

// "bars" and "lead" of an airport or variant object.
bool readScope(const json& obj, ftgdb::AirportScope& scope) {
  static const json kNone;
  auto bars = obj.find("bars");
  auto lead = obj.find("lead");
  return readPolylines(bars != obj.end() ? *bars : kNone, scope.bars) &&
         readPolylines(lead != obj.end() ? *lead : kNone, scope.leadOns);
}

bool hasLines(const ftgdb::AirportScope& s) { return !s.bars.empty() || !s.leadOns.empty(); }

// Reads into `out` (a fresh record). Airports are visited in byte order of
// their names, which is nlohmann::json's object order.
Parsed readGeometry(const json& doc, Geometry& out) {
  if (!doc.is_object()) return Parsed::Nothing;
  auto airports = doc.find("airports");
  if (airports == doc.end()) return Parsed::Nothing;
  auto rev = doc.find("rev");
  if (rev != doc.end()) {
    if (!rev->is_string()) return Parsed::WrongType;
    out.rev = rev->get<std::string>();
  }
  if (!airports->is_object()) return Parsed::Nothing;
  for (auto it = airports->begin(); it != airports->end(); ++it) {
    const json& a = it.value();
    if (!a.is_object()) return Parsed::WrongType;
    AirportGeom g;
    if (!readScope(a, g.base)) return Parsed::WrongType;
    auto vs = a.find("variants");
    if (vs != a.end() && vs->is_object()) {
      for (auto v = vs->begin(); v != vs->end(); ++v) {
        if (!v.value().is_object()) return Parsed::WrongType;
        ftgdb::AirportScope scope;
        if (!readScope(v.value(), scope)) return Parsed::WrongType;
        if (hasLines(scope)) g.variants.emplace(v.key(), std::move(scope));
      }
    }
    if (!hasLines(g.base) && g.variants.empty()) continue;  // nothing to suppress
    out.barCount += static_cast<int>(g.base.bars.size());
    out.leadCount += static_cast<int>(g.base.leadOns.size());
    out.variantCount += static_cast<int>(g.variants.size());
    out.airports[it.key()] = std::move(g);
  }
  return out.airports.empty() ? Parsed::Nothing : Parsed::Stored;
}

// Reads `doc` and adds it to `out`; a wrongly typed document leaves `out` as it was.
Parsed mergeGeometry(const json& doc, Geometry& out) {
  try {
    Geometry g;
    Parsed r = readGeometry(doc, g);
    if (r == Parsed::WrongType) return r;
    if (!doc.is_object() || !doc.contains("airports")) return Parsed::Nothing;
    out.rev = std::move(g.rev);
    out.barCount += g.barCount;
    out.leadCount += g.leadCount;
    out.variantCount += g.variantCount;
    for (auto& [id, a] : g.airports) out.airports[id] = std::move(a);
    if (!doc.find("airports")->is_object()) return Parsed::Nothing;
    return out.airports.empty() ? Parsed::Nothing : Parsed::Stored;
  } catch (...) {
    return Parsed::WrongType;
  }
}

}  // namespace

bool parseGeometry(const nlohmann::json& doc, Geometry& out) {
  return mergeGeometry(doc, out) == Parsed::Stored;
}

bool fetchGeometry(const std::string& host, int port, Geometry& out, std::string& err) {
  std::string body;
  if (!net::get(host, port, "/api/suppress/geometry", body, "") || body.empty()) {
    err = "no answer from " + host;
    return false;
  }
  const json doc = json::parse(body, nullptr, false);
  Parsed r = doc.is_discarded() ? Parsed::WrongType : mergeGeometry(doc, out);
  if (r == Parsed::WrongType) {
    err = host + " sent something we could not read";
    return false;
  }
  if (r == Parsed::Nothing) {
    err = "no airports in the database";
    return false;
  }
  return true;
}

}  // namespace orvl
