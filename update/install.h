// Installing or updating the Orvane plugin from a published release.
//
// The package is downloaded into the temporary folder as "Orvane-" + V +
// ".zip", unpacked into "Orvane-" + V + "-stage", and its "Orvane" folder is
// copied over the plugin folder (files the package lacks stay). The installed
// plugin file is first copied to its name + ".bak-" + V. Refuses while X-Plane
// runs from the root or while the scenery is suppressed. Failures are returned
// as lower-case texts in `err`; log lines are written only when `log` is set.
#pragma once
#include <string>

#include "net/net.h"
#include "scenery/log_fn.h"
#include "update/release.h"

namespace orvl {

// The whole installation. `root` in folder form, `pluginDir` without a
// trailing "/". `progress` follows the package download.
bool installPlugin(const std::string& root, const std::string& pluginDir, const std::string& host,
                   int port, const Release& release, const LogFn& log, std::string& err,
                   const net::DownloadProgress& progress = {});

// Download host:port + path into `dest`, streamed to disk under the download
// limits (no whole-transfer limit). An answer under 1024 bytes is refused;
// after any failure no file is left at `dest`.
bool downloadTo(const std::string& host, int port, const std::string& path,
                const std::string& dest, std::string& err,
                const net::DownloadProgress& progress = {});

// Unpack a ZIP archive into `destDir` with the first of "/usr/bin/tar",
// "tar" (search path) and "unzip" that runs and exits with status 0.
bool extractZip(const std::string& archive, const std::string& destDir, std::string& err);

}  // namespace orvl
