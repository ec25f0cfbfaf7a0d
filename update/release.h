// Published releases, version labels and the installed plugin's files.
#pragma once
#include <string>

namespace orvl {

inline constexpr const char* kLauncherVersion = "1.0.0";

struct Release {
  std::string version;
  std::string url;
  std::string notes;
};

bool fetchLatest(const std::string& host, int port, Release& out, std::string& err,
                 const std::string& product);
bool verNewer(const std::string& a, const std::string& b);
std::string installedPluginVersion(const std::string& pluginDir);
std::string xplPath(const std::string& pluginDir);

}  // namespace orvl
