// The launcher's only road to the publisher's server.
//
// One libcurl easy handle serves the whole process, one request at a time; its
// connection cache keeps the server connection open between requests. Nothing
// here logs or words an error for the user: callers do that.
#pragma once
#include <functional>
#include <string>

namespace orvl {
// Built-in server host, used unless --host says otherwise. A reserved name that
// can never reach a real server, so nothing leaves the machine by accident.
inline constexpr const char* kDefaultHost = "updates.orvane.invalid";
inline constexpr int kDefaultPort = 443;
}  // namespace orvl

namespace net {

// "https://" + host + path on port 443; "http://" + host + path on port 80;
// "http://" + host + ":" + port + path on any other port. The path is used as
// given (query values are the caller's to encode).
std::string url(const std::string& host, int port, const std::string& path);

// GET host:port + path into `body`. True when the transfer completed with a 2xx
// status. https on port 443, plain http on any other port; 4 s whole-transfer limit.
// A transport failure is retried once on a fresh connection; an answer never is.
// A non-empty token is sent as "Authorization: Bearer <token>".
bool get(const std::string& host, int port, const std::string& path, std::string& body,
         const std::string& token);

// Limits of a download. There is no limit on the whole transfer: a download runs
// as long as it keeps moving at least lowSpeedBytes per second, judged over
// lowSpeedSeconds.
struct DownloadLimits {
  long connectSeconds = 2;
  long lowSpeedBytes = 1024;
  long lowSpeedSeconds = 20;
};

// Called as data arrives: bytes written so far, and the announced size or -1
// when the server did not announce one.
using DownloadProgress = std::function<void(long long soFar, long long total)>;

// GET host:port + path straight into `destFile` (replaced), written as it arrives.
// Same URL rule, handle and lock as `get`; redirects are not followed and only a
// 2xx answer counts. A transport failure before any byte of the body arrived is
// retried once on a fresh connection. On failure `err` says what went wrong and
// no partial file is left at `destFile`:
//   "could not write " + destFile          the file could not be created or written
//   "download failed: " + host + path      no 2xx answer, or the transfer broke off
bool download(const std::string& host, int port, const std::string& path,
              const std::string& destFile, const DownloadProgress& progress, std::string& err,
              const DownloadLimits& limits = DownloadLimits());

}  // namespace net
