#include "aptdat/split.h"

#include <cmath>

#include "aptdat/coverage_index.h"

// The two segment tests are kept out of line so that the plain scan and the
// index run the very same machine code on every candidate.
#if defined(__GNUC__)
#define FTG_OUT_OF_LINE __attribute__((noinline))
#else
#define FTG_OUT_OF_LINE
#endif

namespace ftg {

FTG_OUT_OF_LINE double segmentDistanceM(const Pt& m, double cosM, const Pt& p, const Pt& q) {
  const OffsetM a = offsetM(m, cosM, p);
  const OffsetM b = offsetM(m, cosM, q);
  const double de = b.east - a.east;
  const double dn = b.north - a.north;
  const double dd = de * de + dn * dn;
  double t = 0;
  if (!(dd < 1e-9)) t = -(a.east * de + a.north * dn) / dd;
  if (t < 0) t = 0;
  if (t > 1) t = 1;
  return std::hypot(a.east + t * de, a.north + t * dn);
}

FTG_OUT_OF_LINE bool inSegmentBox(const Pt& m, double cosM, const Pt& pa, const Pt& pb,
                                  double reachM, double halfWidthM) {
  const OffsetM a = offsetM(m, cosM, pa);
  const OffsetM b = offsetM(m, cosM, pb);
  const double le = b.east - a.east;
  const double ln = b.north - a.north;
  const double len = std::hypot(le, ln);
  if (!(len >= 1e-6)) return false;
  const double ue = le / len;
  const double un = ln / len;
  const double s = -(a.east * ue + a.north * un);
  const double cross = a.east * un - a.north * ue;
  return -reachM <= s && s <= len + reachM && std::fabs(cross) <= halfWidthM;
}

bool nearPolylines(const std::vector<Polyline>& lines, const Pt& m, double tolM) {
  const double cosM = metricCos(m.lat);
  for (const Polyline& line : lines)
    for (size_t i = 1; i < line.size(); ++i)
      if (segmentDistanceM(m, cosM, line[i - 1], line[i]) <= tolM) return true;
  return false;
}

bool insideBarBox(const std::vector<Polyline>& bars, const Pt& m, double reachM,
                  double halfWidthM) {
  const double cosM = metricCos(m.lat);
  for (const Polyline& bar : bars)
    for (size_t i = 1; i < bar.size(); ++i)
      if (inSegmentBox(m, cosM, bar[i - 1], bar[i], reachM, halfWidthM)) return true;
  return false;
}

bool barOrLeadOnAt(const SuppressScope& s, const Pt& m) {
  if (s.leadOns && nearPolylines(*s.leadOns, m, s.leadOnTolM)) return true;
  return s.bars && insideBarBox(*s.bars, m, s.barReachM, s.barHalfWidthM);
}

bool coveredAt(const SuppressScope& s, const Pt& m) {
  if (barOrLeadOnAt(s, m)) return true;
  return s.ftgRuns && nearPolylines(*s.ftgRuns, m, s.ftgTolM);
}

namespace {

Pt midpoint(const Pt& a, const Pt& b) { return Pt{(a.lat + b.lat) / 2, (a.lon + b.lon) / 2}; }

// Segment coverage over any coverage source (a scope or an index).
template <class Cover>
bool segmentCoveredBy(const Cover& cover, const Node& a, const Node& b) {
  std::vector<Pt> pts;
  pts.reserve(9);
  pts.push_back(a.pos);
  bezSegment(a, b, pts, 8);
  if (pts.size() == 2) return coveredAt(cover, midpoint(pts[0], pts[1]));
  const size_t k = pts.size() - 1;
  size_t c = 0;
  for (size_t i = 0; i < k; ++i) {
    if (coveredAt(cover, midpoint(pts[i], pts[i + 1]))) ++c;
    if (2 * c > k) return true;                 // already more than half
    if (2 * (c + (k - 1 - i)) <= k) return false;  // can no longer reach it
  }
  return 2 * c > k;
}

bool isNodeCode(const std::string& t) {
  return t == "111" || t == "112" || t == "113" || t == "114" || t == "115" || t == "116";
}

bool isTakenCode(const std::string& t) {
  return t == "101" || t == "103" || t == "104" || t == "105";
}

std::string joined(const std::vector<std::string>& t, size_t from, size_t to,
                   const std::string& first) {
  std::string out = first;
  for (size_t i = from; i < to && i < t.size(); ++i) {
    out += ' ';
    out += t[i];
  }
  return out;
}

// The working state of one split call.
class BlockSplitter {
 public:
  BlockSplitter(const CoverageIndex& cover, int32_t& splitCount)
      : cover_(cover), splitCount_(splitCount) {}

