// The coverage index must answer exactly as the plain scan: random geometry,
// points placed on both sides of every tolerance boundary, whole blocks.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "aptdat/coverage_index.h"
#include "aptdat/split.h"
#include "aptdat/taken.h"
#include "tests/support/geo.h"

using ftg::Polyline;
using ftg::Pt;
using ftg::SuppressScope;
using testutil::offsetPt;

namespace {

struct Scenario {
  std::vector<Polyline> leadOns, bars, ftgRuns;
  SuppressScope scope;
  std::vector<Pt> probes;
  Pt origin;
};

class Gen {
 public:
  explicit Gen(uint32_t seed) : rng_(seed) {}
  double uni(double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng_); }
  int pick(int a, int b) { return std::uniform_int_distribution<int>(a, b)(rng_); }
  bool chance(double p) { return uni(0, 1) < p; }

  Polyline line(const Pt& origin, double spreadM, int maxPts) {
    Polyline p{offsetPt(origin, uni(-spreadM, spreadM), uni(-spreadM, spreadM))};
    const int n = pick(2, maxPts);
    while (static_cast<int>(p.size()) < n) {
      const double kind = uni(0, 1);
      if (kind < 0.08) p.push_back(p.back());  // zero length
      else if (kind < 0.12) p.push_back(offsetPt(p.back(), uni(-1e-6, 1e-6), uni(-1e-6, 1e-6)));
      else if (kind < 0.15) p.push_back(offsetPt(p.back(), uni(-20000, 20000), uni(-20000, 20000)));
      else p.push_back(offsetPt(p.back(), uni(-150, 150), uni(-150, 150)));
    }
    return p;
  }

  double tolerance(double usual) {
    const double kind = uni(0, 1);
    if (kind < 0.6) return usual;
    if (kind < 0.85) return uni(0, 40);
    if (kind < 0.9) return 0;
    if (kind < 0.94) return -uni(0, 5);
    if (kind < 0.97) return std::numeric_limits<double>::infinity();
    return std::numeric_limits<double>::quiet_NaN();
  }

  // Points on both sides of a distance boundary T around segment p-q.
  void nearSegment(std::vector<Pt>& out, const Pt& p, const Pt& q, double T) {
    if (!std::isfinite(T)) T = 8;
    const double deltas[] = {0, 1e-9, -1e-9, 1e-6, -1e-6, 1e-3, -1e-3, 0.3, -0.3};
    const ftg::OffsetM d = ftg::offsetM(p, ftg::metricCos(p.lat), q);
    const double len = std::hypot(d.east, d.north);
    const double ne = len > 0 ? -d.north / len : 0, nn = len > 0 ? d.east / len : 1;
    for (int k = 0; k < 3; ++k) {
      const double t = uni(0, 1);
      const Pt x{p.lat + (q.lat - p.lat) * t, p.lon + (q.lon - p.lon) * t};
      const double side = chance(0.5) ? 1 : -1;
      const double r = std::max(T, 0.0) + deltas[pick(0, 8)];
      out.push_back(offsetPt(x, side * ne * r, side * nn * r));
    }
    for (const Pt& end : {p, q}) {  // round the end points
      const double a = uni(0, 2 * M_PI);
      const double r = std::max(T, 0.0) + deltas[pick(0, 8)];
      out.push_back(offsetPt(end, std::cos(a) * r, std::sin(a) * r));
    }
  }

  // Points around the corners and sides of a bar box.
  void nearBox(std::vector<Pt>& out, const Pt& a, const Pt& b, double reach, double half) {
    if (!std::isfinite(reach) || !std::isfinite(half)) reach = 5, half = 8;
    const ftg::OffsetM d = ftg::offsetM(a, ftg::metricCos(a.lat), b);
    const double len = std::hypot(d.east, d.north);
    if (len == 0) return;
    const double ue = d.east / len, un = d.north / len;
    const double eps[] = {1e-9, -1e-9, 1e-6, -1e-6, 1e-3, -1e-3};
    for (int k = 0; k < 6; ++k) {
      const double s = (k % 3 == 0) ? -reach : (k % 3 == 1) ? len + reach : uni(-reach, len + reach);
      const double w = (chance(0.5) ? half : -half);
      const double es = eps[pick(0, 5)], ew = eps[pick(0, 5)];
      const double e = (s + es) * ue - (w + ew) * un, n = (s + es) * un + (w + ew) * ue;
      out.push_back(offsetPt(a, e, n));
    }
  }

