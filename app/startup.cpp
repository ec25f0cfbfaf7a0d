#include "app/startup.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "app/app.h"
#include "app/command_line.h"
#include "host/discovery.h"
#include "host/paths.h"
#include "scenery/files.h"

namespace {
// A self-update leaves the old build beside us; it may still be busy for a moment.
void startOldCopySweeper() {
  if (!ftg::fileExists(orvl::selfPath() + ".old")) return;
  std::thread([] {
    for (int i = 0; i < 30; ++i) {
      if (!ftg::fileExists(orvl::selfPath() + ".old")) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      orvl::sweepOldSelf();
    }
  }).detach();
}
}  // namespace

void startup(int argc, char** argv) {
  CommandLine cl;
  cl.host = g_app.host;
  cl.port = g_app.port;
  parseCommandLine(argc, argv, cl);
  g_app.host = cl.host;
  g_app.port = cl.port;
  g_app.root = cl.root;

  if (!orvl::acquireSingleLock()) {
    std::fputs("Orvane Launcher is already running.\n", stderr);
    std::exit(0);
  }
  orvl::sweepOldSelf();
  startOldCopySweeper();

  g_app.restoreOnQuit = orvl::loadQuitRestore();
  g_app.root = orvl::canonicalRoot(orvl::findRoot(g_app.root));
  if (!g_app.root.empty()) {
    orvl::rememberRoot(g_app.root);
    g_app.pluginDir = g_app.root + "Resources/plugins/Orvane";
  }
  refreshLocal(true);
  if (!g_app.root.empty())
    g_app.say("X-Plane: " + g_app.root);
  else
    g_app.say("!! X-Plane 12 was not found. Use Browse to point at it.");
}