  bool run(std::vector<std::string>& rows) {
    out_.reserve(rows.size() + 8);
    for (const std::string& row : rows) {
      std::vector<std::string> t = tok(row);
      if (!t.empty() && t[0] == "120") {
        closeFeature();
        open_ = true;
        header_ = row;
      } else if (open_ && !t.empty() && isNodeCode(t[0])) {
        nodes_.push_back(&row);
        nodeTokens_.push_back(std::move(t));
      } else {
        closeFeature();
        out_.push_back(row);
      }
    }
    closeFeature();
    if (changed_) rows.swap(out_);
    return changed_;
  }

 private:
  // Writes the open feature as it was read and forgets it.
  void passThrough() {
    if (open_) out_.push_back(header_);
    for (const std::string* r : nodes_) out_.push_back(*r);
    clear();
  }

  void clear() {
    open_ = false;
    header_.clear();
    nodes_.clear();
    nodeTokens_.clear();
  }

  void closeFeature() {
    if (!open_) return;
    const size_t n = nodes_.size();
    if (n < 2) {
      passThrough();
      return;
    }
    std::vector<Node> parsed;
    parsed.reserve(n);
    for (const std::vector<std::string>& t : nodeTokens_) {
      if (t.size() < 3) {
        passThrough();
        return;
      }
      parsed.push_back(parseNode(t));
    }
    std::vector<char> covered(n - 1, 0);
    bool any = false;
    for (size_t i = 0; i + 1 < n; ++i) {
      covered[i] = segmentCovered(cover_, parsed[i], parsed[i + 1]) ? 1 : 0;
      any = any || covered[i];
    }
    if (!any) {
      passThrough();
      return;
    }
    changed_ = true;
    out_.push_back(header_);
    out_.push_back(covered[0] ? stripLightCodes(*nodes_[0]) : *nodes_[0]);
    for (size_t j = 1; j + 1 < n; ++j) {
      if (covered[j] != covered[j - 1]) {
        out_.push_back(endNodeRow(*nodes_[j]));
        out_.push_back(header_);
        ++splitCount_;
      }
      out_.push_back(covered[j] ? stripLightCodes(*nodes_[j]) : *nodes_[j]);
    }
    out_.push_back(covered[n - 2] ? stripLightCodes(*nodes_[n - 1]) : *nodes_[n - 1]);
    clear();
  }

  const CoverageIndex& cover_;
  int32_t& splitCount_;
  bool open_ = false;
  bool changed_ = false;
  std::string header_;
  std::vector<const std::string*> nodes_;
  std::vector<std::vector<std::string>> nodeTokens_;
  std::vector<std::string> out_;
};

}  // namespace

bool segmentCovered(const SuppressScope& scope, const Node& a, const Node& b) {
  return segmentCoveredBy(scope, a, b);
}

bool segmentCovered(const CoverageIndex& index, const Node& a, const Node& b) {
  return segmentCoveredBy(index, a, b);
}

bool splitBlockLights(std::vector<std::string>& rows, const CoverageIndex& index,
                      int32_t& splitCount) {
  splitCount = 0;
  BlockSplitter splitter(index, splitCount);
  return splitter.run(rows);
}

bool splitBlockLights(std::vector<std::string>& rows, const SuppressScope& scope,
                      int32_t& splitCount) {
  splitCount = 0;
  if (!scope.leadOns && !scope.bars && !scope.ftgRuns) return false;  // nothing can be covered
  return splitBlockLights(rows, buildCoverageIndex(scope), splitCount);
}

std::string stripLightCodes(const std::string& row) {
  std::vector<std::string> t = tok(row);
  if (t.size() < 3) return row;
  size_t keep;
  if (t[0] == "112" || t[0] == "114" || t[0] == "116")
    keep = 5;
  else if (t[0] == "111" || t[0] == "113" || t[0] == "115")
    keep = 3;
  else
    return row;
  std::string out = t[0];
  for (size_t i = 1; i < t.size(); ++i) {
    if (i >= keep && isTakenCode(t[i])) continue;
    out += ' ';
    out += t[i];
  }
  return out;
}

std::string endNodeRow(const std::string& row) {
  std::vector<std::string> t = tok(row);
  if (t.size() < 3) return row;
  if (t[0] == "112" || t[0] == "114" || t[0] == "116") return joined(t, 1, 5, "116");
  if (t[0] == "111" || t[0] == "113" || t[0] == "115") return joined(t, 1, 3, "115");
  return row;
}

}  // namespace ftg
