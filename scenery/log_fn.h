// The log callback that long scenery operations take: one message line per call.
// An empty callback means "write nothing".
#pragma once
#include <functional>
#include <string>

namespace orvl {

using LogFn = std::function<void(const std::string&)>;

}  // namespace orvl
