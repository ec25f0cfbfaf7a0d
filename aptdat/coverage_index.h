// A spatial index over a scope's polylines for the point predicates of
// aptdat/split.h. Build it once per airport and use it for every call on that
// airport's blocks; the scope's lists must outlive it and stay unchanged.
//
// The index only picks candidate segments: a uniform grid over each segment's
// bounding box widened (conservatively, in degrees) by the tolerance, so that
// every segment that can hold a point is a candidate of that point's cell.
// Each candidate is then tested with the same functions as the plain scan, so
// every answer equals the plain scan's. Segments whose coordinates are not
// finite, lie beyond 89 degrees of latitude or beyond 1000 degrees of
// longitude are tested for every point; points that are not finite, and lists
// with a tolerance that is not finite, are answered by the plain scan.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "aptdat/split.h"

namespace ftg {

struct SegmentGrid {
  bool active = false;          // false: the list (if any) is scanned plainly
  std::vector<Pt> segA, segB;   // every segment of the list, in list order
  std::vector<uint32_t> always; // segments tested for every point
  double lat0 = 0, lon0 = 0, lat1 = 0, lon1 = 0;  // grid bounds (degrees)
  double perLat = 1, perLon = 1;  // cells per degree
  int32_t nLat = 0, nLon = 0;
  struct Item {
    double lat0, lat1, lon0, lon1;  // the segment's widened box
    uint32_t seg;
  };
  std::vector<uint32_t> cellStart;  // nLat * nLon + 1 offsets into cellItems
  std::vector<Item> cellItems;      // the segments of each cell, with their boxes
};

struct CoverageIndex {
  SuppressScope scope;  // the scope indexed (its tolerances and lists)
  SegmentGrid leadOns, bars, ftgRuns;
};

// Builds the index; with useGrid false every question is a plain scan.
CoverageIndex buildCoverageIndex(const SuppressScope& scope, bool useGrid = true);

// The predicates of aptdat/split.h, answered through the index.
bool barOrLeadOnAt(const CoverageIndex& index, const Pt& m);
bool coveredAt(const CoverageIndex& index, const Pt& m);
bool segmentCovered(const CoverageIndex& index, const Node& a, const Node& b);
bool splitBlockLights(std::vector<std::string>& rows, const CoverageIndex& index,
                      int32_t& splitCount);

}  // namespace ftg
