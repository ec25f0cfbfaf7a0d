#include "host/discovery.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "host/paths.h"
#include "host/platform.h"

namespace orvl {

namespace {

bool existsAt(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

bool contains(const std::vector<std::string>& list, const std::string& s) {
  return std::find(list.begin(), list.end(), s) != list.end();
}

// Trailing line feeds, carriage returns and spaces go; tabs and leading
// characters stay.
std::string trimEnd(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
  return s;
}

// The value of the first quoted "path" key on a vdf line, unescaped; false when
// the line has none or its value is not closed.
bool vdfPathValue(const std::string& line, std::string& value) {
  size_t key = line.find("\"path\"");
  if (key == std::string::npos) return false;
  size_t open = line.find('"', key + 6);
  if (open == std::string::npos) return false;
  size_t close = line.find('"', open + 1);
  if (close == std::string::npos) return false;
  const std::string raw = line.substr(open + 1, close - open - 1);
  value.clear();
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 1 < raw.size() && raw[i + 1] == '\\') continue;
    value += raw[i];
  }
  value = slashes(value);
  return true;
}

const char kNoPicker[] =
    "no folder picker on this system (install zenity or kdialog) - start the launcher with "
    "--root \"/path/to/X-Plane 12\" instead";

}  // namespace

std::vector<std::string>& findRootProbed() {
  static std::vector<std::string> probed;
  return probed;
}

bool looksLikeXPlane(const std::string& folder) {
  const std::string d = folderForm(folder);
  for (const char* mark : {"Resources/version.txt", "X-Plane.exe", "X-Plane.app", "X-Plane-x86_64"})
    if (existsAt(d + mark)) return true;
  return false;
}

std::string canonicalRoot(const std::string& path) {
  if (path.empty()) return "";
  std::error_code ec;
  std::filesystem::path canon = std::filesystem::weakly_canonical(path, ec);
  if (ec || canon.empty()) return path;
  return folderForm(canon.string());
}

std::vector<std::string> installRecordRoots() {
  std::vector<std::string> roots;
  const std::string home = homeDir();
  if (home.empty()) return roots;
  std::ifstream f(platform::installRecordPath(home));
  std::string line;
  while (f && std::getline(f, line)) {
    line = trimEnd(line);
    if (!line.empty()) roots.push_back(folderForm(line));
  }
  return roots;
}

void addSteamRoot(std::string steamRoot, std::vector<std::string>& libraries) {
  if (steamRoot.empty()) return;
  steamRoot = slashes(steamRoot);
  while (steamRoot.size() >= 2 && steamRoot.back() == '/') steamRoot.pop_back();
  if (!existsAt(steamRoot)) return;
  if (contains(libraries, steamRoot)) return;
  libraries.push_back(steamRoot);
  std::ifstream f(steamRoot + "/steamapps/libraryfolders.vdf");
  std::string line, value;
  while (f && std::getline(f, line))
    if (vdfPathValue(line, value) && !contains(libraries, value)) libraries.push_back(value);
}

std::vector<std::string> steamLibraries() {
  std::vector<std::string> libraries;
  const std::string home = homeDir();
  if (home.empty()) return libraries;
  for (const std::string& root : platform::steamRoots(home)) addSteamRoot(root, libraries);
  return libraries;
}

std::string findRootFrom(const std::string& given, const std::string& launcherDir) {
  std::vector<std::string>& probed = findRootProbed();
  probed.clear();
  if (!given.empty()) return folderForm(given);

  // The launcher's own folder and up to four of its parents.
  std::string dir = launcherDir;
  for (int i = 0; i < 5 && !dir.empty(); ++i) {
    probed.push_back("beside the launcher: " + dir);
    if (looksLikeXPlane(dir)) return folderForm(dir);
    size_t cut = dir.rfind('/');
    if (cut == std::string::npos) break;
    dir.erase(cut);
  }

  const std::string saved = savedRootPath();
  if (!saved.empty()) {
    probed.push_back("remembered (" + saved + ")");
    std::ifstream f(saved);
    std::string line;
    // An empty first line names no folder; it must not stand for the current
    // directory.
    if (f && std::getline(f, line) && !line.empty()) {
      std::string root = folderForm(line);
      if (looksLikeXPlane(root)) return root;
    }
  }

  for (const std::string& r : installRecordRoots()) {
    probed.push_back("X-Plane's install record: " + r);
    if (looksLikeXPlane(r)) return r;
  }

  for (const std::string& library : steamLibraries()) {
    std::string s = folderForm(library) + "steamapps/common/X-Plane 12/";
    probed.push_back("Steam library: " + s);
    if (looksLikeXPlane(s)) return s;
  }

  if (probed.empty())
    probed.push_back("no install record, no Steam library and no X-Plane folder above the launcher");
  return "";
}

std::string findRoot(const std::string& given) { return findRootFrom(given, exeDir()); }

std::string browseForRoot(void* /*window*/, std::string* err) {
  for (const std::string& command : platform::folderPickerCommands()) {
    FILE* p = popen(command.c_str(), "r");
    if (!p) continue;
    std::string out;
    char buf[1024];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int status = pclose(p);
    if (status == -1) continue;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127) continue;  // picker not installed
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "";
    out = trimEnd(out);
    return out.empty() ? "" : folderForm(out);
  }
  if (err) *err = kNoPicker;
  return "";
}

}  // namespace orvl
