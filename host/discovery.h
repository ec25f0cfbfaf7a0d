// Finding the X-Plane 12 folder (the root): beside the launcher, the saved
// choice, X-Plane's install record, the Steam libraries; and the system folder
// picker. Roots are in folder form ("/" separators, trailing "/"); empty means
// not found. Nothing here throws or reports errors except the picker's
// no-picker message.
#pragma once
#include <string>
#include <vector>

namespace orvl {

// The root handed in (`given`, from the command line) when not empty, else the
// first place that looks like X-Plane. Clears and refills findRootProbed().
std::string findRoot(const std::string& given);

// findRoot with the launcher's folder passed in: findRoot(given) is
// findRootFrom(given, exeDir()). `launcherDir` has no trailing "/".
std::string findRootFrom(const std::string& given, const std::string& launcherDir);

// One line per place the last findRoot looked at, in order.
std::vector<std::string>& findRootProbed();

// True when the folder holds one of X-Plane's marks (an empty folder means the
// current directory).
bool looksLikeXPlane(const std::string& folder);

// Folder form of the weakly canonical path; `path` unchanged when that fails.
std::string canonicalRoot(const std::string& path);

// Folders listed in X-Plane's install record, in file order, duplicates kept.
std::vector<std::string> installRecordRoots();

// The Steam roots of this platform and the libraries they list, each once.
std::vector<std::string> steamLibraries();

// Adds an existing Steam root (trailing "/" removed) and the library folders of
// its steamapps/libraryfolders.vdf to `libraries`, skipping texts already there.
void addSteamRoot(std::string steamRoot, std::vector<std::string>& libraries);

// Runs the system folder picker and answers the chosen folder in folder form;
// empty when cancelled (no message) or when no picker is available (then `err`,
// when given, says so). `window` is not used.
std::string browseForRoot(void* window, std::string* err);

}  // namespace orvl
