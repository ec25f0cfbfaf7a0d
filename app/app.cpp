#include "app/app.h"

#include "host/paths.h"
#include "host/process.h"
#include "scenery/files.h"
#include "scenery/restore.h"
#include "update/release.h"

#include <condition_variable>
#include <system_error>
#include <thread>

App g_app;

const LogFn LOG = [](const std::string& line) { g_app.say(line); };

namespace {
LogFn g_echo;
}

void setLogEcho(LogFn echo) { g_echo = std::move(echo); }

void echoLine(const std::string& line) {
  if (g_echo) g_echo(line);
}

void App::say(const std::string& line) {
  {
    std::lock_guard<std::mutex> lk(mutex);
    log.push_back(line);
    if (log.size() > 400) log.erase(log.begin());
  }
  echoLine(line);
}

void run(const std::string& label, std::function<void()> job) {
  if (g_app.busy.exchange(true)) return;  // one job at a time; the request is dropped
  {
    std::lock_guard<std::mutex> lk(g_app.mutex);
    g_app.busyLabel = label;
  }
  try {
    std::thread([job = std::move(job)] {
      job();
      refreshLocal(true);
      {
        std::lock_guard<std::mutex> lk(g_app.mutex);
        g_app.busyLabel.clear();
      }
      g_app.busy = false;
    }).detach();
  } catch (const std::system_error& e) {
    {
      std::lock_guard<std::mutex> lk(g_app.mutex);
      g_app.busyLabel.clear();
    }
    g_app.busy = false;
    g_app.say(std::string("!! could not start the job (") + label + "): " + e.what());
  }
}

void refreshLocal(bool full) {
  std::vector<std::string> stale;
  if (full) {
    std::string root, pluginDir;
    {
      std::lock_guard<std::mutex> lk(g_app.mutex);
      root = g_app.root;
      pluginDir = g_app.pluginDir;
    }
    stale = orvl::staleBackups(root, pluginDir);
  }
  std::lock_guard<std::mutex> lk(g_app.mutex);
  if (full) g_app.staleBackups = std::move(stale);
  g_app.suppression = orvl::suppressionState(g_app.pluginDir);
  g_app.xplaneRunning = orvl::simRunning(orvl::lowerAscii(g_app.root));
  g_app.pluginInstalled = ftg::fileExists(orvl::xplPath(g_app.pluginDir));
  g_app.pluginVersion = orvl::installedPluginVersion(g_app.pluginDir);
}

namespace {
std::mutex g_workMtx;
std::condition_variable g_workCv;
int g_workCount = 0;
}  // namespace

SceneryWork::SceneryWork() {
  std::lock_guard<std::mutex> lk(g_workMtx);
  ++g_workCount;
}

SceneryWork::~SceneryWork() {
  std::lock_guard<std::mutex> lk(g_workMtx);
  if (--g_workCount == 0) g_workCv.notify_all();
}

void waitForSceneryWork() {
  std::unique_lock<std::mutex> lk(g_workMtx);
  g_workCv.wait(lk, [] { return g_workCount == 0; });
}
