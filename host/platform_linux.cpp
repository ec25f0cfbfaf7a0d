// Linux side of the platform layer.
#include "host/platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace orvl::platform {

std::string executablePath() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "";
  return std::string(buf, static_cast<size_t>(n));
}

std::vector<std::string> otherProcessExecutables() {
  std::vector<std::string> out;
  DIR* d = opendir("/proc");
  if (!d) return out;
  const long self = static_cast<long>(getpid());
  while (dirent* e = readdir(d)) {
    char* end = nullptr;
    long pid = std::strtol(e->d_name, &end, 10);
    if (end == e->d_name || *end != '\0' || pid <= 0 || pid == self) continue;
    std::string link = std::string("/proc/") + e->d_name + "/exe";
    char buf[4096];
    ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
    if (n <= 0) continue;
    out.emplace_back(buf, static_cast<size_t>(n));
  }
  closedir(d);
  return out;
}

bool fullFlush(int fd) { return fsync(fd) == 0; }

void startWriteback(int fd, long long offset, long long length) {
  sync_file_range(fd, offset, length, SYNC_FILE_RANGE_WRITE);
}

std::vector<std::string> folderPickerCommands() {
  return {
      "zenity --file-selection --directory --title=\"Where is X-Plane 12?\" 2>/dev/null",
      "kdialog --getexistingdirectory \"$HOME\" --title \"Where is X-Plane 12?\" 2>/dev/null",
  };
}

const char* xplaneExecutable() { return "X-Plane-x86_64"; }
const char* pluginArchFolder() { return "lin_x64"; }
const char* launcherProductWord() { return "xplane-launcher-linux"; }

bool looksLikeOwnExecutable(const unsigned char* head, std::size_t n) {
  return n >= 4 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F';
}

std::string installRecordPath(const std::string& home) {
  return home + "/.x-plane/x-plane_install_12.txt";
}

std::vector<std::string> steamRoots(const std::string& home) {
  return {home + "/.local/share/Steam", home + "/.steam/steam"};
}

}  // namespace orvl::platform
