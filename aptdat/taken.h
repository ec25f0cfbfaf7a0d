// The light runs a pass takes out of one airport block: the lit stretches of
// its "120" features that lie under the scope's bars, lead-on lines or FTG
// polylines, listed before the block is rewritten.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "aptdat/coverage_index.h"
#include "aptdat/pt.h"
#include "aptdat/split.h"

namespace ftgdb {

struct TakenRun {
  int32_t code = 0;               // 101, 103, 104 or 105
  std::vector<ftg::Pt> points;    // at least two, no two consecutive within 1e-9 degrees
  bool ftgOnly = false;           // under an FTG polyline, neither in a bar box nor near a lead-on
};

// The runs in block order. A run ends where the lights end, the code changes,
// coverage ends, or coverage switches between bar/lead-on and FTG-only (the
// next run then starts at the same point). The rows are not changed.
std::vector<TakenRun> takenByPass(const std::vector<std::string>& rows,
                                  const ftg::SuppressScope& scope);
// The same through a prebuilt index (see aptdat/coverage_index.h).
std::vector<TakenRun> takenByPass(const std::vector<std::string>& rows,
                                  const ftg::CoverageIndex& index);

}  // namespace ftgdb
