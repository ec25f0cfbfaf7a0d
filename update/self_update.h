// The launcher's update of its own executable.
//
// A newer published build (product word of this platform, version above
// kLauncherVersion) is downloaded to the own path + ".new", checked (at least
// 100000 bytes, this platform's executable signature) and swapped in; the old
// build stays as own path + ".old" until the next start sweeps it. The own
// path never goes missing: the old build is kept aside by a hard link and the
// new one renamed over the own path in one step (a rename aside is the
// fallback where hard links are impossible). The running launcher goes on
// running; the new build takes effect at the next start.
#pragma once
#include <string>

#include "net/net.h"
#include "scenery/log_fn.h"

namespace orvl {

// False on an error (`err` set); true when the launcher is current or was
// updated, `updated` telling which. `progress` follows the build's download.
bool selfUpdate(const std::string& host, int port, const LogFn& log, bool& updated,
                std::string& err, const net::DownloadProgress& progress = {});

// Put `bytes` in place of the own executable, keeping the old one as ".old".
bool replaceSelf(const std::string& bytes, std::string& err);

// The same two acting on `ownPath` instead of orvl::selfPath() (for tests;
// an empty path is refused as "could not find my own path").
bool selfUpdateAt(const std::string& ownPath, const std::string& host, int port, const LogFn& log,
                  bool& updated, std::string& err, const net::DownloadProgress& progress = {});
bool replaceSelfAt(const std::string& ownPath, const std::string& bytes, std::string& err);

}  // namespace orvl
