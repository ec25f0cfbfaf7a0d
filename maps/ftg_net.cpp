// Publisher picks, the FTG airport list and one airport's FTG network.
#include "maps/ftg_net.h"

#include <fstream>

#include <nlohmann/json.hpp>

#include "net/net.h"

namespace orvl {
namespace {

using nlohmann::json;

// A member that must be a string when present: false when it is of another
// type; `out` is empty when the member is missing.
bool optString(const json& obj, const char* key, std::string& out) {
  out.clear();
  auto it = obj.find(key);
  if (it == obj.end()) return true;
  if (!it->is_string()) return false;
  out = it->get<std::string>();
  return true;
}

// A point is an array whose first two entries are numbers.
bool readPoint(const json& v, ftg::Pt& p) {
  if (!v.is_array() || v.size() < 2 || !v[0].is_number() || !v[1].is_number()) return false;
  p = {v[0].get<double>(), v[1].get<double>()};
  return true;
}

enum class NetRead { Ok, Unreadable, NoGeometry };

NetRead readNet(const json& doc, FtgNet& out) {
  if (!doc.is_object()) return NetRead::Unreadable;
  auto avail = doc.find("available");
  if (avail != doc.end() && !avail->is_boolean()) return NetRead::Unreadable;
  std::string geom, pubRev;
  if (!optString(doc, "geom", geom) || !optString(doc, "pubRev", pubRev)) return NetRead::Unreadable;
  out.available = avail != doc.end() && avail->get<bool>();
  out.byPublisher = geom == "publisher";
  out.pubRev = pubRev;
  if (!out.available) return NetRead::Ok;

  auto nodes = doc.find("nodes");
  auto edges = doc.find("edges");
  if (nodes == doc.end() || edges == doc.end() || !edges->is_array()) return NetRead::NoGeometry;
  for (const json& e : *edges) {
    if (!e.is_object()) return NetRead::Unreadable;
    std::string a, b;
    if (!optString(e, "a", a) || !optString(e, "b", b)) return NetRead::Unreadable;
    if (!nodes->is_object()) continue;
    auto na = nodes->find(a);
    auto nb = nodes->find(b);
    if (na == nodes->end() || nb == nodes->end()) continue;
    ftg::Polyline line;
    ftg::Pt p;
    if (readPoint(*na, p)) line.push_back(p);
    auto shape = e.find("shape");
    if (shape != e.end() && shape->is_array())
      for (const json& s : *shape)
        if (readPoint(s, p)) line.push_back(p);
    if (!readPoint(*nb, p)) continue;  // no end node: the edge is dropped
    line.push_back(p);
    if (line.size() >= 2) out.edges.push_back(std::move(line));
  }
  return NetRead::Ok;
}

}  // namespace

std::string percentEncode(const std::string& s) {
  static const char* kHex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
  return out;
}

std::unordered_map<std::string, std::string> loadPublishers(const std::string& pluginDir) {
  std::unordered_map<std::string, std::string> out;
  try {
    std::ifstream f(pluginDir + "/resources/publishers.json", std::ios::binary);
    if (!f) return out;
    const json doc = json::parse(f, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) return out;
    for (auto it = doc.begin(); it != doc.end(); ++it)
      if (it.value().is_string()) out[it.key()] = it.value().get<std::string>();
  } catch (...) {
    out.clear();
  }
  return out;
}

bool fetchFtgAirports(const std::string& host, int port, std::set<std::string>& airports,
                      std::set<std::string>& pairs, std::string& err) {
  std::string body;
  if (!net::get(host, port, "/api/ftg/airports", body, "") || body.empty()) {
    err = "no answer from " + host;
    return false;
  }
  const std::string unreadable = "could not read the FTG airport list";
  try {
    const json doc = json::parse(body, nullptr, false);
    if (doc.is_discarded()) {
      err = unreadable;
      return false;
    }
    auto list = doc.is_object() ? doc.find("airports") : doc.end();
    if (!doc.is_object() || list == doc.end() || !list->is_array()) {
      err = "no airport list";
      return false;
    }
    for (const json& e : *list) {
      if (!e.is_object()) {
        err = unreadable;
        return false;
      }
      std::string platform, icao, publisher;
      if (!optString(e, "platform", platform)) {
        err = unreadable;
        return false;
      }
      if (platform != "xplane") continue;
      if (!optString(e, "icao", icao)) {
        err = unreadable;
        return false;
      }
      if (icao.empty()) continue;
      airports.insert(icao);
      if (!optString(e, "publisher", publisher)) {
        err = unreadable;
        return false;
      }
      pairs.insert(icao + kPairSep + publisher);
    }
    return true;
  } catch (...) {
    err = unreadable;
    return false;
  }
}

bool fetchFtgNet(const std::string& host, int port, const std::string& icao,
                 const std::string& publisher, FtgNet& out, std::string& err) {
  std::string path = "/api/ftg/" + icao + "/net?platform=xplane";
  if (!publisher.empty()) path += "&publisher=" + percentEncode(publisher);
  std::string body;
  if (!net::get(host, port, path, body, "") || body.empty()) {
    err = "no answer for " + icao;
    return false;
  }
  NetRead r = NetRead::Unreadable;
  try {
    const json doc = json::parse(body, nullptr, false);
    if (!doc.is_discarded()) r = readNet(doc, out);
  } catch (...) {
    r = NetRead::Unreadable;
  }
  if (r == NetRead::Unreadable) {
    err = icao + ": could not read the network";
    return false;
  }
  if (r == NetRead::NoGeometry) {
    err = icao + ": no network geometry";
    return false;
  }
  if (!out.available) return true;
  return !out.edges.empty();
}

}  // namespace orvl
