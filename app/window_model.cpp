#include "app/window_model.h"

#include <mutex>

#include "app/app.h"
#include "net/net.h"
#include "update/release.h"

namespace {
StatusRow row(const char* label, Tone dot, std::string text) {
  StatusRow r;
  r.label = label;
  r.dot = dot;
  r.text = std::move(text);
  return r;
}
}  // namespace

Snapshot takeSnapshot() {
  Snapshot s;
  s.busy = g_app.busy;
  s.selfUpdated = g_app.selfUpdated;
  std::lock_guard<std::mutex> lk(g_app.mutex);
  s.root = g_app.root;
  s.busyLabel = g_app.busyLabel;
  s.geometryLoaded = g_app.geometryLoaded;
  s.geometryRev = g_app.geometry.rev;
  s.xplaneRunning = g_app.xplaneRunning;
  s.pluginInstalled = g_app.pluginInstalled;
  s.pluginVersion = g_app.pluginVersion;
  s.releaseKnown = g_app.releaseKnown;
  s.releaseVersion = g_app.release.version;
  s.suppression = g_app.suppression;
  s.staleBackups = g_app.staleBackups;
  s.suppressEnabled = g_app.suppressEnabled;
  s.restoreOnQuit = g_app.restoreOnQuit;
  s.host = g_app.host;
  s.port = g_app.port;
  return s;
}

std::string headerText(const Snapshot& s) {
  std::string plugin = !s.pluginVersion.empty() ? s.pluginVersion
                       : s.pluginInstalled      ? "installed (version unknown)"
                                                : "not installed";
  return std::string("Launcher v") + orvl::kLauncherVersion + "   \xC2\xB7   plugin " + plugin;
}

bool updateAvailable(const Snapshot& s) {
  return s.releaseKnown && (s.pluginVersion.empty() || orvl::verNewer(s.releaseVersion, s.pluginVersion));
}

StatusRow xplaneRow(const Snapshot& s) {
  StatusRow r = row("X-Plane", s.root.empty() ? Tone::Stop : Tone::Go, s.root.empty() ? "not found" : s.root);
  r.button = "Browse...";
  r.buttonEnabled = !s.busy;
  return r;
}

StatusRow pluginRow(const Snapshot& s) {
  StatusRow r = row("Plugin", Tone::Go, "");
  const bool update = updateAvailable(s);
  if (!s.pluginInstalled)
    r.dot = Tone::Stop;
  else if (update)
    r.dot = Tone::Amber;
  if (s.pluginInstalled)
    r.text = s.pluginVersion.empty() ? "Orvane installed (version unknown)" : "Orvane " + s.pluginVersion;
  else
    r.text = "Orvane is not installed";
  if (update) r.note = "-> " + s.releaseVersion + " available";
  if (update || !s.pluginInstalled) {
    r.button = s.pluginInstalled ? "Update" : "Install";
    r.buttonEnabled = !s.xplaneRunning && !s.busy && s.releaseKnown;
  }
  return r;
}

StatusRow serverRow(const Snapshot& s) {
  return row("Server", s.geometryLoaded ? Tone::Go : Tone::Stop, s.geometryLoaded ? "connected" : "not connected");
}

bool fromOlderMap(const Snapshot& s) {
  if (!s.suppression.suppressed || !s.geometryLoaded || s.geometryRev.empty()) return false;
  const std::string& sig = s.suppression.sig;
  return sig.substr(0, sig.find('+')) != s.geometryRev;
}

StatusRow sceneryRow(const Snapshot& s) {
  const orvl::Suppression& q = s.suppression;
  StatusRow r = row("Scenery", q.suppressed ? Tone::Go : Tone::Amber, "");
  if (q.suppressed)
    r.text = "Orvane modified - lights suppressed (" + std::to_string(q.airports) + " airports in " +
             std::to_string(q.files) + " file(s))";
  else
    r.text = "Original - lights not suppressed";
  if (fromOlderMap(s)) r.note = "from an older map";
  return r;
}

StatusRow simRow(const Snapshot& s) {
  return row("Sim", s.xplaneRunning ? Tone::Stop : Tone::Go,
             s.xplaneRunning ? "X-Plane is running - scenery is locked" : "X-Plane is not running");
}

StatusRow bridgeRow(const Snapshot&) {
  StatusRow r = row("Bridge", Tone::Muted, "xPilot: not detected");
  r.textTone = Tone::Muted;
  return r;
}

std::string staleNoticeText(const Snapshot& s) {
  return std::to_string(s.staleBackups.size()) +
         " scenery file(s) were updated while Orvane still held a copy of the older version. Nothing "
         "is suppressed there until that copy is dealt with - it is the file next to each apt.dat "
         "ending .orvane-orig.";
}

bool launchEnabled(const Snapshot& s) {
  return !s.xplaneRunning && !s.busy && !s.root.empty() && s.pluginInstalled;
}

bool suppressButtonEnabled(const Snapshot& s) { return !s.xplaneRunning && !s.busy; }

bool restoreEnabled(const Snapshot& s) { return !s.xplaneRunning && !s.busy && s.suppression.suppressed; }

Tone logTone(const std::string& line) {
  if (line.empty()) return Tone::Plain;
  if (line[0] == '!') return Tone::Stop;
  if (line[0] == ' ') return Tone::Muted;
  return Tone::Plain;
}

std::vector<std::string> restartArgs(const std::string& host, int port) {
  if (host == orvl::kDefaultHost) return {};
  return {"--host", host + ":" + std::to_string(port)};
}
