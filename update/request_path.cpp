#include "update/request_path.h"

#include "net/net.h"

namespace orvl {
namespace {

std::string lowered(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// The host named by an authority ("user@host:port"), lowered.
std::string authorityHost(std::string authority) {
  const size_t at = authority.rfind('@');
  if (at != std::string::npos) authority.erase(0, at + 1);
  const size_t colon = authority.find(':');
  if (colon != std::string::npos) authority.erase(colon);
  return lowered(authority);
}

}  // namespace

bool releaseRequestPath(const std::string& url, std::string& path) {
  path.clear();
  if (url.compare(0, 4, "http") != 0) {
    path = url;
    return true;
  }
  const size_t scheme = url.find("://");
  const size_t hostStart = scheme == std::string::npos ? 2 : scheme + 3;
  const size_t slash = url.find('/', hostStart);
  if (slash == std::string::npos) return false;
  // The URL's host itself must be the publisher's server: a URL that only
  // mentions the name elsewhere (a longer host, a path or query) is another host.
  if (authorityHost(url.substr(hostStart, slash - hostStart)) != lowered(kDefaultHost)) return false;
  path = url.substr(slash);
  return true;
}

}  // namespace orvl
