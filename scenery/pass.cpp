#include "scenery/pass.h"

#include <cstdio>
#include <map>
#include <set>
#include <unordered_map>
#include <vector>

#include "maps/ftg_net.h"
#include "scenery/pack_order.h"
#include "scenery/record.h"
#include "scenery/restore.h"
#include "scenery/rewrite.h"

namespace orvl {

namespace {

void say(const LogFn& log, const std::string& line) {
  if (log) log(line);
}

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// What one pass carries from file to file.
struct PassState {
  std::set<std::string> remaining;  // airports of the geometry no file has claimed
  std::set<std::string> ftgAirports, ftgPairs;
  std::unordered_map<std::string, FtgNet> nets;  // icao + U+001F + publisher
  ftgdb::TakenMap taken;
  uint64_t sig = kSigStart;
};

// The scopes of one file, for every airport still to claim.
ftgdb::Scopes buildScopes(const Geometry& geometry, const std::string& pack, const std::string& publisher,
                          PassState& st, const LogFn& log, const std::string& host, int32_t port,
                          int32_t& variantsUsed) {
  ftgdb::Scopes scopes;
  variantsUsed = 0;
  for (const std::string& icao : st.remaining) {
    auto g = geometry.airports.find(icao);
    if (g == geometry.airports.end()) continue;
    const ftgdb::AirportScope* chosen = &g->second.base;
    if (!publisher.empty()) {
      auto v = g->second.variants.find(publisher);
      if (v != g->second.variants.end()) {
        chosen = &v->second;
        ++variantsUsed;
      }
    }
    if (chosen->bars.empty() && chosen->leadOns.empty()) continue;
    ftgdb::AirportScope& scope = scopes[icao];
    scope = *chosen;

    if (st.ftgAirports.count(icao) == 0) continue;
    std::string netPublisher;
    if (pack.empty()) {
      netPublisher.clear();  // the base map: the canonical network
    } else if (!publisher.empty() && st.ftgPairs.count(icao + kPairSep + publisher) > 0) {
      netPublisher = publisher;
    } else {
      continue;  // an add-on pack without a pick, or a publisher without a network here
    }
    const std::string key = icao + kPairSep + netPublisher;
    auto it = st.nets.find(key);
    if (it == st.nets.end()) {
      FtgNet net;
      std::string err;
      if (!fetchFtgNet(host, port, icao, netPublisher, net, err) && !err.empty())
        say(log, "!! FTG network " + icao + ": " + err);
      it = st.nets.emplace(key, std::move(net)).first;  // asked once per pass, whatever came back
    }
    const FtgNet& net = it->second;
    if (!net.available) continue;
    if (net.byPublisher == !pack.empty()) {
      scope.ftgRuns = net.edges;
      st.sig = foldSig(st.sig, net.pubRev);
      const std::string tag = pack.empty() ? " [canonical]" : " [" + publisher + "'s network]";
      say(log, "   " + icao + ": FTG network " + std::to_string(net.edges.size()) + " edge(s)" + tag +
                   " - its taxiway centreline lights go with the pass");
    } else {
      say(log, "   " + icao + ": FTG network published, but not for this scenery - taxiway lights left alone");
    }
  }
  return scopes;
}

}  // namespace

std::string packFolder(const std::string& aptDatPath) {
  std::string p = aptDatPath;
  for (char& c : p)
    if (c == '\\') c = '/';
  if (p.find("/Global Scenery/") != std::string::npos) return "";
  static const std::string kTail = "/Earth nav data/apt.dat";
  if (p.size() < 24 || !endsWith(p, kTail)) return "";
  p.erase(p.size() - kTail.size());
  const size_t slash = p.find_last_of('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string packKey(const std::string& pack) {
  std::string key;
  for (char c : pack) {
    if (c == ' ') continue;
    key += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return key;
}

uint64_t foldSig(uint64_t state, const std::string& text) {
  for (unsigned char b : text) state = (state ^ b) * 0x100000001b3ULL;
  return state;
}

std::string sigText(const std::string& rev, uint64_t state) {
  if (state == kSigStart) return rev;
  char hex[16];
  std::snprintf(hex, sizeof hex, "%012llx", static_cast<unsigned long long>(state & 0xffffffffffffULL));
  return rev + "+" + hex;
}

PassResult applyPass(const std::string& root, const std::string& pluginDir, const Geometry& geometry,
                     const LogFn& log, bool restoreOnQuit, const std::string& host, int32_t port) {
  PassResult res;
  const std::vector<std::string> files = ftgdb::aptDatFilesInOrder(root);
  if (files.empty()) {
    res.message = "no apt.dat found under " + root;
    return res;
  }
  const std::unordered_map<std::string, std::string> publishers = loadPublishers(pluginDir);

  PassState st;
  for (const auto& a : geometry.airports) st.remaining.insert(a.first);
  std::string err;
  if (!fetchFtgAirports(host, port, st.ftgAirports, st.ftgPairs, err))
    say(log, "!! could not read the FTG airport list (" + err + ") - taxi networks left lit");

  ftg::SuppressScope base;  // the pass's tolerances; lists set per airport
  base.leadOnTolM = 8.0;
  base.barReachM = 5.0;
  base.barHalfWidthM = 8.0;
  base.ftgTolM = 8.0;
  st.sig = kSigStart;

  for (const std::string& file : files) {
    if (st.remaining.empty()) break;
    const std::string pack = packFolder(file);
    std::string publisher;
    if (!pack.empty()) {
      auto p = publishers.find(packKey(pack));
      if (p != publishers.end()) publisher = p->second;
    }
    int32_t variantsUsed = 0;
    const ftgdb::Scopes scopes = buildScopes(geometry, pack, publisher, st, log, host, port, variantsUsed);

    std::vector<std::string> claimed;
    const ftg::OpResult r = ftgdb::suppressAll(file, scopes, base, claimed, &st.taken, pluginDir);
    if (!r.ok) {
      res.message = file + ": " + r.message;
      restoreAll(pluginDir, LogFn(), root, nullptr);
      return res;
    }
    for (const std::string& icao : claimed) st.remaining.erase(icao);
    if (!claimed.empty() && r.changed) {
      ftgdb::recordPass(pluginDir, file, claimed, sigText(geometry.rev, st.sig), "launcher", restoreOnQuit);
      ++res.files;
      res.cuts += r.count;
    }
    res.airports += static_cast<int32_t>(claimed.size());
    if (claimed.empty()) continue;
    if (!pack.empty() && publisher.empty()) {
      say(log, "   " + file + "  - " + r.message + "  [base map - no publisher picked for this add-on]");
    } else if (variantsUsed == 0) {
      say(log, "   " + file + "  - " + r.message);
    } else {
      ++res.addonPacks;
      say(log, "   " + file + "  - " + r.message + "  [" + publisher + "'s map]");
    }
  }

  if (verifyRecord(pluginDir, log, res.airports) != 0) {
    restoreAll(pluginDir, LogFn(), root, nullptr);
    res.message = "the scenery changed behind us - the originals were put back";
    return res;
  }
  for (const auto& a : st.taken) res.lightRuns += static_cast<int32_t>(a.second.size());
  if (!st.taken.empty() && !writeTaken(pluginDir, geometry.rev, st.taken))
    say(log, "!! could not record what was darkened - the field will be dark when nobody is controlling");
  res.ok = true;
  return res;
}

}  // namespace orvl
