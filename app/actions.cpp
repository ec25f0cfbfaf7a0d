#include "app/actions.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "app/app.h"
#include "host/paths.h"
#include "host/process.h"
#include "maps/geometry.h"
#include "scenery/pass.h"
#include "scenery/restore.h"
#include "update/release.h"
#include "update/self_update.h"

bool g_checkSelfUpdate = true;
int g_launchPollMs = 2000;

namespace {

bool simRunningHere() { return orvl::simRunning(orvl::lowerAscii(g_app.root)); }

// Appends lines to App.log while the caller holds the lock (no 400-line trim),
// and hands them to the echo once the lock is released.
struct HeldLines {
  std::vector<std::string> lines;
  void add(const std::string& line) {
    g_app.log.push_back(line);
    lines.push_back(line);
  }
  void echo() {
    for (const std::string& l : lines) echoLine(l);
    lines.clear();
  }
};

// Step 4 of the check: a newer launcher build, swapped in for the next start.
void checkLauncherUpdate() {
  bool updated = false;
  std::string err;
  const bool ok = orvl::selfUpdate(g_app.host, g_app.port, LOG, updated, err);
  HeldLines held;
  {
    std::lock_guard<std::mutex> lk(g_app.mutex);
    if (ok)
      g_app.selfUpdated = updated;
    else
      held.add("!! launcher update: " + err);
  }
  held.echo();
}

}  // namespace

void actionCheck() {
  HeldLines held;
  orvl::Geometry geo;
  std::string err;
  const bool ok = orvl::fetchGeometry(g_app.host, g_app.port, geo, err);
  {
    std::lock_guard<std::mutex> lk(g_app.mutex);
    if (ok) {
      g_app.geometry = std::move(geo);
      g_app.geometryLoaded = true;
      const orvl::Geometry& g = g_app.geometry;
      held.add("Database: " + std::to_string(g.airports.size()) + " airport(s), " + std::to_string(g.barCount) +
               " bar(s), " + std::to_string(g.variantCount) + " add-on map(s)  [rev " + g.rev + "]");
    } else {
      g_app.geometryLoaded = false;
      held.add("!! " + err);
    }
  }
  held.echo();

  orvl::Release rel;
  std::string err2;
  if (orvl::fetchLatest(g_app.host, g_app.port, rel, err2, "xplane")) {
    std::lock_guard<std::mutex> lk(g_app.mutex);
    g_app.release = rel;
    g_app.releaseKnown = true;
  }

  if (g_checkSelfUpdate) checkLauncherUpdate();
}

bool doSuppress() {
  SceneryWork work;
  if (simRunningHere()) {
    LOG("!! X-Plane is running. Close it first.");
    return false;
  }
  LOG("Fetching the published maps from " + g_app.host + "...");
  actionCheck();

  std::unique_lock<std::mutex> lk(g_app.mutex);
  if (!g_app.geometryLoaded) {
    lk.unlock();
    if (orvl::suppressionState(g_app.pluginDir).suppressed)
      LOG("Your scenery is left exactly as it is - nothing was touched.");
    else
      LOG("Nothing was changed - start X-Plane normally.");
    return false;
  }
  const orvl::Geometry geometry = g_app.geometry;
  lk.unlock();
  lk.lock();
  const bool restoreOnQuit = g_app.restoreOnQuit;
  lk.unlock();

  LOG("Restoring any previous pass...");
  orvl::restoreAll(g_app.pluginDir, LOG, g_app.root, nullptr);
  const orvl::PassResult r =
      orvl::applyPass(g_app.root, g_app.pluginDir, geometry, LOG, restoreOnQuit, g_app.host, g_app.port);
  if (!r.ok) {
    LOG("!! " + r.message);
    return false;
  }
  LOG("Suppressed " + std::to_string(r.airports) + " airport(s) across " + std::to_string(r.files) + " file(s), " +
      std::to_string(r.cuts) + " cut(s).");
  if (r.addonPacks != 0) LOG("   " + std::to_string(r.addonPacks) + " add-on pack(s) from their own published map.");
  if (r.lightRuns != 0)
    LOG("   " + std::to_string(r.lightRuns) + " light run(s) recorded to put back while nobody is controlling.");
  LOG("Verified: Orvane scenery files have been imported.");
  return true;
}

bool doRestore() {
  SceneryWork work;
  if (simRunningHere()) {
    LOG("!! X-Plane is running. Close it first.");
    return false;
  }
  LOG("Restoring the original scenery...");
  int32_t failed = 0;
  const int32_t n = orvl::restoreAll(g_app.pluginDir, LOG, g_app.root, &failed);
  if (n != 0 && failed != 0)
    LOG("!! " + std::to_string(failed) +
        " file(s) could NOT be put back - see the lines above. The scenery is NOT fully restored.");
  else if (n != 0)
    LOG("Original scenery files have been restored.");
  else
    LOG("   (nothing was suppressed)");
  return failed == 0;
}

namespace {

constexpr int kLaunchChecks = 90;
constexpr int kFirstLogCheck = 20;  // the 21st check, about 40 s in

struct LogStamp {
  bool exists = false;
  long long mtime = 0;
  long long size = 0;
};

LogStamp logStamp(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return {};
  return {true, static_cast<long long>(st.st_mtime), static_cast<long long>(st.st_size)};
}

}  // namespace

void doLaunch() {
  if (g_app.suppressEnabled) {
    if (!doSuppress()) LOG("Starting X-Plane anyway.");
  } else {
    doRestore();
  }
  const std::string logPath = g_app.root + "Log.txt";
  const LogStamp before = logStamp(logPath);  // 0 and 0 when there is none
  std::string err;
  if (!orvl::startSim(g_app.root, err)) {
    LOG("!! " + err);
    return;
  }
  LOG("X-Plane is starting - waiting for it to come up...");
  bool up = false;
  for (int i = 0; i < kLaunchChecks; ++i) {
    if (simRunningHere()) {
      up = true;
      break;
    }
    if (i >= kFirstLogCheck) {
      const LogStamp now = logStamp(logPath);
      if (now.exists && (now.mtime > before.mtime || (now.mtime == before.mtime && now.size != before.size))) {
        up = true;
        break;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(g_launchPollMs));
  }
  if (!up) {
    LOG("!! X-Plane did not come up within three minutes. Press Restore originals if you are done.");
    return;
  }
  LOG("X-Plane is running. Closing the launcher.");
  g_app.quitRequested = true;
}
