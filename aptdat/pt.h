// A geographic point and a polyline of them.
#pragma once
#include <vector>

namespace ftg {

struct Pt {
  double lat = 0;  // degrees
  double lon = 0;  // degrees
};

using Polyline = std::vector<Pt>;  // every stored polyline has at least two points

}  // namespace ftg
