#include "tests/support/devserver.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace testutil {
namespace {

int connectLoopback(int port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Percent-encodes a query value.
std::string enc(const std::string& s) {
  static const char* kHex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if (isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace

DevServer::DevServer(const std::string& fixtures, const std::vector<std::string>& args) {
  int pipefd[2];
  if (pipe2(pipefd, O_CLOEXEC) != 0) return;
  const std::string exe = ORVL_BINARY_DIR "/orvane-devserver";
  std::vector<std::string> argvS{exe, fixtures};
  argvS.insert(argvS.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& s : argvS) argv.push_back(s.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, pipefd[1], STDOUT_FILENO);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, exe.c_str(), &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  close(pipefd[1]);
  if (rc != 0) {
    close(pipefd[0]);
    return;
  }
  pid_ = pid;

  // The first line is the port; give the server 10 s to print it.
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    pollfd p{pipefd[0], POLLIN, 0};
    if (poll(&p, 1, 200) <= 0) continue;
    char buf[64];
    ssize_t n = read(pipefd[0], buf, sizeof buf);
    if (n <= 0) break;
    line.append(buf, static_cast<size_t>(n));
  }
  close(pipefd[0]);
  int port = std::atoi(line.c_str());
  if (line.find('\n') != std::string::npos && port > 0) port_ = port;
}

DevServer::~DevServer() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
}

std::string DevServer::control(const std::string& target) {
  if (port_ <= 0) return "";
  int fd = connectLoopback(port_);
  if (fd < 0) return "";
  timeval tv{10, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  const std::string req = "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
  if (send(fd, req.data(), req.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(req.size())) {
    close(fd);
    return "";
  }
  std::string resp;
  char buf[4096];
  ssize_t n;
  while ((n = recv(fd, buf, sizeof buf, 0)) > 0) resp.append(buf, static_cast<size_t>(n));
  close(fd);
  size_t sep = resp.find("\r\n\r\n");
  if (resp.rfind("HTTP/1.", 0) != 0 || resp.compare(9, 3, "200") != 0 || sep == std::string::npos)
    return "";
  return resp.substr(sep + 4);
}

bool DevServer::fault(const std::string& path, const std::string& kind, long value) {
  std::string t = "/_fault?path=" + enc(path) + "&kind=" + enc(kind);
  if (value >= 0) t += "&value=" + std::to_string(value);
  return control(t) == "ok";
}

bool DevServer::reset() { return control("/_reset") == "ok"; }

int DevServer::count(const std::string& path) {
  const std::string s = control("/_count?path=" + enc(path));
  return s.empty() ? -1 : std::atoi(s.c_str());
}

std::string DevServer::last() { return control("/_last"); }

int unusedPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = -1;
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  close(fd);
  return port;
}

}  // namespace testutil
