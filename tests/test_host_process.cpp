// Child processes and the running-simulator test, with real processes.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "host/paths.h"
#include "host/platform.h"
#include "host/process.h"
#include "tests/support/env.h"
#include "tests/support/tmpdir.h"

extern char** environ;

namespace fs = std::filesystem;
using testutil::readFile;
using testutil::TempDir;
using testutil::writeFile;

using testutil::EnvVar;

namespace {

// This binary doubles as a helper program: started with one of these variables
// set, it does that job and exits before any test runs.
//  ORVL_TEST_ECHO_ARGS=file      write the raw command line to file
//  ORVL_TEST_SELF_IN_ROOT=root   exit 0 when simRunning(root) ignores this
//                                process but sees a forked copy of it
struct HelperMode {
  HelperMode() {
    if (const char* out = std::getenv("ORVL_TEST_ECHO_ARGS")) {
      const std::string cmdline = readFile("/proc/self/cmdline");
      writeFile(std::string(out) + ".tmp", cmdline);
      std::rename((std::string(out) + ".tmp").c_str(), out);
      std::_Exit(0);
    }
    if (const char* root = std::getenv("ORVL_TEST_SELF_IN_ROOT")) {
      if (orvl::simRunning(root)) std::_Exit(1);
      pid_t twin = fork();
      if (twin == 0) {
        for (int i = 0; i < 100; ++i) usleep(100000);
        _exit(0);
      }
      const bool seen = twin > 0 && orvl::simRunning(root);
      if (twin > 0) {
        kill(twin, SIGKILL);
        waitpid(twin, nullptr, 0);
      }
      std::_Exit(seen ? 0 : 2);
    }
  }
} g_helperMode;


std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}
std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Waits at most `ms` for a file to appear.
bool waitForFile(const std::string& path, int ms) {
  for (int i = 0; i < ms / 20; ++i, sleepMs(20))
    if (testutil::exists(path)) return true;
  return testutil::exists(path);
}

// Waits at most `ms` for our child to end; kills it when it does not.
bool reap(pid_t pid, int& status, int ms) {
  for (int i = 0; i < ms / 20; ++i, sleepMs(20))
    if (waitpid(pid, &status, WNOHANG) == pid) return true;
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return false;
}

// A child of ours, killed and reaped when the object goes.
struct Child {
  pid_t pid = -1;
  Child(const std::string& exe, std::vector<std::string> args, char** env = environ) {
    args.insert(args.begin(), exe);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv.data(), env) != 0) pid = -1;
  }
  ~Child() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
};

std::string sleepProgram() { return fs::exists("/bin/sleep") ? "/bin/sleep" : "/usr/bin/sleep"; }

void copyProgram(const std::string& from, const std::string& to) {
  fs::create_directories(fs::path(to).parent_path());
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
  fs::permissions(to, fs::perms::owner_all, fs::perm_options::add);
}

// Fields of /proc/<pid>/stat after the command name: state, ppid, pgrp, session.
struct Stat {
  bool ok = false;
  char state = '?';
  long ppid = 0, pgrp = 0, session = 0;
};
Stat procStat(pid_t pid) {
  Stat s;
  const std::string text = readFile("/proc/" + std::to_string(pid) + "/stat");
  size_t close = text.rfind(')');
  if (close == std::string::npos) return s;
  std::istringstream in(text.substr(close + 1));
  s.ok = static_cast<bool>(in >> s.state >> s.ppid >> s.pgrp >> s.session);
  return s;
}

}  // namespace

TEST(HostProcess, SimRunningSeesAnyProgramStartedInsideTheRootWhateverTheCase) {
  TempDir t;
  const std::string root = t / "X-Plane 12/";
  const std::string sibling = t / "X-Plane 12 beta/";
  ASSERT_FALSE(orvl::simRunning(lower(root)));

  {
    copyProgram(sleepProgram(), sibling + "Resources/tool");
    Child c(sibling + "Resources/tool", {"30"});
    ASSERT_GT(c.pid, 0);
    EXPECT_TRUE(orvl::simRunning(lower(sibling)));  // the process is visible...
    EXPECT_FALSE(orvl::simRunning(lower(root)));    // ...but not inside the root
  }
  {
    copyProgram(sleepProgram(), root + "Resources/plugins/helper");
    Child c(root + "Resources/plugins/helper", {"30"});
    ASSERT_GT(c.pid, 0);
    EXPECT_TRUE(orvl::simRunning(lower(root)));
    EXPECT_TRUE(orvl::simRunning(upper(root)));
    EXPECT_TRUE(orvl::simRunning(root));
    EXPECT_TRUE(orvl::simRunning(""));  // no root known: always "running"
  }
  EXPECT_FALSE(orvl::simRunning(lower(root)));
}

