// Recording a pass: the manifest rows of a rewritten file, the check of the
// whole manifest against the disk after the last file, and the list of light
// runs taken out of the scenery ("orv_taken.json"), which the plugin reads.
// Both files live in the plugin folder.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "scenery/log_fn.h"
#include "scenery/rewrite.h"

namespace ftgdb {

// Replaces the manifest rows of `file` by one row per identifier (duplicates
// kept, in order) with the file's present size and whole-second mtime (0 and
// 0 when it cannot be queried). The manifest is saved even for an empty list.
void recordPass(const std::string& pluginDir, const std::string& file,
                const std::vector<std::string>& icaos, const std::string& sig,
                const std::string& owner, bool quitRestore);

}  // namespace ftgdb

namespace orvl {

// The taken-runs record as compact JSON with sorted keys: {"airports":{ICAO:
// [{"c":code,"f":1 (FTG-only runs only),"p":[[lat,lon],...]},...]},"rev":rev},
// coordinates rounded to 7 decimals, halves away from zero.
std::string takenJson(const std::string& rev, const ftgdb::TakenMap& runs);

// Writes takenJson to pluginDir + "/orv_taken.json" in place; true when written.
bool writeTaken(const std::string& pluginDir, const std::string& rev, const ftgdb::TakenMap& runs);

// Checks the manifest against the disk: drops the rows of uninstalled packs
// ("   gone      " lines), reports each file whose size is not what its first
// row says ("!! not what we wrote: "), and reports a pass that suppressed
// airports but left no row. Returns the number of problems.
int32_t verifyRecord(const std::string& pluginDir, const LogFn& log, int32_t airports);

}  // namespace orvl
