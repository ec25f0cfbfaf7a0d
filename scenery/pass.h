// The suppression pass over an X-Plane installation: the apt.dat files in
// scenery order, each claiming the airports it defines first; per-file scopes
// from the published geometry (the pack publisher's variant where there is
// one) and the FTG networks (fetched once per pass); the record of every
// rewritten file, its check against the disk, and the taken light runs for the
// plugin. A failed pass puts every file back.
#pragma once
#include <cstdint>
#include <string>

#include "maps/geometry.h"
#include "scenery/log_fn.h"

namespace orvl {

struct PassResult {
  bool ok = false;         // the pass completed and its record is sound
  int32_t airports = 0;    // airports claimed over all visited files
  int32_t files = 0;       // files rewritten and recorded
  int32_t cuts = 0;        // cuts of those files
  int32_t addonPacks = 0;  // files that used their publisher's own map
  int32_t lightRuns = 0;   // taken light runs recorded for the plugin
  std::string message;     // why the pass failed; empty on success
};

// The scenery pack folder name of an ".../<pack>/Earth nav data/apt.dat" path;
// "" for the global airports file and for paths of another shape.
std::string packFolder(const std::string& aptDatPath);

// The pack's key in the publisher picks: spaces removed, A-Z lowered.
std::string packKey(const std::string& pack);

// The signature hash: 64-bit FNV-1a over `text`, continuing from `state`.
inline constexpr uint64_t kSigStart = 0x14650fb0739d0383ULL;
uint64_t foldSig(uint64_t state, const std::string& text);
// rev while the state is still kSigStart, else rev + "+" + 12 hex digits.
std::string sigText(const std::string& rev, uint64_t state);

// Runs the pass. `root` ends with "/"; the server is asked for the FTG
// airport list and networks; log lines go to `log` when it is set.
PassResult applyPass(const std::string& root, const std::string& pluginDir, const Geometry& geometry,
                     const LogFn& log, bool restoreOnQuit, const std::string& host, int32_t port);

}  // namespace orvl