TEST(HostProcess, TheLauncherItselfInsideTheRootNeverCounts) {
  TempDir t;
  const std::string root = t / "X-Plane 12/";
  copyProgram(orvl::selfPath(), root + "Resources/plugins/Orvane/launcher");
  EnvVar probe("ORVL_TEST_SELF_IN_ROOT", lower(root));
  Child c(root + "Resources/plugins/Orvane/launcher", {});
  ASSERT_GT(c.pid, 0);
  int status = 0;
  ASSERT_TRUE(reap(c.pid, status, 20000));
  c.pid = -1;
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_NE(WEXITSTATUS(status), 1) << "the launcher counted itself";
  EXPECT_NE(WEXITSTATUS(status), 2) << "a second copy of it was not seen";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(HostProcess, RunQuietReportsStartAndExitStatusWithOutputDiscarded) {
  TempDir t;
  const std::string fds = t / "fds";
  const struct {
    std::vector<std::string> args;
    bool started;
    int code;
  } cases[] = {
      {{"sh", "-c", "exit 2"}, true, 2},
      {{"sh", "-c", "exit 0"}, true, 0},
      {{"sh", "-c", "kill -9 $$"}, true, 1},
      {{"sh", "-c", "r=$(readlink /proc/$$/fd/1 /proc/$$/fd/2); echo \"$r\" > '" + fds + "'"}, true, 0},
      {{"orvl-no-such-program-anywhere"}, false, 77},
      {{}, false, 77},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.back());
    int code = 77;
    EXPECT_EQ(orvl::runQuiet(c.args, code), c.started);
    EXPECT_EQ(code, c.code);
  }
  EXPECT_EQ(readFile(fds), "/dev/null\n/dev/null\n");
}

TEST(HostProcess, SpawnSelfStartsTheLauncherWithItsArguments) {
  TempDir t;
  const std::string out = t / "args";
  {
    EnvVar echo("ORVL_TEST_ECHO_ARGS", out);
    ASSERT_TRUE(orvl::spawnSelf({"--host", "example.test:8443", ""}));
  }
  const bool written = waitForFile(out, 10000);
  int status = 0;
  for (int i = 0; i < 250 && waitpid(-1, &status, WNOHANG) <= 0; ++i) sleepMs(20);
  ASSERT_TRUE(written);
  const char want[] = "\0--host\0example.test:8443\0\0";
  EXPECT_EQ(readFile(out), orvl::selfPath() + std::string(want, sizeof want - 1));
}

TEST(HostProcess, StartSimRunsXPlaneDetachedInItsRoot) {
  TempDir t;
  const std::string root = fs::canonical(t.path()).string() + "/X-Plane 12/";
  const std::string exe = root + orvl::platform::xplaneExecutable();
  writeFile(exe, "#!/bin/sh\necho $$ > started.tmp && mv started.tmp started\nexec sleep 20\n");
  fs::permissions(exe, fs::perms::owner_all, fs::perm_options::add);

  // A stand-in launcher starts X-Plane and checks that it is not its child, then exits.
  pid_t launcher = fork();
  ASSERT_GE(launcher, 0);
  if (launcher == 0) {
    std::string err;
    if (!orvl::startSim(root, err)) _exit(2);
    if (!waitForFile(root + "started", 10000)) _exit(3);
    sleepMs(50);
    pid_t sim = static_cast<pid_t>(std::atol(readFile(root + "started").c_str()));
    int st;
    if (sim <= 0 || waitpid(sim, &st, WNOHANG) != -1 || errno != ECHILD) _exit(4);
    _exit(0);
  }
  int status = 0;
  ASSERT_TRUE(reap(launcher, status, 20000));
  ASSERT_TRUE(waitForFile(root + "started", 1000));
  const pid_t sim = static_cast<pid_t>(std::atol(readFile(root + "started").c_str()));
  ASSERT_GT(sim, 0);
  struct KillAtEnd {
    pid_t pid;
    ~KillAtEnd() {
      kill(pid, SIGKILL);  // not our child: whoever adopted it reaps it
      for (int i = 0; i < 250 && procStat(pid).ok && procStat(pid).state != 'Z'; ++i) sleepMs(20);
    }
  } killAtEnd{sim};
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "launcher status " << status;

  sleepMs(200);
  const Stat s = procStat(sim);
  ASSERT_TRUE(s.ok);
  EXPECT_NE(s.state, 'Z') << "X-Plane ended with the launcher";
  EXPECT_NE(s.ppid, static_cast<long>(launcher));
  EXPECT_NE(s.ppid, static_cast<long>(getpid()));
  EXPECT_EQ(s.session, static_cast<long>(sim)) << "not in a session of its own";
  EXPECT_NE(s.session, static_cast<long>(getsid(0)));
  std::error_code ec;
  EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(sim) + "/cwd", ec).string() + "/", root);
}

TEST(HostProcess, StartSimFailures) {
  TempDir t;
  const std::string root = t / "empty/";
  const std::string exe = root + orvl::platform::xplaneExecutable();
  std::string err;
  EXPECT_FALSE(orvl::startSim(root, err));
  EXPECT_EQ(err, "X-Plane is not in " + root + " (" + exe + ")");

  // An executable that cannot be run still counts as started: the launch wait notices.
  writeFile(exe, "not a program");
  fs::permissions(exe, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
  err.clear();
  EXPECT_TRUE(orvl::startSim(root, err));
  EXPECT_EQ(err, "");
}
