#include "scenery/record.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "scenery/files.h"

namespace {
// The records live in the plugin folder, which a pass may reach before the
// plugin is installed: make it, so the record lands and the pass stands.
void ensureFolder(const std::string& dir) {
  std::error_code ec;
  if (!dir.empty()) std::filesystem::create_directories(dir, ec);
}
}  // namespace

namespace ftgdb {

void recordPass(const std::string& pluginDir, const std::string& file,
                const std::vector<std::string>& icaos, const std::string& sig,
                const std::string& owner, bool quitRestore) {
  ensureFolder(pluginDir);
  int64_t size = 0, mtime = 0;
  struct stat st;
  if (::stat(file.c_str(), &st) == 0) {
    size = static_cast<int64_t>(st.st_size);
    mtime = static_cast<int64_t>(st.st_mtime);
  }
  nlohmann::json manifest = ftg::loadManifest(pluginDir);
  ftg::dropRows(manifest, file);
  for (const std::string& icao : icaos) {
    nlohmann::json row = nlohmann::json::object();
    row["file"] = file;
    row["icao"] = icao;
    row["backup"] = file + ".orvane-orig";
    row["size"] = size;
    row["mtime"] = mtime;
    row["sig"] = sig;
    row["owner"] = owner;
    row["quitrestore"] = quitRestore;
    manifest.push_back(std::move(row));
  }
  ftg::saveManifest(pluginDir, manifest);
}

}  // namespace ftgdb

namespace orvl {

namespace {

double round7(double v) { return std::round(v * 1e7) / 1e7; }

void say(const LogFn& log, const std::string& line) {
  if (log) log(line);
}

}  // namespace

std::string takenJson(const std::string& rev, const ftgdb::TakenMap& runs) {
  nlohmann::json airports = nlohmann::json::object();
  for (const auto& [icao, list] : runs) {
    nlohmann::json arr = nlohmann::json::array();
    for (const ftgdb::TakenRun& run : list) {
      nlohmann::json pts = nlohmann::json::array();
      for (const ftg::Pt& p : run.points) pts.push_back({round7(p.lat), round7(p.lon)});
      nlohmann::json o = nlohmann::json::object();
      o["c"] = run.code;
      if (run.ftgOnly) o["f"] = 1;
      o["p"] = std::move(pts);
      arr.push_back(std::move(o));
    }
    airports[icao] = std::move(arr);
  }
  nlohmann::json doc = nlohmann::json::object();
  doc["airports"] = std::move(airports);
  doc["rev"] = rev;
  // Bytes that are not UTF-8 (an odd identifier) are replaced rather than
  // losing the whole record.
  return doc.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

bool writeTaken(const std::string& pluginDir, const std::string& rev, const ftgdb::TakenMap& runs) {
  std::string text;
  try {
    text = takenJson(rev, runs);
  } catch (const std::exception&) {
    return false;
  }
  ensureFolder(pluginDir);
  std::ofstream f(pluginDir + "/orv_taken.json", std::ios::binary | std::ios::trunc);
  if (!f) return false;
  f << text;
  return !f.fail();
}

int32_t verifyRecord(const std::string& pluginDir, const LogFn& log, int32_t airports) {
  int32_t problems = 0;
  nlohmann::json manifest = ftg::loadManifest(pluginDir);
  std::vector<size_t> goneRows;
  std::vector<std::string> verified;
  for (size_t i = 0; i < manifest.size(); ++i) {
    const std::string file = ftg::rowText(manifest[i], "file");
    if (file.empty()) continue;
    struct stat st;
    const bool present = ::stat(file.c_str(), &st) == 0;
    if (!present && !ftg::fileExists(file + ".orvane-orig")) {
      say(log, "   gone      " + file + " - the pack was uninstalled; dropping its record");
      goneRows.push_back(i);
      continue;
    }
    if (std::find(verified.begin(), verified.end(), file) != verified.end()) continue;
    verified.push_back(file);
    if (present && static_cast<int64_t>(st.st_size) == ftg::rowNumber(manifest[i], "size")) continue;
    say(log, "!! not what we wrote: " + file);
    ++problems;
  }
  if (!goneRows.empty()) {
    for (auto it = goneRows.rbegin(); it != goneRows.rend(); ++it) manifest.erase(*it);
    ftg::saveManifest(pluginDir, manifest);
  }
  if (verified.empty() && airports > 0) {
    say(log, "!! nothing was recorded - the pass did not take.");
    ++problems;
  }
  return problems;
}

}  // namespace orvl
