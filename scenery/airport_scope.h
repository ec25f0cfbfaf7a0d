// The geometry one pass applies to one airport.
#pragma once
#include <vector>

#include "aptdat/pt.h"

namespace ftgdb {

struct AirportScope {
  std::vector<ftg::Polyline> bars;     // stop bars
  std::vector<ftg::Polyline> leadOns;  // lead-on lines
  std::vector<ftg::Polyline> ftgRuns;  // FTG network edges whose centreline lights go with the pass
};

}  // namespace ftgdb
