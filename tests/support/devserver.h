// Runs the development server (orvane-devserver) for one test: spawned on a
// fixture folder, its port read from its first output line, killed and waited
// for on destruction. Control requests go over a plain socket, not through the
// HTTP client under test.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace testutil {

class DevServer {
 public:
  // `fixtures`: the folder served (layout described in tools/devserver.cpp).
  // `args`: extra command-line arguments, e.g. {"--fault", "/api/version", "status:500"}.
  explicit DevServer(const std::string& fixtures, const std::vector<std::string>& args = {});
  ~DevServer();
  DevServer(const DevServer&) = delete;
  DevServer& operator=(const DevServer&) = delete;

  bool ok() const { return port_ > 0; }
  int port() const { return port_; }

  // Switch a fault on for one request path (kinds in tools/devserver.cpp).
  bool fault(const std::string& path, const std::string& kind, long value = -1);
  // Clear faults, request counts and the last request.
  bool reset();
  // Requests the server saw for `path` (the path without its query); -1 on error.
  int count(const std::string& path);
  // The last request as the server recorded it (JSON text: path, target, headers).
  std::string last();

  // GET `target` over a fresh HTTP/1.0 connection; the body, or empty on error.
  std::string control(const std::string& target);

 private:
  pid_t pid_ = -1;
  int port_ = -1;
};

// A loopback port on which nothing listens (bound once by us, then released).
int unusedPort();

}  // namespace testutil
