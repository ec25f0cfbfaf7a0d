// The launcher's command line: "--root" folder and "--host" host[:port].
#pragma once
#include <string>

struct CommandLine {
  std::string root;  // as given, unchecked
  std::string host;
  int port = 443;
};

// Reads argv into `cl`, which carries the defaults in. Options take the next
// argument as their value; an option in the last position is ignored, and a
// value is itself examined as a possible option.
void parseCommandLine(int argc, const char* const* argv, CommandLine& cl);
