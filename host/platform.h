// The few things that differ between macOS and Linux. One implementation per
// platform (platform_mac.cpp, platform_linux.cpp); everything else is shared.
#pragma once
#include <string>
#include <vector>

namespace orvl::platform {

// Full path of the running executable as the system reports it; empty on failure.
std::string executablePath();

// Executable path of every running process except this one (processes whose
// path cannot be read are left out). Empty when the process table is unreadable.
std::vector<std::string> otherProcessExecutables();

// Flush an open file's data all the way to the storage device.
bool fullFlush(int fd);

// Start writing a range of an open file to the device without waiting for it,
// so that a later full flush has less left to do. Only a hint: it may do nothing.
void startWriteback(int fd, long long offset, long long length);

// Shell command lines of the folder pickers, tried in order; each prints the
// chosen folder on standard output, nothing when cancelled, and exits 127 when
// the picker program is not installed.
std::vector<std::string> folderPickerCommands();

// X-Plane's executable, relative to the X-Plane root.
const char* xplaneExecutable();

// Folder of the plugin's loadable file inside a plugin folder ("mac_x64" / "lin_x64").
const char* pluginArchFolder();

// Product word under which launcher builds for this platform are published.
const char* launcherProductWord();

// True when the first bytes of a downloaded file are an executable of this platform.
bool looksLikeOwnExecutable(const unsigned char* head, std::size_t n);

// X-Plane 12's install record, for a home folder (no trailing "/").
std::string installRecordPath(const std::string& home);

// Steam roots to try, in order, for a home folder.
std::vector<std::string> steamRoots(const std::string& home);

}  // namespace orvl::platform
