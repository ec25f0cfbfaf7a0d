#include "aptdat/taken.h"

#include <cmath>

#include "aptdat/rows.h"

namespace ftgdb {

namespace {

using ftg::Pt;

bool isNodeCode(const std::string& t) {
  return t == "111" || t == "112" || t == "113" || t == "114" || t == "115" || t == "116";
}

bool isTakenCode(int32_t c) { return c == 101 || c == 103 || c == 104 || c == 105; }

bool samePoint(const Pt& a, const Pt& b) {
  return std::fabs(a.lat - b.lat) < 1e-9 && std::fabs(a.lon - b.lon) < 1e-9;
}

// The two predicates of every sub-segment midpoint, each asked at most once.
class MidpointCoverage {
 public:
  MidpointCoverage(const ftg::CoverageIndex& index, const std::vector<Pt>& pts)
      : index_(index), pts_(pts), covered_(pts.size(), -1), barOrLeadOn_(pts.size(), -1) {}

  bool covered(size_t k) {
    if (covered_[k] < 0) covered_[k] = ftg::coveredAt(index_, mid(k)) ? 1 : 0;
    return covered_[k] != 0;
  }
  bool barOrLeadOn(size_t k) {
    if (barOrLeadOn_[k] < 0) barOrLeadOn_[k] = ftg::barOrLeadOnAt(index_, mid(k)) ? 1 : 0;
    return barOrLeadOn_[k] != 0;
  }

 private:
  Pt mid(size_t k) const {
    return Pt{(pts_[k].lat + pts_[k + 1].lat) / 2, (pts_[k].lon + pts_[k + 1].lon) / 2};
  }
  const ftg::CoverageIndex& index_;
  const std::vector<Pt>& pts_;
  std::vector<signed char> covered_, barOrLeadOn_;
};

void extractRuns(const std::vector<Pt>& P, const std::vector<int32_t>& C,
                 const ftg::CoverageIndex& index, std::vector<TakenRun>& out) {
  const size_t n = P.size();
  MidpointCoverage cov(index, P);
  size_t d = 0;
  while (d + 1 < n) {
    const int32_t e = C[d];
    if (!isTakenCode(e) || samePoint(P[d], P[d + 1]) || !cov.covered(d)) {
      ++d;
      continue;
    }
    const bool f = cov.barOrLeadOn(d);
    TakenRun run;
    run.code = e;
    run.ftgOnly = !f;
    run.points.push_back(P[d]);
    size_t k = d;
    size_t stop;
    for (;;) {
      if (!cov.covered(k) || cov.barOrLeadOn(k) != f) {
        stop = k;
        break;
      }
      if (!samePoint(P[k + 1], run.points.back())) run.points.push_back(P[k + 1]);
      if (k == n - 2 || C[k + 1] != e) {
        stop = k + 1;
        break;
      }
      ++k;
    }
    if (run.points.size() >= 2) out.push_back(std::move(run));
    d = stop > d ? stop : d + 1;
  }
}

// Flattens one feature's node rows and appends its runs; a feature with an
// unreadable node row yields none.
void closeFeature(const std::vector<std::vector<std::string>>& rows,
                  const ftg::CoverageIndex& index, std::vector<TakenRun>& out) {
  if (rows.size() < 2) return;
  std::vector<ftg::Node> nodes;
  nodes.reserve(rows.size());
  for (const auto& t : rows) {
    if (t.size() < 3) return;
    nodes.push_back(ftg::parseNode(t));
  }
  std::vector<Pt> P;
  std::vector<int32_t> C;
  P.reserve(nodes.size() * 9);
  C.reserve(nodes.size() * 9);
  int32_t code = -1;
  std::vector<Pt> seg;
  for (size_t i = 0; i + 1 < nodes.size(); ++i) {
    const ftg::Node& a = nodes[i];
    const bool terminating = a.isEnd && !a.closesLoop;  // 115, 116
    if (!terminating && a.light != -1) code = a.light;
    seg.clear();
    seg.push_back(a.pos);
    ftg::bezSegment(a, nodes[i + 1], seg, 8);
    for (size_t k = 0; k + 1 < seg.size(); ++k) {
      P.push_back(seg[k]);
      C.push_back(code);
    }
  }
  P.push_back(nodes.back().pos);
  C.push_back(code);
  extractRuns(P, C, index, out);
}

}  // namespace

std::vector<TakenRun> takenByPass(const std::vector<std::string>& rows,
                                  const ftg::CoverageIndex& index) {
  std::vector<TakenRun> out;
  std::vector<std::vector<std::string>> feature;
  bool open = false;
  for (const std::string& row : rows) {
    std::vector<std::string> t = ftg::tok(row);
    if (!t.empty() && t[0] == "120") {
      if (open) closeFeature(feature, index, out);
      feature.clear();
      open = true;
    } else if (open && !t.empty() && isNodeCode(t[0])) {
      feature.push_back(std::move(t));
    } else {
      if (open) closeFeature(feature, index, out);
      feature.clear();
      open = false;
    }
  }
  if (open) closeFeature(feature, index, out);
  return out;
}

std::vector<TakenRun> takenByPass(const std::vector<std::string>& rows,
                                  const ftg::SuppressScope& scope) {
  if (!scope.leadOns && !scope.bars && !scope.ftgRuns) return {};  // nothing can be covered
  return takenByPass(rows, ftg::buildCoverageIndex(scope));
}

}  // namespace ftgdb
