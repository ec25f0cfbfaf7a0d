// Published releases, version labels and the installed plugin's files.
#pragma once
#include <string>

namespace orvl {

inline constexpr const char* kLauncherVersion = "1.0.0";

struct Release {
  std::string version;  // as published, e.g. "1.2.3"
  std::string url;      // absolute URL on the publisher's server, or a path on it
  std::string notes;
};

// GET /api/version?pub=1&platform=<product>. False with `err` set when there is no
// answer, the answer is not JSON, or it names no version; `out` is overwritten as
// soon as the answer was read, also when it then names no version.
bool fetchLatest(const std::string& host, int port, Release& out, std::string& err,
                 const std::string& product);

// a is newer than b, judged on the first three runs of digits of each label
// (missing ones count as 0). A run too large for a 32-bit signed integer counts
// as 2147483647.
bool verNewer(const std::string& a, const std::string& b);

// First line of pluginDir + "/version.txt" without trailing blanks and line
// ends; empty when there is no readable file.
std::string installedPluginVersion(const std::string& pluginDir);

// pluginDir + "/" + this platform's arch folder + "/Orvane.xpl".
std::string xplPath(const std::string& pluginDir);

}  // namespace orvl
