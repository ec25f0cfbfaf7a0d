#include "host/process.h"

#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "host/paths.h"
#include "host/platform.h"

extern char** environ;

namespace orvl {

namespace {

// argv for the spawn calls; the strings stay owned by `args`.
std::vector<char*> argList(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  return argv;
}

// Waits for `pid`, retrying while a signal interrupts; false when the wait fails.
bool waitFor(pid_t pid, int& status) {
  while (waitpid(pid, &status, 0) == -1)
    if (errno != EINTR) return false;
  return true;
}

}  // namespace

bool spawnSelf(const std::vector<std::string>& args) {
  const std::string exe = selfPath();
  if (exe.empty()) return false;
  std::vector<std::string> all;
  all.reserve(args.size() + 1);
  all.push_back(exe);
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv = argList(all);
  pid_t pid;
  return posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv.data(), environ) == 0;
}

bool runQuiet(const std::vector<std::string>& args, int& code) {
  if (args.empty()) return false;
  std::vector<char*> argv = argList(args);
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  bool ok = posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0) == 0 &&
            posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0) == 0;
  pid_t pid = -1;
  if (ok) ok = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  if (!ok) return false;
  int status = 0;
  if (!waitFor(pid, status)) {
    code = 1;  // ran, but its status is lost: never report that as success
    return true;
  }
  code = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
  return true;
}

bool simRunning(const std::string& rootLower) {
  const std::string root = lowerAscii(slashes(rootLower));
  for (const std::string& exe : platform::otherProcessExecutables()) {
    if (exe.empty()) continue;
    const std::string path = lowerAscii(slashes(exe));
    if (path.size() > root.size() && path.compare(0, root.size(), root) == 0) return true;
  }
  return false;
}

bool startSim(const std::string& root, std::string& err) {
  // Everything the children need is built here: after fork they may only call
  // async-signal-safe functions.
  const std::string exe = root + platform::xplaneExecutable();
  struct stat st;
  if (stat(exe.c_str(), &st) != 0) {
    err = "X-Plane is not in " + root + " (" + exe + ")";
    return false;
  }
  char* const argv[] = {const_cast<char*>(exe.c_str()), nullptr};
  const char* dir = root.c_str();

  pid_t child = fork();
  if (child < 0) {
    err = "could not start X-Plane (fork failed)";
    return false;
  }
  if (child == 0) {
    // The intermediate child ends at once, so X-Plane is re-parented away from us.
    if (fork() != 0) _exit(0);
    if (chdir(dir) == 0) {
      setsid();
      execv(argv[0], argv);
    }
    _exit(127);
  }
  int status = 0;
  waitFor(child, status);
  return true;
}

}  // namespace orvl
