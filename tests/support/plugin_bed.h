// A test bed for plugin installation and self-update: a fake X-Plane root, a
// temporary folder (TMPDIR points at it while the bed lives), a fixture folder
// served by the development server, and ZIP packages built with bsdtar or zip.
#pragma once
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/process.h"
#include "tests/support/devserver.h"
#include "tests/support/tmpdir.h"

extern char** environ;

namespace testutil {

// Deterministic bytes that do not compress.
inline std::string noise(size_t n, uint32_t seed = 12345) {
  std::string s(n, '\0');
  uint32_t x = seed;
  for (auto& c : s) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 24);
  }
  return s;
}

// Zip `folder`'s entry `top` into `zipFile` (stored with the path "top/...").
inline bool zipFolder(const std::string& folder, const std::string& top, const std::string& zipFile) {
  int code = -1;
  if (orvl::runQuiet({"bsdtar", "--format", "zip", "-cf", zipFile, "-C", folder, top}, code) &&
      code == 0)
    return true;
  const std::string cmd = "cd '" + folder + "' && zip -q -r '" + zipFile + "' '" + top + "'";
  return std::system(cmd.c_str()) == 0;
}

// Names inside a folder (not recursive), sorted.
inline std::vector<std::string> listNames(const std::string& folder) {
  std::vector<std::string> out;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec))
    out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

// A folder made read-only by a read-only bind mount of itself, undone on
// destruction. ok() is false when the system refused the mount.
class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(const std::string& folder) : folder_(folder) {
    if (::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0) return;
    bound_ = true;
    ok_ = ::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
  }
  ~ReadOnlyFolder() {
    if (bound_) ::umount2(folder_.c_str(), MNT_DETACH);
  }
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
  bool ok() const { return ok_; }

 private:
  std::string folder_;
  bool bound_ = false;
  bool ok_ = false;
};

// A child process running `exe` with `args`, killed and waited for on destruction.
class Child {
 public:
  Child(const std::string& exe, const std::vector<std::string>& args) {
    std::vector<std::string> all{exe};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, exe.c_str(), nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
  }
  ~Child() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      int st = 0;
      ::waitpid(pid_, &st, 0);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  bool ok() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
};

class PluginBed {
 public:
  PluginBed() {
    const char* t = std::getenv("TMPDIR");
    hadTmp_ = t != nullptr;
    if (t) oldTmp_ = t;
    root = base / "xp/";
    pluginDir = root + "Resources/plugins/Orvane";
    tmp = base / "tmp";
    fixtures = base / "srv";
    std::filesystem::create_directories(pluginDir);
    std::filesystem::create_directories(tmp);
    std::filesystem::create_directories(fixtures + "/files");
    ::setenv("TMPDIR", tmp.c_str(), 1);
    server = std::make_unique<DevServer>(fixtures);
  }
  ~PluginBed() {
    server.reset();
    if (hadTmp_)
      ::setenv("TMPDIR", oldTmp_.c_str(), 1);
    else
      ::unsetenv("TMPDIR");
  }
  PluginBed(const PluginBed&) = delete;
  PluginBed& operator=(const PluginBed&) = delete;

  int port() const { return server->port(); }

  // Serve files/<name> holding a ZIP whose "Orvane" folder has `files`
  // (paths relative to it) and "filler.bin", 2 KB of noise that keeps small
  // packages above the smallest accepted download. False when no zip tool worked.
  bool publishPackage(const std::string& name, const std::map<std::string, std::string>& files) {
    const std::string src = base / ("pkg-" + std::to_string(++packages_));
    writeFile(src + "/Orvane/filler.bin", noise(2048, static_cast<uint32_t>(packages_)));
    for (const auto& [rel, content] : files) writeFile(src + "/Orvane/" + rel, content);
    const std::string out = fixtures + "/files/" + name;
    std::error_code ec;
    std::filesystem::remove(out, ec);
    return zipFolder(src, "Orvane", out);
  }
  void publishFile(const std::string& name, const std::string& content) {
    writeFile(fixtures + "/files/" + name, content);
  }

  TempDir base;
  std::string root;       // folder form
  std::string pluginDir;  // no trailing "/"
  std::string tmp;        // what TMPDIR says while the bed lives
  std::string fixtures;
  std::unique_ptr<DevServer> server;

 private:
  bool hadTmp_ = false;
  std::string oldTmp_;
  int packages_ = 0;
};

}  // namespace testutil
