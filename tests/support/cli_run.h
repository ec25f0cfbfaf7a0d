// Runs the command-line tool (orvane-cli of the build folder) for a test.
#pragma once
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace testutil {

struct CliRun {
  int status = -1;
  std::vector<std::string> lines;
};

// Runs orvane-cli with HOME in `home`; standard output split into lines.
inline CliRun cli(const std::vector<std::string>& args, const std::string& home) {
  CliRun run;
  int fds[2];
  if (pipe(fds) != 0) return run;
  std::vector<std::string> argv{ORVL_BINARY_DIR "/orvane-cli"};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> av;
  for (auto& a : argv) av.push_back(a.data());
  av.push_back(nullptr);
  std::vector<std::string> env{"HOME=" + home, "PATH=/usr/bin:/bin"};
  std::vector<char*> ev;
  for (auto& e : env) ev.push_back(e.data());
  ev.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
  posix_spawn_file_actions_addclose(&fa, fds[0]);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, av[0], &fa, nullptr, av.data(), ev.data());
  posix_spawn_file_actions_destroy(&fa);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    return run;
  }
  std::string out;
  char buf[4096];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  int st = 0;
  waitpid(pid, &st, 0);
  run.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  for (size_t at = 0; at < out.size();) {
    size_t nl = out.find('\n', at);
    if (nl == std::string::npos) nl = out.size();
    run.lines.push_back(out.substr(at, nl - at));
    at = nl + 1;
  }
  return run;
}

}  // namespace testutil
