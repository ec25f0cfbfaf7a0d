// The state shared by the window and the jobs, its log and the one-job runner.
#pragma once
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "maps/geometry.h"
#include "net/net.h"
#include "scenery/suppression.h"
#include "update/release.h"

struct App {
  std::mutex mutex;  // guards every field below except busy and quitRequested
  std::string root;       // X-Plane folder, ending with "/"; empty while unknown
  std::string pluginDir;  // root + "Resources/plugins/Orvane"
  std::string host = orvl::kDefaultHost;
  bool selfUpdated = false;
  int port = orvl::kDefaultPort;
  std::vector<std::string> log;
  std::atomic<bool> busy{false};
  std::string busyLabel;
  orvl::Geometry geometry;
  bool geometryLoaded = false;
  orvl::Suppression suppression;
  std::vector<std::string> staleBackups;
  orvl::Release release;
  bool releaseKnown = false;
  std::string pluginVersion;
  bool xplaneRunning = false;
  bool pluginInstalled = false;
  bool suppressEnabled = true;
  bool restoreOnQuit = true;
  std::atomic<bool> quitRequested{false};

  // Append one line to the log (at most 400 kept, oldest dropped). Never call
  // while holding `mutex`.
  void say(const std::string& line);
};

extern App g_app;

// The log callback handed to long operations.
using LogFn = std::function<void(const std::string&)>;
extern const LogFn LOG;

// Also hand every log line to `echo` (the command-line tool prints them). Set
// before any job starts.
void setLogEcho(LogFn echo);
// Lines appended to App::log directly (under the lock, by the check) go to the
// echo through this, called after the lock is released.
void echoLine(const std::string& line);

// Start `job` on a detached thread unless one runs; a request while busy is dropped.
void run(const std::string& label, std::function<void()> job);

// Recompute what the disk and the process list say; `full` also the stale backups.
void refreshLocal(bool full);

// Work that changes the user's scenery holds one of these; at exit the process
// waits for it, so a suppress or restore is never cut short by closing the window.
struct SceneryWork {
  SceneryWork();
  ~SceneryWork();
  SceneryWork(const SceneryWork&) = delete;
  SceneryWork& operator=(const SceneryWork&) = delete;
};
void waitForSceneryWork();