  Scenario scenario() {
    Scenario sc;
    const double lats[] = {0.0, 33.3, 47.4, 60.0, 71.5, -54.2, 88.95, -89.4, 89.99};
    sc.origin = Pt{lats[pick(0, 8)] + uni(-0.01, 0.01), uni(-179.9, 179.9)};
    const int nl = pick(0, 5), nb = pick(0, 8), nf = pick(0, 25);
    for (int i = 0; i < nl; ++i) sc.leadOns.push_back(line(sc.origin, 800, 6));
    for (int i = 0; i < nb; ++i) sc.bars.push_back(line(sc.origin, 800, 3));
    for (int i = 0; i < nf; ++i) sc.ftgRuns.push_back(line(sc.origin, 800, 8));
    if (chance(0.05) && !sc.ftgRuns.empty())  // a segment the grid cannot place
      sc.ftgRuns[0].push_back(Pt{sc.origin.lat, std::numeric_limits<double>::infinity()});
    SuppressScope& s = sc.scope;
    s.leadOns = ftg::scopeRef(sc.leadOns);
    s.bars = ftg::scopeRef(sc.bars);
    s.ftgRuns = ftg::scopeRef(sc.ftgRuns);
    s.leadOnTolM = tolerance(8);
    s.ftgTolM = tolerance(8);
    s.barReachM = tolerance(5);
    s.barHalfWidthM = tolerance(8);
    for (const Polyline& l : sc.leadOns)
      for (size_t i = 1; i < l.size(); ++i) nearSegment(sc.probes, l[i - 1], l[i], s.leadOnTolM);
    for (const Polyline& l : sc.ftgRuns)
      for (size_t i = 1; i < l.size(); ++i) nearSegment(sc.probes, l[i - 1], l[i], s.ftgTolM);
    for (const Polyline& l : sc.bars)
      for (size_t i = 1; i < l.size(); ++i) {
        nearBox(sc.probes, l[i - 1], l[i], s.barReachM, s.barHalfWidthM);
        nearSegment(sc.probes, l[i - 1], l[i], std::hypot(s.barReachM, s.barHalfWidthM));
      }
    for (int i = 0; i < 200; ++i) sc.probes.push_back(offsetPt(sc.origin, uni(-1200, 1200), uni(-1200, 1200)));
    sc.probes.push_back(Pt{std::numeric_limits<double>::quiet_NaN(), sc.origin.lon});
    sc.probes.push_back(Pt{sc.origin.lat, std::numeric_limits<double>::infinity()});
    return sc;
  }

 private:
  std::mt19937 rng_;
};

}  // namespace

TEST(AptCoverageIndex, AnswersLikeThePlainScanOnRandomBoundaryPoints) {
  size_t probes = 0, covered = 0, barOrLeadOn = 0, flips = 0;
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    Gen g(seed);
    const Scenario sc = g.scenario();
    const ftg::CoverageIndex index = ftg::buildCoverageIndex(sc.scope);
    for (const Pt& m : sc.probes) {
      const bool plainCov = ftg::coveredAt(sc.scope, m);
      const bool plainBar = ftg::barOrLeadOnAt(sc.scope, m);
      ASSERT_EQ(ftg::coveredAt(index, m), plainCov) << "seed " << seed << " at " << m.lat << "," << m.lon;
      ASSERT_EQ(ftg::barOrLeadOnAt(index, m), plainBar) << "seed " << seed;
      ++probes;
      covered += plainCov;
      barOrLeadOn += plainBar;
    }
    // the same probes nudged by a hair find the boundaries: the answer flips somewhere
    for (size_t i = 0; i + 1 < sc.probes.size(); i += 2)
      flips += ftg::coveredAt(sc.scope, sc.probes[i]) != ftg::coveredAt(sc.scope, sc.probes[i + 1]);
  }
  // the probes really sit on both sides of the boundaries
  EXPECT_GT(probes, 50000u);
  EXPECT_GT(covered, probes / 5);
  EXPECT_LT(covered, probes - probes / 5);
  EXPECT_GT(barOrLeadOn, probes / 50);
  EXPECT_GT(flips, 1000u);
}

