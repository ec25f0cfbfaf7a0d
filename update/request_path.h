// Where on the configured server a published release is fetched from.
//
// A release's url is either an absolute URL on the publisher's server or a
// path on it. The request always goes to the configured host and port; only
// the path (and query) of the URL is kept.
#pragma once
#include <string>

namespace orvl {

// The request path for a release url: an absolute "http..." URL must name
// kDefaultHost as its host (any letter case, an optional ":port") and have a
// "/" after the host, and gives the URL from that "/" on, query included;
// anything else is used unchanged (an empty url gives an empty path).
// False when an absolute URL is refused; `path` is then left empty.
bool releaseRequestPath(const std::string& url, std::string& path);

}  // namespace orvl
