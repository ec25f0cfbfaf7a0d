#include "host/paths.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "host/platform.h"

namespace orvl {

std::string slashes(std::string s) {
  for (char& c : s)
    if (c == '\\') c = '/';
  return s;
}

std::string folderForm(std::string s) {
  s = slashes(std::move(s));
  if (!s.empty() && s.back() != '/') s += '/';
  return s;
}

std::string lowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string homeDir() {
  const char* h = std::getenv("HOME");
  if (h && *h) return slashes(h);
  if (const passwd* pw = getpwuid(getuid()))
    if (pw->pw_dir) return slashes(pw->pw_dir);
  return "";
}

std::string configDir() {
  std::string h = homeDir();
  return h.empty() ? "" : h + "/Library/Application Support/Orvane";
}

std::string tempDir() {
  const char* t = std::getenv("TMPDIR");
  return folderForm(t && *t ? t : "/tmp");
}

std::string selfPath() {
  static std::once_flag once;
  static std::string path;
  std::call_once(once, [] { path = slashes(platform::executablePath()); });
  return path;
}

std::string exeDir() {
  std::string p = slashes(platform::executablePath());
  size_t cut = p.rfind('/');
  if (p.empty() || cut == std::string::npos) return ".";
  return p.substr(0, cut);
}

std::string savedRootPath() {
  std::string c = configDir();
  return c.empty() ? "" : c + "/xproot.txt";
}

std::string savedQuitRestorePath() {
  std::string c = configDir();
  return c.empty() ? "" : c + "/restore-on-quit.txt";
}

bool acquireSingleLock() {
  const std::string path = tempDir() + "orvane-launcher.lock";
  for (int attempt = 0; attempt < 24; ++attempt) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) {
      if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;  // fd stays open: the lock lives on
      close(fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  return false;
}

bool loadQuitRestore() {
  std::string path = savedQuitRestorePath();
  if (path.empty()) return true;
  std::ifstream f(path);
  std::string line;
  if (!f || !std::getline(f, line)) return true;
  return !(line == "0" || line == "false");
}

namespace {
void writeSetting(const std::string& path, const std::string& text) {
  std::error_code ec;
  std::filesystem::create_directories(configDir(), ec);
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << text;
}
}  // namespace

void rememberQuitRestore(bool on) {
  std::string path = savedQuitRestorePath();
  if (!path.empty()) writeSetting(path, on ? "1" : "0");
}

void rememberRoot(const std::string& root) {
  if (!configDir().empty()) writeSetting(savedRootPath(), root);
}

void sweepOldSelf() {
  std::string self = selfPath();
  if (self.empty()) return;
  std::string name = self + ".old";
  while (std::remove(name.c_str()) == 0) name += ".old";
}

}  // namespace orvl
