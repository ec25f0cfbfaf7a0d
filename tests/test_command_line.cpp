#include <gtest/gtest.h>

#include <vector>

#include "app/command_line.h"

namespace {
CommandLine parse(std::vector<const char*> args) {
  args.insert(args.begin(), "orvane-launcher");
  CommandLine cl;
  cl.host = "default.invalid";
  parseCommandLine(static_cast<int>(args.size()), args.data(), cl);
  return cl;
}
}  // namespace

TEST(CommandLine, HostAndPortForms) {
  struct Case {
    std::vector<const char*> args;
    const char* host;
    int port;
  } cases[] = {
      {{}, "default.invalid", 443},
      {{"--host"}, "default.invalid", 443},                      // single argument: not examined
      {{"--root", "/x", "--host"}, "default.invalid", 443},       // option in last place ignored
      {{"--host", "example.test"}, "example.test", 443},
      {{"--host", "127.0.0.1:8080"}, "127.0.0.1", 8080},
      {{"--host", "a:8080", "--host", "b"}, "b", 8080},          // port of the first stays
      {{"--host", "a:"}, "a", 443},                              // port 0 -> 443
      {{"--host", ":9000"}, "default.invalid", 9000},            // host kept, port set
      {{"--host", "::1"}, "::1", 443},                           // two colons: host as a whole
      {{"--host", "a:8080", "--host", "fe80::1:2"}, "fe80::1:2", 8080},
      {{"--host", "12345"}, "12345", 443},                       // digits only: a host
      {{"--host", "a:70000"}, "a", 443},                         // above 65535 -> 443
      {{"--host", "a:-5"}, "a", 443},
      {{"--host", "a: 81x"}, "a", 81},                           // blanks, digits up to a non-digit
      {{"--host", "a:99999999999999999999"}, "a", 443},
  };
  for (const Case& c : cases) {
    CommandLine cl = parse(c.args);
    std::string what;
    for (const char* a : c.args) what += std::string(a) + " ";
    EXPECT_EQ(cl.host, c.host) << what;
    EXPECT_EQ(cl.port, c.port) << what;
  }
}

TEST(CommandLine, RootAndValuesExaminedAsOptions) {
  EXPECT_EQ(parse({"--root", "/data/X-Plane 12"}).root, "/data/X-Plane 12");
  EXPECT_EQ(parse({"--root", ""}).root, "");
  // The value of --root is itself looked at: "--root --host h" sets root to
  // "--host" and then reads --host h as well.
  CommandLine cl = parse({"--root", "--host", "h.test"});
  EXPECT_EQ(cl.root, "--host");
  EXPECT_EQ(cl.host, "h.test");
  EXPECT_EQ(parse({"--ROOT", "/x"}).root, "");  // case-sensitive
}
