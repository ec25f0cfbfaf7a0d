// macOS side of the platform layer.
#include "host/platform.h"

#include <fcntl.h>
#include <libproc.h>
#include <mach-o/dyld.h>
#include <mach-o/loader.h>
#include <mach-o/fat.h>
#include <sys/sysctl.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

namespace orvl::platform {

std::string executablePath() {
  char buf[4096];
  uint32_t size = sizeof buf;
  if (_NSGetExecutablePath(buf, &size) != 0) return "";
  return std::string(buf);
}

std::vector<std::string> otherProcessExecutables() {
  std::vector<std::string> out;
  int name[4] = {CTL_KERN, KERN_PROC, KERN_PROC_ALL, 0};
  size_t size = 0;
  if (sysctl(name, 4, nullptr, &size, nullptr, 0) != 0 || size == 0) return out;
  size += 41472;  // room for 64 more records started in between
  std::vector<char> table(size, 0);
  if (sysctl(name, 4, table.data(), &size, nullptr, 0) != 0) return out;
  const size_t count = size / sizeof(struct kinfo_proc);
  const auto* procs = reinterpret_cast<const struct kinfo_proc*>(table.data());
  const pid_t self = getpid();
  for (size_t i = 0; i < count; ++i) {
    pid_t pid = procs[i].kp_proc.p_pid;
    if (pid <= 0 || pid == self) continue;
    char path[4096];
    int n = proc_pidpath(pid, path, sizeof path);
    if (n <= 0) continue;
    out.emplace_back(path, static_cast<size_t>(n));
  }
  return out;
}

bool fullFlush(int fd) {
  if (fcntl(fd, F_FULLFSYNC) != -1) return true;
  return fsync(fd) == 0;
}

void startWriteback(int, long long, long long) {}  // no such hint here; the full flush does it all

std::vector<std::string> folderPickerCommands() {
  return {"osascript -e 'try' -e 'POSIX path of (choose folder with prompt \"Where is X-Plane 12?\")' "
          "-e 'end try' 2>/dev/null"};
}

const char* xplaneExecutable() { return "X-Plane.app/Contents/MacOS/X-Plane"; }
const char* pluginArchFolder() { return "mac_x64"; }
const char* launcherProductWord() { return "xplane-launcher-mac"; }

bool looksLikeOwnExecutable(const unsigned char* head, std::size_t n) {
  if (n < 4) return false;
  uint32_t le, be;
  std::memcpy(&le, head, 4);
  be = (uint32_t(head[0]) << 24) | (uint32_t(head[1]) << 16) | (uint32_t(head[2]) << 8) | head[3];
  for (uint32_t m : {le, be})
    if (m == MH_MAGIC || m == MH_MAGIC_64 || m == MH_CIGAM || m == MH_CIGAM_64 || m == FAT_MAGIC ||
        m == FAT_CIGAM)
      return true;
  return false;
}

std::string installRecordPath(const std::string& home) {
  return home + "/Library/Preferences/x-plane_install_12.txt";
}

std::vector<std::string> steamRoots(const std::string& home) {
  return {home + "/Library/Application Support/Steam"};
}

}  // namespace orvl::platform