TEST(AptCoverageIndex, WholeBlocksSplitAndYieldRunsLikeThePlainScan) {
  size_t changed = 0, splits = 0, runs = 0;
  for (uint32_t seed = 1; seed <= 120; ++seed) {
    Gen g(seed * 7919u);
    Scenario sc = g.scenario();
    if (!sc.scope.leadOns && !sc.scope.bars && !sc.scope.ftgRuns) continue;
    std::vector<std::string> rows{"1 0 0 0 RAND"};
    const char* codes[] = {"111", "112", "113", "114", "115", "116"};
    const char* lights[] = {"", "101", "102", "103", "104", "105", "51 101", "1"};
    for (int f = 0; f < 40; ++f) {
      rows.push_back("120 feature " + std::to_string(f));
      Pt p = offsetPt(sc.origin, g.uni(-900, 900), g.uni(-900, 900));
      const int n = g.pick(1, 12);
      for (int i = 0; i < n; ++i) {
        const char* code = codes[g.pick(0, 5)];
        const Pt c = offsetPt(p, g.uni(-30, 30), g.uni(-30, 30));
        const std::string l = lights[g.pick(0, 7)];
        rows.push_back(code[2] == '2' || code[2] == '4' || code[2] == '6' ? testutil::bezRow(code, p, c, l)
                                                                           : testutil::nodeRow(code, p, l));
        p = offsetPt(p, g.uni(-60, 60), g.uni(-60, 60));
      }
    }
    const ftg::CoverageIndex grid = ftg::buildCoverageIndex(sc.scope);
    const ftg::CoverageIndex plain = ftg::buildCoverageIndex(sc.scope, false);
    const auto runsGrid = ftgdb::takenByPass(rows, grid);
    const auto runsPlain = ftgdb::takenByPass(rows, plain);
    ASSERT_EQ(runsGrid.size(), runsPlain.size()) << "seed " << seed;
    for (size_t i = 0; i < runsGrid.size(); ++i) {
      EXPECT_EQ(runsGrid[i].code, runsPlain[i].code);
      EXPECT_EQ(runsGrid[i].ftgOnly, runsPlain[i].ftgOnly);
      ASSERT_EQ(runsGrid[i].points.size(), runsPlain[i].points.size());
      for (size_t k = 0; k < runsGrid[i].points.size(); ++k) {
        EXPECT_EQ(runsGrid[i].points[k].lat, runsPlain[i].points[k].lat);
        EXPECT_EQ(runsGrid[i].points[k].lon, runsPlain[i].points[k].lon);
      }
    }
    std::vector<std::string> a = rows, b = rows;
    int32_t sa = -1, sb = -1;
    const bool ca = ftg::splitBlockLights(a, grid, sa);
    const bool cb = ftg::splitBlockLights(b, plain, sb);
    ASSERT_EQ(ca, cb) << "seed " << seed;
    EXPECT_EQ(sa, sb) << "seed " << seed;
    EXPECT_EQ(a, b) << "seed " << seed;
    changed += ca;
    splits += static_cast<size_t>(sa);
    runs += runsGrid.size();
  }
  EXPECT_GT(changed, 20u);
  EXPECT_GT(splits, 50u);
  EXPECT_GT(runs, 50u);
}
