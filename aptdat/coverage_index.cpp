#include "aptdat/coverage_index.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace ftg {

namespace {

constexpr double kLatLimit = 89.0;     // beyond: the east scale is too small to bound
constexpr double kLonLimit = 1000.0;   // beyond: offsets lose the precision the margin allows
constexpr int32_t kMaxCellsPerSide = 2048;
constexpr int32_t kMaxPieces = 65536;

bool finitePt(const Pt& p) { return std::isfinite(p.lat) && std::isfinite(p.lon); }

// How far (degrees) a segment's box must be widened so that every point within
// radiusM of the segment, in the metric at that point's own latitude, lies
// inside it. The radius gets a relative and an absolute margin that dwarf the
// rounding of the metric's arithmetic; the east scale is bounded by its
// smallest value over the widened latitude range. False when no such bound is
// safe (the segment is then tested for every point).
bool widening(const Pt& a, const Pt& b, double radiusM, double& eLat, double& eLon) {
  if (!finitePt(a) || !finitePt(b)) return false;
  if (std::fabs(a.lon) > kLonLimit || std::fabs(b.lon) > kLonLimit) return false;
  const double r = radiusM * (1 + 1e-6) + 0.01;
  eLat = r / metresPerDegree;
  const double lo = std::min(a.lat, b.lat) - eLat;
  const double hi = std::max(a.lat, b.lat) + eLat;
  if (!(lo > -kLatLimit && hi < kLatLimit)) return false;
  const double cosMin = metricCos(std::max(std::fabs(lo), std::fabs(hi))) * (1 - 1e-9);
  eLon = r / (metresPerDegree * cosMin);
  return true;
}

// Monotone in x, for the boxes and the points alike.
int32_t cellOf(double x, double x0, double perDegree, int32_t n) {
  const double v = std::floor((x - x0) * perDegree);
  if (!(v >= 0)) return 0;
  if (v >= n) return n - 1;
  return static_cast<int32_t>(v);
}

struct Widened {
  uint32_t seg;
  double eLat, eLon;
  SegmentGrid::Item item;
};

void buildGrid(SegmentGrid& g, const std::vector<Polyline>* lines, double radiusM) {
  if (!lines || !std::isfinite(radiusM)) return;  // absent, or scanned plainly
  radiusM = std::max(radiusM, 0.0);
  for (const Polyline& line : *lines)
    for (size_t i = 1; i < line.size(); ++i) {
      g.segA.push_back(line[i - 1]);
      g.segB.push_back(line[i]);
    }
  std::vector<Widened> boxed;
  bool any = false;
  for (uint32_t s = 0; s < g.segA.size(); ++s) {
    Widened w{s, 0, 0, {}};
    if (!widening(g.segA[s], g.segB[s], radiusM, w.eLat, w.eLon)) {
      g.always.push_back(s);
      continue;
    }
    const Pt& a = g.segA[s];
    const Pt& b = g.segB[s];
    const double la0 = std::min(a.lat, b.lat) - w.eLat, la1 = std::max(a.lat, b.lat) + w.eLat;
    const double lo0 = std::min(a.lon, b.lon) - w.eLon, lo1 = std::max(a.lon, b.lon) + w.eLon;
    w.item = SegmentGrid::Item{la0, la1, lo0, lo1, s};
    if (!any) {
      g.lat0 = la0, g.lat1 = la1, g.lon0 = lo0, g.lon1 = lo1;
      any = true;
    } else {
      g.lat0 = std::min(g.lat0, la0), g.lat1 = std::max(g.lat1, la1);
      g.lon0 = std::min(g.lon0, lo0), g.lon1 = std::max(g.lon1, lo1);
    }
    boxed.push_back(w);
  }
  g.active = true;
  if (!any) return;  // only segments tested everywhere

  // Cells about as many as segments, no smaller than the radius.
  const double midCos = std::max(metricCos((g.lat0 + g.lat1) / 2), 0.01);
  const double heightM = (g.lat1 - g.lat0) * metresPerDegree;
  const double widthM = (g.lon1 - g.lon0) * metresPerDegree * midCos;
  double side = std::sqrt(std::max(heightM * widthM, 1.0) / static_cast<double>(boxed.size()));
  side = std::max({side, radiusM, 1.0});
  g.nLat = static_cast<int32_t>(std::min<double>(std::ceil(heightM / side), kMaxCellsPerSide));
  g.nLon = static_cast<int32_t>(std::min<double>(std::ceil(widthM / side), kMaxCellsPerSide));
  g.nLat = std::max<int32_t>(g.nLat, 1);
  g.nLon = std::max<int32_t>(g.nLon, 1);
  g.perLat = g.nLat / (g.lat1 - g.lat0);
  g.perLon = g.nLon / (g.lon1 - g.lon0);

  // Each segment goes into the cells of its pieces' widened boxes, pieces
  // being no longer than a cell, so that long diagonal segments stay cheap.
  std::vector<std::pair<uint32_t, uint32_t>> pairs;  // (cell, number in boxed)
  for (uint32_t wi = 0; wi < boxed.size(); ++wi) {
    const Widened& w = boxed[wi];
    const Pt& a = g.segA[w.seg];
    const Pt& b = g.segB[w.seg];
    const double dLat = b.lat - a.lat, dLon = b.lon - a.lon;
    const double want = std::ceil(std::max(std::fabs(dLat) * g.perLat, std::fabs(dLon) * g.perLon));
    const int32_t pieces = static_cast<int32_t>(std::min<double>(std::max(want, 1.0), kMaxPieces));
    for (int32_t k = 0; k < pieces; ++k) {
      const double t0 = static_cast<double>(k) / pieces, t1 = static_cast<double>(k + 1) / pieces;
      const Pt p = k == 0 ? a : Pt{a.lat + dLat * t0, a.lon + dLon * t0};
      const Pt q = k + 1 == pieces ? b : Pt{a.lat + dLat * t1, a.lon + dLon * t1};
      const int32_t i0 = cellOf(std::min(p.lat, q.lat) - w.eLat, g.lat0, g.perLat, g.nLat);
      const int32_t i1 = cellOf(std::max(p.lat, q.lat) + w.eLat, g.lat0, g.perLat, g.nLat);
      const int32_t j0 = cellOf(std::min(p.lon, q.lon) - w.eLon, g.lon0, g.perLon, g.nLon);
      const int32_t j1 = cellOf(std::max(p.lon, q.lon) + w.eLon, g.lon0, g.perLon, g.nLon);
      for (int32_t i = i0; i <= i1; ++i)
        for (int32_t j = j0; j <= j1; ++j)
          pairs.emplace_back(static_cast<uint32_t>(i) * static_cast<uint32_t>(g.nLon) +
                                 static_cast<uint32_t>(j),
                             wi);
    }
  }
  std::sort(pairs.begin(), pairs.end());
  pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
  const size_t cells = static_cast<size_t>(g.nLat) * static_cast<size_t>(g.nLon);
  g.cellStart.assign(cells + 1, 0);
  for (const auto& cp : pairs) ++g.cellStart[cp.first + 1];
  for (size_t c = 0; c < cells; ++c) g.cellStart[c + 1] += g.cellStart[c];
  g.cellItems.reserve(pairs.size());
  for (const auto& cp : pairs) g.cellItems.push_back(boxed[cp.second].item);
}

// True when test(a, b, cosM) holds for a candidate segment of m: one of the
// `always` segments, or one of m's cell whose own widened box holds m.
// cosM = metricCos(m.lat) is computed once, and only when a candidate needs it.
template <class Test>
bool anyCandidate(const SegmentGrid& g, const Pt& m, Test test) {
  double cosM = 0;
  bool haveCos = false;
  auto run = [&](uint32_t s) {
    if (!haveCos) {
      cosM = metricCos(m.lat);
      haveCos = true;
    }
    return test(g.segA[s], g.segB[s], cosM);
  };
  for (uint32_t s : g.always)
    if (run(s)) return true;
  if (g.nLat == 0 || !(m.lat >= g.lat0 && m.lat <= g.lat1 && m.lon >= g.lon0 && m.lon <= g.lon1))
    return false;
  const size_t cell =
      static_cast<size_t>(cellOf(m.lat, g.lat0, g.perLat, g.nLat)) * static_cast<size_t>(g.nLon) +
      static_cast<size_t>(cellOf(m.lon, g.lon0, g.perLon, g.nLon));
  for (uint32_t k = g.cellStart[cell]; k < g.cellStart[cell + 1]; ++k) {
    const SegmentGrid::Item& it = g.cellItems[k];
    if (m.lat < it.lat0 || m.lat > it.lat1 || m.lon < it.lon0 || m.lon > it.lon1) continue;
    if (run(it.seg)) return true;
  }
  return false;
}

bool nearIndexed(const SegmentGrid& g, const std::vector<Polyline>* list, const Pt& m,
                 double tolM) {
  if (!list) return false;
  if (!g.active || !finitePt(m)) return nearPolylines(*list, m, tolM);
  return anyCandidate(g, m, [&](const Pt& a, const Pt& b, double cosM) {
    return segmentDistanceM(m, cosM, a, b) <= tolM;
  });
}

}  // namespace

