#include "app/window_jobs.h"

#include "app/app.h"
#include "host/discovery.h"
#include "host/paths.h"
#include "scenery/restore.h"

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
