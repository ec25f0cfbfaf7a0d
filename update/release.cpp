// Published releases, version comparison and the installed plugin's files.
#include "update/release.h"

#include <array>
#include <cstdint>
#include <fstream>

#include <nlohmann/json.hpp>

#include "host/platform.h"
#include "net/net.h"

namespace orvl {
namespace {

std::string stringMember(const nlohmann::json& doc, const char* key) {
  if (!doc.is_object()) return "";
  auto it = doc.find(key);
  if (it == doc.end() || !it->is_string()) return "";
  return it->get<std::string>();
}

// The first three digit runs of a label, zeros for missing ones.
std::array<int32_t, 3> leadingNumbers(const std::string& label) {
  std::array<int32_t, 3> out{0, 0, 0};
  size_t n = 0;
  size_t i = 0;
  while (i < label.size() && n < out.size()) {
    if (label[i] < '0' || label[i] > '9') {
      ++i;
      continue;
    }
    int64_t v = 0;
    for (; i < label.size() && label[i] >= '0' && label[i] <= '9'; ++i) {
      if (v < INT32_MAX) v = v * 10 + (label[i] - '0');  // stays below 2^35: no overflow
    }
    out[n++] = v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
  }
  return out;
}

}  // namespace

bool fetchLatest(const std::string& host, int port, Release& out, std::string& err,
                 const std::string& product) {
  std::string body;
  if (!net::get(host, port, "/api/version?pub=1&platform=" + product, body, "") || body.empty()) {
    err = "no answer from " + host;
    return false;
  }
  nlohmann::json doc = nlohmann::json::parse(body, nullptr, false);
  if (doc.is_discarded()) {
    err = "could not read the version answer";
    return false;
  }
  out.version = stringMember(doc, "version");
  out.url = stringMember(doc, "url");
  out.notes = stringMember(doc, "notes");
  if (out.version.empty()) {
    err = "no version published for " + product;
    return false;
  }
  return true;
}

bool verNewer(const std::string& a, const std::string& b) {
  const auto x = leadingNumbers(a);
  const auto y = leadingNumbers(b);
  for (size_t i = 0; i < x.size(); ++i)
    if (x[i] != y[i]) return x[i] > y[i];
  return false;
}

std::string installedPluginVersion(const std::string& pluginDir) {
  std::ifstream f(pluginDir + "/version.txt", std::ios::binary);
  if (!f) return "";
  std::string line;
  if (!std::getline(f, line)) return "";
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\n'))
    line.pop_back();
  return line;
}

std::string xplPath(const std::string& pluginDir) {
  return pluginDir + "/" + platform::pluginArchFolder() + "/Orvane.xpl";
}

}  // namespace orvl
