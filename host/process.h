// Starting other programs and telling whether X-Plane runs. Nothing here keeps
// state or throws.
#pragma once
#include <string>
#include <vector>

namespace orvl {

// Starts a new copy of the running launcher with `args` after its own path;
// true when the process was created. The child is not waited for.
bool spawnSelf(const std::vector<std::string>& args);

// Runs args[0] (looked up on PATH) with `args`, standard output and error sent
// to /dev/null, and waits for it. True when it started; `code` is then its exit
// status (1 when a signal ended it). False leaves `code` untouched.
bool runQuiet(const std::vector<std::string>& args, int& code);

// True when some other process's executable lies inside the folder `rootLower`
// (folder form; compared without regard to the case of A-Z). An empty root
// matches every other process that has an executable path.
bool simRunning(const std::string& rootLower);

// Starts root + X-Plane's executable detached: not this process's child, the
// root as working directory, a session of its own. True once the intermediate
// child has ended (before X-Plane has started); false with `err` when the
// executable is missing or fork fails.
bool startSim(const std::string& root, std::string& err);

}  // namespace orvl
