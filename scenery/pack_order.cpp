#include "scenery/pack_order.h"

#include <algorithm>
#include <fstream>

#include "scenery/files.h"

namespace ftgdb {

namespace {

const char* const kGlobalAirports = "Global Scenery/Global Airports/Earth nav data/apt.dat";
const char* const kPackList = "Custom Scenery/scenery_packs.ini";
const char* const kPackAptDat = "/Earth nav data/apt.dat";
const std::string kPackPrefix = "SCENERY_PACK ";

// One candidate apt.dat path per usable line of the pack list, in line order.
std::vector<std::string> candidates(const std::string& root) {
  std::vector<std::string> out;
  std::ifstream f(root + kPackList, std::ios::binary);
  if (!f) return out;
  std::string line;
  while (std::getline(f, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.compare(0, kPackPrefix.size(), kPackPrefix) != 0) continue;
    std::string rest = line.substr(kPackPrefix.size());
    while (!rest.empty() && (rest.back() == '/' || rest.back() == ' ')) rest.pop_back();
    if (rest.empty()) continue;
    if (rest == "*GLOBAL_AIRPORTS*") {
      out.push_back(root + kGlobalAirports);
      continue;
    }
    std::replace(rest.begin(), rest.end(), '\\', '/');
    bool absolute = rest.find(':') != std::string::npos || rest[0] == '/';
    out.push_back((absolute ? rest : root + rest) + kPackAptDat);
  }
  return out;
}

bool listed(const std::vector<std::string>& list, const std::string& path) {
  return std::find(list.begin(), list.end(), path) != list.end();
}

}  // namespace

std::vector<std::string> aptDatFilesInOrder(const std::string& root) {
  std::vector<std::string> out;
  for (const auto& c : candidates(root))
    if (ftg::fileExists(c)) out.push_back(c);
  const std::string global = root + kGlobalAirports;
  if (!listed(out, global) && ftg::fileExists(global)) out.push_back(global);
  return out;
}

std::vector<std::string> aptDatBackupsInOrder(const std::string& root) {
  std::vector<std::string> out;
  auto consider = [&](const std::string& c) {
    if (ftg::fileExists(c + ".orvane-orig") && !ftg::fileExists(c) && !listed(out, c)) out.push_back(c);
  };
  for (const auto& c : candidates(root)) consider(c);
  consider(root + kGlobalAirports);
  return out;
}

}  // namespace ftgdb