CoverageIndex buildCoverageIndex(const SuppressScope& scope, bool useGrid) {
  CoverageIndex x;
  x.scope = scope;
  if (!useGrid) return x;
  buildGrid(x.leadOns, scope.leadOns, scope.leadOnTolM);
  buildGrid(x.ftgRuns, scope.ftgRuns, scope.ftgTolM);
  // A point in a bar box is within hypot(reach, half width) of the segment.
  if (std::isfinite(scope.barReachM) && std::isfinite(scope.barHalfWidthM))
    buildGrid(x.bars, scope.bars,
              std::hypot(std::max(scope.barReachM, 0.0), std::max(scope.barHalfWidthM, 0.0)));
  return x;
}

bool barOrLeadOnAt(const CoverageIndex& x, const Pt& m) {
  const SuppressScope& s = x.scope;
  if (nearIndexed(x.leadOns, s.leadOns, m, s.leadOnTolM)) return true;
  if (!s.bars) return false;
  if (!x.bars.active || !finitePt(m)) return insideBarBox(*s.bars, m, s.barReachM, s.barHalfWidthM);
  return anyCandidate(x.bars, m, [&](const Pt& a, const Pt& b, double cosM) {
    return inSegmentBox(m, cosM, a, b, s.barReachM, s.barHalfWidthM);
  });
}

bool coveredAt(const CoverageIndex& x, const Pt& m) {
  if (barOrLeadOnAt(x, m)) return true;
  return nearIndexed(x.ftgRuns, x.scope.ftgRuns, m, x.scope.ftgTolM);
}

}  // namespace ftg
