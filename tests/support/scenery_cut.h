// Helpers for scenery tests: files cut by hand (backup, cut mark, manifest
// rows written directly, not through the code under test) and snapshots of
// files to show that an operation left them exactly as they were.
#pragma once
#include <sys/stat.h>
#include <sys/time.h>

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/tmpdir.h"

namespace testutil {

inline void setMtime(const std::string& path, long long t) {
  struct timeval tv[2] = {{static_cast<time_t>(t), 0}, {static_cast<time_t>(t), 0}};
  utimes(path.c_str(), tv);
}

inline long long mtimeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_mtime) : -1;
}

inline long long sizeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

inline std::string manifestPath(const std::string& pluginDir) { return pluginDir + "/ftg_manifest.json"; }

// Append one row per airport for `file` to the manifest, as a pass records them.
inline void addRows(const std::string& pluginDir, const std::string& file, const std::vector<std::string>& icaos,
                    long long size, long long mtime) {
  nlohmann::json m = nlohmann::json::array();
  if (exists(manifestPath(pluginDir))) m = nlohmann::json::parse(readFile(manifestPath(pluginDir)));
  for (const auto& icao : icaos)
    m.push_back({{"file", file}, {"icao", icao}, {"backup", file + ".orvane-orig"}, {"size", size},
                 {"mtime", mtime}, {"sig", "sig-1"}, {"owner", "launcher"}, {"quitrestore", true}});
  writeFile(manifestPath(pluginDir), m.dump(1));
}

// Make `path` look cut by a pass: `original` in the backup, `cut` in the file,
// a cut mark from the file's status (when `mark`), and rows (when `icaos` is not empty).
inline void cutByHand(const std::string& path, const std::string& original, const std::string& cut,
                      const std::string& pluginDir, const std::vector<std::string>& icaos, bool mark = true) {
  writeFile(path + ".orvane-orig", original);
  writeFile(path, cut);
  setMtime(path, 1700000000);
  if (mark) writeFile(path + ".orvane-cut", std::to_string(sizeOf(path)) + " 1700000000\n");
  if (!icaos.empty()) addRows(pluginDir, path, icaos, sizeOf(path), 1700000000);
}

// Content of each path ("<none>" when missing), to compare before and after.
inline std::map<std::string, std::string> snapshot(const std::vector<std::string>& paths) {
  std::map<std::string, std::string> s;
  for (const auto& p : paths) s[p] = exists(p) ? readFile(p) : std::string("<none>");
  return s;
}

}  // namespace testutil
