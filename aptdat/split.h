// Which lit stretches of an airport's linear features lie under the published
// geometry, and the rewrite of an airport block that takes exactly those
// lights out (splitting a feature where its coverage changes).
//
// Every distance is measured in the local metric of aptdat/rows.h at the
// latitude of the point tested. Nothing here changes its arguments other than
// the rows given to splitBlockLights; the scope's lists are only read.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "aptdat/pt.h"
#include "aptdat/rows.h"

namespace ftg {

// Geometry and tolerances of one analysed airport. The lists are not owned and
// must outlive every call; a list is absent (null), never a pointer to an
// empty list (use scopeRef to fill a field).
struct SuppressScope {
  const std::vector<Polyline>* leadOns = nullptr;
  double leadOnTolM = 8.0;     // covered within this distance of a lead-on segment
  const std::vector<Polyline>* bars = nullptr;
  double barReachM = 5.0;      // a bar box reaches this far beyond each segment end
  double barHalfWidthM = 8.0;  // and this far to either side
  const std::vector<Polyline>* ftgRuns = nullptr;
  double ftgTolM = 8.0;        // covered within this distance of an FTG segment
};

// The value for a scope field: null for an empty list.
inline const std::vector<Polyline>* scopeRef(const std::vector<Polyline>& list) {
  return list.empty() ? nullptr : &list;
}

// Distance in metres from m to the segment p-q; cosM = metricCos(m.lat).
double segmentDistanceM(const Pt& m, double cosM, const Pt& p, const Pt& q);
// Whether m lies in the box along segment a-b reaching reachM beyond both
// ends and halfWidthM to either side (inclusive); segments under 1e-6 m never
// hold anything. cosM = metricCos(m.lat).
bool inSegmentBox(const Pt& m, double cosM, const Pt& a, const Pt& b, double reachM,
                  double halfWidthM);

// Plain scans over every segment of a list.
bool nearPolylines(const std::vector<Polyline>& lines, const Pt& m, double tolM);
bool insideBarBox(const std::vector<Polyline>& bars, const Pt& m, double reachM,
                  double halfWidthM);

// Near a lead-on line or inside a bar box.
bool barOrLeadOnAt(const SuppressScope& scope, const Pt& m);
// barOrLeadOnAt, or near an FTG polyline.
bool coveredAt(const SuppressScope& scope, const Pt& m);
// Whether the segment between consecutive nodes a and b counts as covered:
// the midpoint of a straight segment, or strictly more than half of the
// midpoints of its 8 bezier sub-segments.
bool segmentCovered(const SuppressScope& scope, const Node& a, const Node& b);

// Rewrites the block's "120" features so that covered segments lose the codes
// 101, 103, 104 and 105, cutting a feature into pieces where coverage changes.
// splitCount is set to the number of extra pieces. Returns true when the rows
// were rewritten; otherwise they are left exactly as given. Builds a coverage
// index for the call (see aptdat/coverage_index.h for one shared by calls).
bool splitBlockLights(std::vector<std::string>& rows, const SuppressScope& scope,
                      int32_t& splitCount);

// A node row without the attribute tokens "101", "103", "104" and "105",
// single-spaced. The code and coordinate tokens (3 for 111/113/115, 5 for
// 112/114/116) always stay. Rows of fewer than three tokens, or of another
// code, come back unchanged.
std::string stripLightCodes(const std::string& row);
// The row as the end node of a chain: 112/114 give a 116 row with the
// coordinate tokens 2 to 5 (as far as present), 111/113/115 a 115 row with
// tokens 2 and 3, a 116 row stays a 116 with its coordinates; attributes are
// dropped. Rows of fewer than three tokens, or of another code, come back
// unchanged.
std::string endNodeRow(const std::string& row);

}  // namespace ftg
