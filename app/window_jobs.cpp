#include "app/window_jobs.h"

#include "app/app.h"
#include "host/discovery.h"
#include "host/paths.h"
#include "scenery/restore.h"
#include "update/install.h"

#include <cstdio>

void browseJob() {
  std::string err;
  const std::string picked = orvl::browseForRoot(nullptr, &err);
  if (picked.empty()) {
    if (!err.empty()) LOG("!! " + err);
    return;  // a cancelled picker says nothing
  }
  const std::string r = orvl::canonicalRoot(picked);
  if (!orvl::looksLikeXPlane(r)) {
    LOG("!! that folder is not an X-Plane 12 install");
    return;
  }
  {
    std::lock_guard<std::mutex> lk(g_app.mutex);
    g_app.root = r;
    g_app.pluginDir = r + "Resources/plugins/Orvane";
  }
  orvl::rememberRoot(r);
  refreshLocal(true);
  LOG("X-Plane: " + r);
}

void oldCopiesJob() {
  std::string root, pluginDir;
  {
    std::lock_guard<std::mutex> lk(g_app.mutex);
    root = g_app.root;
    pluginDir = g_app.pluginDir;
  }
  const int n = orvl::forgetStaleBackups(root, pluginDir, LOG);
  LOG("Removed " + std::to_string(n) + " outdated copy/copies. Your scenery was not touched.");
}

std::string progressLabel(const std::string& label, long long bytes, long long total) {
  char buf[64];
  if (total > 0)
    std::snprintf(buf, sizeof buf, " (%.1f of %.1f MB)", bytes / 1e6, total / 1e6);
  else
    std::snprintf(buf, sizeof buf, " (%.1f MB)", bytes / 1e6);
  return label + buf;
}

void pluginJob() {
  orvl::Release release;
  std::string label;
  {
    std::lock_guard<std::mutex> lk(g_app.mutex);
    release = g_app.release;
    label = g_app.busyLabel;
  }
  auto progress = [label](long long bytes, long long total) {
    std::lock_guard<std::mutex> lk(g_app.mutex);
    g_app.busyLabel = progressLabel(label, bytes, total);
  };
  std::string err;
  if (!orvl::installPlugin(g_app.root, g_app.pluginDir, g_app.host, g_app.port, release, LOG, err, progress))
    LOG("!! " + err);
}
