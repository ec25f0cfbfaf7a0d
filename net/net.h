// The launcher's only road to the publisher's server.
#pragma once
#include <string>

namespace orvl {
// Built-in server host, used unless --host says otherwise. A reserved name that
// can never reach a real server, so nothing leaves the machine by accident.
inline constexpr const char* kDefaultHost = "updates.orvane.invalid";
inline constexpr int kDefaultPort = 443;
}  // namespace orvl

namespace net {

// GET host:port + path into `body`. True when the transfer completed with a 2xx
// status. https on port 443, plain http on any other port; 4 s whole-transfer limit.
bool get(const std::string& host, int port, const std::string& path, std::string& body,
         const std::string& token);

}  // namespace net
