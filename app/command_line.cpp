#include "app/command_line.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {
// Leading blanks, an optional sign, then digits up to the first other character;
// 0 without digits. Values beyond int saturate (they are out of port range anyway).
int readDecimal(const std::string& s) {
  errno = 0;
  long long v = std::strtoll(s.c_str(), nullptr, 10);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}
}  // namespace

void parseCommandLine(int argc, const char* const* argv, CommandLine& cl) {
  if (argc < 3) return;
  for (int i = 1; i <= argc - 2; ++i) {
    const std::string opt = argv[i];
    const std::string v = argv[i + 1];
    if (opt == "--root") {
      if (!v.empty()) cl.root = v;
    } else if (opt == "--host") {
      std::string hostPart = v;
      size_t last = v.rfind(':');
      if (last != std::string::npos && last == v.find(':')) {
        cl.port = readDecimal(v.substr(last + 1));
        hostPart = v.substr(0, last);
      }
      if (!hostPart.empty()) cl.host = hostPart;
      if (cl.port < 1 || cl.port > 65535) cl.port = 443;
    }
  }
}
