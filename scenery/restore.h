// Putting scenery back from Orvane's backups, sweeping for backups the manifest
// does not name, finding stale backups, and summarising the manifest.
//
// A file is only overwritten with its backup when it still is the file the pass
// left (cut mark, else manifest row), or when it is missing or empty. Every
// refusal leaves the apt.dat, backup, cut mark and manifest rows as they were.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "scenery/files.h"
#include "scenery/log_fn.h"
#include "scenery/suppression.h"

namespace ftg {

// Restore one apt.dat from aptDat + ".orvane-orig"; only `ok` and `message` are set.
OpResult restoreFile(const std::string& aptDat, const std::string& pluginDir);

}  // namespace ftg

namespace orvl {

// Restore every file the manifest names, then what the sweep finds; one
// "   restored  " / "   FAILED    " line per file. Removes pluginDir +
// "/orv_taken.json" when the list was not empty and no failed file still
// carries our cut. Returns the number of files considered.
int32_t restoreAll(const std::string& pluginDir, const LogFn& log, const std::string& root,
                   int32_t* failures = nullptr);

// Append to `list` the backups of listed packs whose cut mark still matches
// ("orphan") and the backups whose apt.dat is gone ("MISSING"); report those
// left alone ("left", "unknown"). Paths already in `list` are skipped.
void sweepOrphanBackups(const std::string& root, std::vector<std::string>& list, const LogFn& log);

// apt.dat paths, each once, whose backup predates a change of the file.
std::vector<std::string> staleBackups(const std::string& root, const std::string& pluginDir);

// Drop the backup, cut mark and rows of every stale backup; the apt.dat files
// stay. Returns how many were dropped.
int32_t forgetStaleBackups(const std::string& root, const std::string& pluginDir, const LogFn& log);

// What the manifest says: rows, distinct files, first signature and owner.
Suppression suppressionState(const std::string& pluginDir);

}  // namespace orvl
