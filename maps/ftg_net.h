// Publisher picks and the published FTG (follow-the-greens) taxi networks.
#pragma once
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "aptdat/pt.h"

namespace orvl {

// Separates airport identifier and publisher name in the pair set.
inline constexpr char kPairSep = '\x1f';

// One airport's network as fetched for one publisher (or for none).
struct FtgNet {
  std::vector<ftg::Polyline> edges;  // node a, shape points, node b; two points or more each
  bool available = false;            // the server has a network for this request
  bool byPublisher = false;          // drawn for the requested publisher's scenery
  std::string pubRev;                // publisher revision label, empty when absent
};

// Scenery pack key -> publisher name from pluginDir + "/resources/publishers.json";
// empty when the file is missing, unreadable or not an object. Never fails.
std::unordered_map<std::string, std::string> loadPublishers(const std::string& pluginDir);

// GET /api/ftg/airports. Adds the identifiers that have an X-Plane network to
// `airports`, and identifier + U+001F + publisher (empty for the canonical
// network) to `pairs`. False with `err` set on no answer, an unreadable or wrongly
// typed list (what was added before the fault stays) or no "airports" array.
bool fetchFtgAirports(const std::string& host, int port, std::set<std::string>& airports,
                      std::set<std::string>& pairs, std::string& err);

// GET /api/ftg/<icao>/net?platform=xplane[&publisher=<percent-encoded>] into
// `out` (expected fresh: edges are appended). True when the server has no
// network ("available" false, no edges) or when at least one edge was read.
// False otherwise; `err` is set except when the network simply has no usable edge.
bool fetchFtgNet(const std::string& host, int port, const std::string& icao,
                 const std::string& publisher, FtgNet& out, std::string& err);

// The bytes of `s` with all but A-Z a-z 0-9 - . _ ~ as %XX (upper-case hex).
std::string percentEncode(const std::string& s);

}  // namespace orvl
