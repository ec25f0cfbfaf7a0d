#include "update/install.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "host/paths.h"
#include "host/process.h"
#include "scenery/files.h"
#include "scenery/restore.h"
#include "update/request_path.h"

namespace fs = std::filesystem;

namespace orvl {
namespace {

constexpr long long kSmallestPackage = 1024;

std::string asciiLower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

void say(const LogFn& log, const std::string& line) {
  if (log) log(line);
}

// The first two bytes are the ZIP signature "PK".
bool startsLikeZip(const std::string& file) {
  std::ifstream f(file, std::ios::binary);
  char head[2] = {0, 0};
  return f.read(head, 2) && head[0] == 'P' && head[1] == 'K';
}

long long sizeOf(const std::string& file) {
  std::error_code ec;
  const auto n = fs::file_size(file, ec);
  return ec ? -1 : static_cast<long long>(n);
}

}  // namespace

bool downloadTo(const std::string& host, int port, const std::string& path,
                const std::string& dest, std::string& err,
                const net::DownloadProgress& progress) {
  if (!net::download(host, port, path, dest, progress, err)) return false;  // err is worded there
  const long long size = sizeOf(dest);
  if (size <= 0) {
    std::remove(dest.c_str());
    err = "download failed: " + host + path;
    return false;
  }
  if (size < kSmallestPackage) {
    std::remove(dest.c_str());
    err = "the download was only " + std::to_string(size) + " bytes - that is not a plugin";
    return false;
  }
  return true;
}

bool extractZip(const std::string& archive, const std::string& destDir, std::string& err) {
  // On Debian /usr/bin/tar is GNU tar, which cannot read ZIP: it exits non-zero
  // and the next try runs. bsdtar (libarchive) and unzip read it.
  const std::vector<std::vector<std::string>> tries = {
      {"/usr/bin/tar", "-xf", archive, "-C", destDir},
      {"tar", "-xf", archive, "-C", destDir},
      {"unzip", "-o", "-q", archive, "-d", destDir},
  };
  for (const auto& args : tries) {
    int code = -1;
    if (runQuiet(args, code) && code == 0) return true;
  }
  err = "the download could not be unpacked - this system has no tar that reads a zip, and no unzip";
  return false;
}

bool installPlugin(const std::string& root, const std::string& pluginDir, const std::string& host,
                   int port, const Release& release, const LogFn& log, std::string& err,
                   const net::DownloadProgress& progress) {
  if (simRunning(asciiLower(root))) {
    err = "X-Plane is running - close it first (the plugin file is locked while the sim is up)";
    return false;
  }
  if (suppressionState(pluginDir).suppressed) {
    err = "the scenery is still suppressed - restore it before changing the plugin";
    return false;
  }

  const std::string& v = release.version;
  const std::string zip = tempDir() + "Orvane-" + v + ".zip";
  const std::string stage = tempDir() + "Orvane-" + v + "-stage";
  const std::string package = stage + "/Orvane";
  std::string path;
  if (!releaseRequestPath(release.url, path)) {
    err = std::string("the published download is not on ") + kDefaultHost;
    return false;
  }

  say(log, "Downloading " + v + "...");
  if (!downloadTo(host, port, path, zip, err, progress)) return false;
  if (!startsLikeZip(zip)) {
    std::remove(zip.c_str());
    err = "that download was not a plugin package";
    return false;
  }

  // A staging folder left by an earlier failed run must not lend its files to
  // this package: start it empty.
  std::error_code ec;
  fs::remove_all(stage, ec);
  fs::create_directories(stage, ec);  // a failure shows when unpacking
  say(log, "Unpacking...");
  if (!extractZip(zip, stage, err)) {
    std::remove(zip.c_str());
    return false;
  }
  // From here a failure leaves the download and the staging folder; the next
  // installation of this version overwrites them.
  if (!ftg::fileExists(xplPath(package))) {
    err = "the package did not contain Orvane.xpl";
    return false;
  }

  // Keep the installed plugin file; on a first installation there is none.
  const std::string xpl = xplPath(pluginDir);
  ftg::copyFile(xpl, xpl + ".bak-" + v);

  // The plugin folder's parents may be missing on a fresh X-Plane folder.
  fs::create_directories(pluginDir, ec);
  ec.clear();
  fs::copy(package, pluginDir, fs::copy_options::recursive | fs::copy_options::overwrite_existing,
           ec);
  if (ec) {
    err = "could not write into the plugin folder: " + ec.message();
    return false;
  }

  {
    std::ofstream f(pluginDir + "/version.txt", std::ios::binary | std::ios::trunc);
    f << v;  // a failed write shows as an unknown version later; it does not undo the install
  }
  std::remove(zip.c_str());
  fs::remove_all(stage, ec);
  say(log, "Installed Orvane " + v + ".");
  return true;
}

}  // namespace orvl
