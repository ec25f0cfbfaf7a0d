// apt.dat rows: tokens, airport identifiers, node rows, segment flattening and
// the flat local metric in which every distance of the analysis is measured.
//
// A row is one line of an apt.dat file without its line terminator. Rows are
// plain byte strings; no character set is assumed.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "aptdat/pt.h"

namespace ftg {

// One parsed node row (codes 111 to 116).
struct Node {
  Pt pos;                  // tokens 2 and 3
  Pt ctrl;                 // tokens 4 and 5 of a bezier row; (0, 0) when not read
  bool isBezier = false;   // 112, 114, 116
  int32_t light = -1;      // last attribute in 100..199; -1 when none
  bool isEnd = false;      // 113, 114, 115, 116
  bool closesLoop = false; // 113, 114
};

// Local metric: metres per degree of latitude, and the value of pi it uses.
constexpr double metresPerDegree = 111320.0;
constexpr double metricPi = 3.14159265358979;

// An offset in metres in the flat frame laid at a reference latitude.
struct OffsetM {
  double east = 0;
  double north = 0;
};

// cos(refLat * pi / 180) with the metric's pi: the east scale at refLat.
double metricCos(double refLatDeg);
// Offset of p from the reference point ref, given ref's metricCos.
inline OffsetM offsetM(const Pt& ref, double cosRef, const Pt& p) {
  OffsetM o;
  o.east = (p.lon - ref.lon) * cosRef * metresPerDegree;
  o.north = (p.lat - ref.lat) * metresPerDegree;
  return o;
}

// The row's tokens: the non-empty pieces between runs of space, tab, vertical
// tab, form feed, carriage return and newline. Texts are kept exactly.
std::vector<std::string> tok(const std::string& row);

// The block's airport identifier: token 3 of the first row that begins with
// the characters "1302" and whose second token is "icao_code" (with at least
// three tokens); otherwise token 5 of the header; otherwise "".
std::string blockIcao(const std::vector<std::string>& headerTokens,
                      const std::vector<std::string>& rows);

// Reads a node row split by tok. The caller guarantees at least three tokens
// and a node row code. Numbers are read like C atof / atoi (leading numeric
// part, otherwise 0); attribute values outside the range of long never count
// as lighting codes.
Node parseNode(const std::vector<std::string>& tokens);

// Appends the flattened points of the segment a -> b to out, without a's
// position: b's position alone when neither node is a bezier node, otherwise
// `steps` points of the cubic (none when steps <= 0), the last one exactly b.
void bezSegment(const Node& a, const Node& b, std::vector<Pt>& out, int32_t steps);

}  // namespace ftg
