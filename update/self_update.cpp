#include "update/self_update.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "host/paths.h"
#include "host/platform.h"
#include "update/release.h"
#include "update/request_path.h"
#include "update/self_swap.h"

namespace orvl {
namespace {

constexpr long long kSmallestBuild = 100000;

void say(const LogFn& log, const std::string& line) {
  if (log) log(line);
}

bool headLooksLikeOwnExecutable(const std::string& file) {
  std::ifstream f(file, std::ios::binary);
  unsigned char head[4] = {0, 0, 0, 0};
  if (!f.read(reinterpret_cast<char*>(head), sizeof head)) return false;
  return platform::looksLikeOwnExecutable(head, sizeof head);
}

long long sizeOf(const std::string& file) {
  std::error_code ec;
  const auto n = std::filesystem::file_size(file, ec);
  return ec ? -1 : static_cast<long long>(n);
}

}  // namespace

bool replaceSelfAt(const std::string& ownPath, const std::string& bytes, std::string& err) {
  if (ownPath.empty()) {
    err = "could not find my own path";
    return false;
  }
  std::remove((ownPath + ".old").c_str());
  const std::string fresh = ownPath + ".new";
  {
    std::ofstream f(fresh, std::ios::binary | std::ios::trunc);
    if (!f || !f.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) || !f.flush()) {
      f.close();
      std::remove(fresh.c_str());
      err = "could not write " + fresh;
      return false;
    }
  }
  return swapInNew(ownPath, err);
}

bool replaceSelf(const std::string& bytes, std::string& err) {
  return replaceSelfAt(selfPath(), bytes, err);
}

bool selfUpdateAt(const std::string& ownPath, const std::string& host, int port, const LogFn& log,
                  bool& updated, std::string& err, const net::DownloadProgress& progress) {
  updated = false;
  const std::string product = platform::launcherProductWord();
  Release release;
  if (!fetchLatest(host, port, release, err, product)) return false;
  if (!verNewer(release.version, kLauncherVersion)) return true;  // current
  if (release.url.empty()) {
    err = "the published launcher has no download";
    return false;
  }
  std::string path;
  if (!releaseRequestPath(release.url, path)) {
    err = std::string("the published launcher is not on ") + kDefaultHost;
    return false;
  }
  if (path.find(product) == std::string::npos) {
    err = "the server answered with " + path + ", which is not a " + product +
          " build - skipping the launcher update";
    return false;
  }
  // The build is streamed straight to its ".new" name beside the own path,
  // so the own path is needed before the download.
  if (ownPath.empty()) {
    err = "could not find my own path";
    return false;
  }
  say(log, "Launcher " + release.version + " is out - updating...");

  const std::string fresh = ownPath + ".new";
  std::remove((ownPath + ".old").c_str());
  std::string dlErr;
  if (!net::download(host, port, path, fresh, progress, dlErr)) {
    err = dlErr.rfind("could not write ", 0) == 0 ? dlErr
                                                   : "the launcher download failed or was not a launcher";
    return false;
  }
  if (sizeOf(fresh) < kSmallestBuild) {
    std::remove(fresh.c_str());
    err = "the launcher download failed or was not a launcher";
    return false;
  }
  if (!headLooksLikeOwnExecutable(fresh)) {
    std::remove(fresh.c_str());
    err = "that download was not a program for this system";
    return false;
  }
  if (!swapInNew(ownPath, err)) return false;
  updated = true;
  say(log, "Launcher updated to " + release.version + " - restart it to pick it up.");
  return true;
}

bool selfUpdate(const std::string& host, int port, const LogFn& log, bool& updated,
                std::string& err, const net::DownloadProgress& progress) {
  return selfUpdateAt(selfPath(), host, port, log, updated, err, progress);
}

}  // namespace orvl
