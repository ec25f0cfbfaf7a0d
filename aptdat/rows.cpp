#include "aptdat/rows.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace ftg {

double metricCos(double refLatDeg) { return std::cos(refLatDeg * metricPi / 180.0); }

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

// Plain decimal text: an optional minus, digits, optionally a point and digits.
bool plainDecimal(const std::string& s) {
  size_t i = s.size() > 0 && s[0] == '-' ? 1 : 0;
  const size_t intStart = i;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
  if (i == intStart) return false;
  if (i == s.size()) return true;
  if (s[i] != '.') return false;
  const size_t fracStart = ++i;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
  return i == s.size() && i > fracStart;
}

// atof's value. Plain decimal text, as every coordinate in practice, goes
// through from_chars where the library has it: both round correctly, so the
// value is the same, and from_chars neither depends on the locale nor is slow.
double readDouble(const std::string& s) {
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
  if (plainDecimal(s)) {
    double v = 0;
    const std::from_chars_result r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec == std::errc() && r.ptr == s.data() + s.size()) return v;
  }
#endif
  return std::atof(s.c_str());
}

// atoi's reading (leading blanks, sign, digits; otherwise 0) without its
// undefined behaviour on overflow: out-of-range text saturates.
long long readInt(const std::string& s) { return std::strtoll(s.c_str(), nullptr, 10); }

}  // namespace

std::vector<std::string> tok(const std::string& row) {
  std::vector<std::string> out;
  size_t i = 0;
  const size_t n = row.size();
  while (i < n) {
    while (i < n && isBlank(row[i])) ++i;
    if (i >= n) break;
    size_t j = i;
    while (j < n && !isBlank(row[j])) ++j;
    out.emplace_back(row, i, j - i);
    i = j;
  }
  return out;
}

std::string blockIcao(const std::vector<std::string>& headerTokens,
                      const std::vector<std::string>& rows) {
  for (const std::string& row : rows) {
    if (row.size() < 4 || row.compare(0, 4, "1302") != 0) continue;
    std::vector<std::string> t = tok(row);
    if (t.size() >= 3 && t[1] == "icao_code") return t[2];
  }
  if (headerTokens.size() >= 5) return headerTokens[4];
  return std::string();
}

Node parseNode(const std::vector<std::string>& t) {
  Node n;
  if (t.size() < 3) return n;  // callers never pass such a row
  const std::string& code = t[0];
  n.isBezier = code == "112" || code == "114" || code == "116";
  n.isEnd = code == "113" || code == "114" || code == "115" || code == "116";
  n.closesLoop = code == "113" || code == "114";
  n.pos.lat = readDouble(t[1]);
  n.pos.lon = readDouble(t[2]);
  if (n.isBezier && t.size() >= 5) {
    n.ctrl.lat = readDouble(t[3]);
    n.ctrl.lon = readDouble(t[4]);
  }
  for (size_t i = n.isBezier ? 5 : 3; i < t.size(); ++i) {
    long long v = readInt(t[i]);
    if (v >= 100 && v <= 199) n.light = static_cast<int32_t>(v);
  }
  return n;
}

void bezSegment(const Node& a, const Node& b, std::vector<Pt>& out, int32_t steps) {
  if (!a.isBezier && !b.isBezier) {
    out.push_back(b.pos);
    return;
  }
  if (steps <= 0) return;
  const Pt p0 = a.pos;
  const Pt p3 = b.pos;
  const Pt c1 = a.isBezier ? a.ctrl : a.pos;
  const Pt c2 = b.isBezier ? Pt{2 * b.pos.lat - b.ctrl.lat, 2 * b.pos.lon - b.ctrl.lon} : b.pos;
  for (int32_t i = 1; i <= steps; ++i) {
    if (i == steps) {  // t = 1 is b itself, also when a control point is not finite
      out.push_back(p3);
      break;
    }
    const double t = static_cast<double>(i) / static_cast<double>(steps);
    const double u = 1.0 - t;
    const double w0 = u * u * u, w1 = 3 * u * u * t, w2 = 3 * u * t * t, w3 = t * t * t;
    out.push_back(Pt{w0 * p0.lat + w1 * c1.lat + w2 * c2.lat + w3 * p3.lat,
                     w0 * p0.lon + w1 * c1.lon + w2 * c2.lon + w3 * p3.lon});
  }
}

}  // namespace ftg
