// orvane-cli: the launcher's scenery actions without a window, for scripts,
// tests and benchmarks. It writes the same files as the launcher, prints every
// log line on standard output and never updates itself.
//   orvane-cli suppress --root R [--host H[:P]]   exit 0 only when a pass was applied
//   orvane-cli restore  --root R                  exit 0 when nothing failed
//   orvane-cli status   --root R                  the suppression state and stale backups
// Exit status 1 when the action did not succeed (X-Plane running included),
// 2 for a wrong command line or a folder that is not X-Plane's.
#include <cstdio>
#include <string>
#include <vector>

#include "app/actions.h"
#include "app/app.h"
#include "app/command_line.h"
#include "host/discovery.h"
#include "host/paths.h"
#include "host/process.h"
#include "scenery/restore.h"

namespace {

int usage() {
  std::fputs(
      "usage: orvane-cli suppress --root FOLDER [--host HOST[:PORT]]\n"
      "       orvane-cli restore  --root FOLDER\n"
      "       orvane-cli status   --root FOLDER\n",
      stderr);
  return 2;
}

void printLine(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

int status() {
  const orvl::Suppression s = orvl::suppressionState(g_app.pluginDir);
  if (s.suppressed)
    printLine("Scenery: Orvane modified - lights suppressed (" + std::to_string(s.airports) + " airport(s) in " +
              std::to_string(s.files) + " file(s))  [sig " + s.sig + ", by " + s.owner + "]");
  else
    printLine("Scenery: original - lights not suppressed");
  for (const std::string& f : orvl::staleBackups(g_app.root, g_app.pluginDir))
    printLine("Stale backup: " + f + ".orvane-orig");
  if (orvl::simRunning(orvl::lowerAscii(g_app.root))) printLine("X-Plane is running from this folder.");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string cmd = argv[1];
  if (cmd != "suppress" && cmd != "restore" && cmd != "status") return usage();
  CommandLine cl;
  cl.host = g_app.host;
  cl.port = g_app.port;
  parseCommandLine(argc, argv, cl);
  if (cl.root.empty()) return usage();

  g_checkSelfUpdate = false;  // never replace this tool with a launcher build
  g_app.host = cl.host;
  g_app.port = cl.port;
  g_app.root = orvl::canonicalRoot(orvl::folderForm(cl.root));
  g_app.pluginDir = g_app.root + "Resources/plugins/Orvane";
  g_app.restoreOnQuit = orvl::loadQuitRestore();
  setLogEcho(printLine);

  if (!orvl::looksLikeXPlane(g_app.root)) {
    std::fprintf(stderr, "orvane-cli: %s is not an X-Plane 12 folder\n", g_app.root.c_str());
    return 2;
  }
  if (cmd == "status") return status();
  if (cmd == "suppress") return doSuppress() ? 0 : 1;
  return doRestore() ? 0 : 1;
}
