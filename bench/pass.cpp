// The suppression pass and the restore over a generated large installation,
// against plain copies of the same global airports file.
//
// Usage: bench-pass [megabytes of the global airports file] (default 320) [keep]
// ("keep" leaves the generated folder in place, restored, for a closer look)
//
// Builds, in the temporary folder, an X-Plane folder with ten custom packs
// (half of them with a publisher pick and variants) above a global airports
// file of tens of thousands of airport blocks, geometry for about 1,500 global
// airports and every pack airport, FTG networks for every 10th covered airport,
// and serves it with orvane-devserver. Then it times `cp` and `cp` + `sync` of
// the global file, `orvane-cli suppress` and `orvane-cli restore`, and prints
// each child's peak resident memory. Everything generated is removed at the end.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/paths.h"

extern char** environ;

namespace {

using nlohmann::json;

struct ChildResult {
  int status = -1;
  double seconds = 0;
  long maxRssKb = 0;
};

// Runs argv[0] with its output sent to /dev/null; times it and reads its rusage.
ChildResult runChild(const std::vector<std::string>& args) {
  ChildResult r;
  std::vector<std::string> a = args;
  std::vector<char*> av;
  for (auto& s : a) av.push_back(s.data());
  av.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  const auto t0 = std::chrono::steady_clock::now();
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, av[0], &fa, nullptr, av.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  if (rc != 0) return r;
  int st = 0;
  struct rusage ru {};
  wait4(pid, &st, 0, &ru);
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.maxRssKb = ru.ru_maxrss;
  return r;
}

void syncAll() { ::sync(); }

std::string f8(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.8f", v);
  return b;
}

double nodeLon(double lon0, int i) { return lon0 + 0.0008 * i; }

json bar(double lat, double lon0, int seg) {
  const double mid = nodeLon(lon0, seg) + 0.0004;
  return json::array({json::array({lat - 0.0001, mid}), json::array({lat + 0.0001, mid})});
}

json net(double lat, double lon0, int seg, const std::string& geom, const std::string& rev) {
  return {{"available", true},
          {"geom", geom},
          {"pubRev", rev},
          {"nodes", {{"a", {lat, nodeLon(lon0, seg)}}, {"b", {lat, nodeLon(lon0, seg + 1)}}}},
          {"edges", json::array({{{"a", "a"}, {"b", "b"}}})}};
}

// One airport block of about 7 KB: header rows, a lit taxiway edge of eight
// nodes and an apron outline of 180 nodes.
void writeBlock(std::string& out, const std::string& id, double lat, double lon0) {
  out += "1 100 0 0 " + id + " Generated field " + id + "\n";
  out += "1302 icao_code " + id + "\n1302 city Benchville\n1302 country Nowhere\n";
  out += "100 45.00 1 0 0.25 1 3 1 09 " + f8(lat - 0.01) + " " + f8(lon0) + " 0 0 3 0 1 0 27 " + f8(lat - 0.01) +
         " " + f8(lon0 + 0.03) + " 0 0 3 0 1 0\n";
  out += "120 Taxiway edge " + id + "\n";
  for (int i = 0; i < 8; ++i)
    out += std::string(i == 7 ? "115 " : "111 ") + f8(lat) + " " + f8(nodeLon(lon0, i)) + " 3 102 101\n";
  out += "110 1 0.25 0.00 Apron " + id + "\n";
  for (int k = 0; k < 180; ++k) out += "111 " + f8(lat + 0.002 + k * 1e-5) + " " + f8(lon0 + k * 1e-5) + "\n";
  out += "113 " + f8(lat + 0.004) + " " + f8(lon0) + "\n";
  out += "1201 " + f8(lat) + " " + f8(lon0) + " both 1 A_start\n";
}

}  // namespace

int main(int argc, char** argv) {
  const long mb = argc > 1 ? std::atol(argv[1]) : 320;
  const std::string self = orvl::exeDir();
  const std::string cli = self + "/orvane-cli", devserver = self + "/orvane-devserver";
  const std::string base = (std::filesystem::temp_directory_path() / "orvl-bench-pass").string();
  std::filesystem::remove_all(base);
  const std::string root = base + "/X-Plane 12/", plugin = root + "Resources/plugins/Orvane";
  const std::string fixtures = base + "/server";
  const std::string global = root + "Global Scenery/Global Airports/Earth nav data/apt.dat";
  std::filesystem::create_directories(plugin + "/resources");
  std::filesystem::create_directories(fixtures + "/ftg");
  std::filesystem::create_directories(std::filesystem::path(global).parent_path());
  std::ofstream(root + "Resources/version.txt") << "12.1.0\n";

  json airports = json::object(), ftgList = json::array(), picks = json::object();
  int networks = 0;
  auto addNet = [&](const std::string& id, const std::string& publisher, const json& doc) {
    json e = {{"platform", "xplane"}, {"icao", id}};
    if (!publisher.empty()) e["publisher"] = publisher;
    ftgList.push_back(e);
    std::ofstream(fixtures + "/ftg/" + id + (publisher.empty() ? "" : "@" + publisher) + ".json") << doc.dump();
    ++networks;
  };

  // Ten custom packs of 40 airports each; the even ones with a publisher pick.
  std::string packs = "I\n1000 Version\nSCENERY\n\n";
  for (int p = 0; p < 10; ++p) {
    const std::string name = "Bench Pack " + std::to_string(p);
    const std::string publisher = p % 2 == 0 ? "Publisher " + std::to_string(p) : "";
    if (!publisher.empty()) picks["benchpack" + std::to_string(p)] = publisher;
    packs += "SCENERY_PACK Custom Scenery/" + name + "/\n";
    std::string text = "I\n1100 Version\n\n";
    for (int i = 0; i < 40; ++i) {
      const std::string id = "P" + std::to_string(p) + "A" + std::to_string(i);
      const double lat = 10 + p, lon0 = -120 + i * 0.1;
      writeBlock(text, id, lat, lon0);
      json a = {{"bars", json::array({bar(lat, lon0, i % 7)})}};
      if (!publisher.empty()) {
        a["variants"] = {{publisher, {{"bars", json::array({bar(lat, lon0, (i + 3) % 7)})}}}};
        if (i % 10 == 0) addNet(id, publisher, net(lat, lon0, (i + 5) % 7, "publisher", "pr" + id));
      }
      airports[id] = a;
    }
    text += "99\n";
    const std::string path = root + "Custom Scenery/" + name + "/Earth nav data/apt.dat";
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  packs += "SCENERY_PACK *GLOBAL_AIRPORTS*\n";
  std::ofstream(root + "Custom Scenery/scenery_packs.ini") << packs;
  std::ofstream(plugin + "/resources/publishers.json") << picks.dump();

  // The global airports file, streamed out block by block.
  // About 1,500 covered global airports whatever the size, so that memory
  // figures of different sizes compare like with like.
  long blocks = 0;
  const long blockBytes = 7300;  // what writeBlock makes, roughly
  const long coverEvery = std::max(1L, (mb << 20) / blockBytes / 1500);
  {
    std::ofstream g(global, std::ios::binary | std::ios::trunc);
    std::string buf = "I\n1200 Version - generated\n\n";
    long long written = 0;
    const long long want = static_cast<long long>(mb) << 20;
    for (; written + static_cast<long long>(buf.size()) < want; ++blocks) {
      const std::string id = "G" + std::to_string(blocks);
      const double lat = -60 + (blocks / 400) * 0.05, lon0 = -170 + (blocks % 400) * 0.8;
      writeBlock(buf, id, lat, lon0);
      if (blocks % coverEvery == 0) {
        airports[id] = {{"bars", json::array({bar(lat, lon0, blocks % 7)})}};
        if (blocks % (coverEvery * 10) == 0) addNet(id, "", net(lat, lon0, (blocks + 2) % 7, "canonical", "c" + id));
      }
      if (buf.size() > (1u << 20)) {
        g.write(buf.data(), static_cast<std::streamsize>(buf.size()));
        written += static_cast<long long>(buf.size());
        buf.clear();
      }
    }
    buf += "99\n";
    g.write(buf.data(), static_cast<std::streamsize>(buf.size()));
    if (!g) {
      std::fprintf(stderr, "bench-pass: could not write %s\n", global.c_str());
      std::filesystem::remove_all(base);
      return 1;
    }
  }
  std::ofstream(fixtures + "/geometry.json") << json({{"rev", "bench"}, {"airports", airports}}).dump();
  std::ofstream(fixtures + "/ftg/airports.json") << json({{"airports", ftgList}}).dump();
  const double fileMb = static_cast<double>(std::filesystem::file_size(global)) / (1 << 20);

  // The development server on the fixtures.
  int fds[2];
  if (pipe(fds) != 0) return 1;
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
  posix_spawn_file_actions_addclose(&fa, fds[0]);
  std::string a0 = devserver, a1 = fixtures;
  char* sav[] = {a0.data(), a1.data(), nullptr};
  pid_t server = -1;
  const int src = posix_spawn(&server, a0.c_str(), &fa, nullptr, sav, environ);
  posix_spawn_file_actions_destroy(&fa);
  close(fds[1]);
  std::string portLine;
  char c;
  while (src == 0 && read(fds[0], &c, 1) == 1 && c != '\n') portLine += c;
  const int port = std::atoi(portLine.c_str());
  if (src != 0 || port <= 0) {
    std::fprintf(stderr, "bench-pass: could not start %s\n", devserver.c_str());
    std::filesystem::remove_all(base);
    return 1;
  }

  const std::string copy = base + "/cp-copy";
  syncAll();
  const ChildResult cp = runChild({"cp", global, copy});
  std::filesystem::remove(copy);
  syncAll();
  const ChildResult cpSync = runChild({"sh", "-c", "cp \"$0\" \"$1\" && sync \"$1\"", global, copy});
  syncAll();  // the copy stays, to compare with the restored file

  const std::string host = "127.0.0.1:" + std::to_string(port);
  const ChildResult pass = runChild({cli, "suppress", "--root", root, "--host", host});
  syncAll();
  const ChildResult restore = runChild({cli, "restore", "--root", root});
  syncAll();
  const ChildResult same = runChild({"cmp", "-s", global, copy});
  const bool backupGone = !std::filesystem::exists(global + ".orvane-orig");

  kill(server, SIGTERM);
  waitpid(server, nullptr, 0);
  close(fds[0]);

  std::printf("global apt.dat %.1f MB, %ld airport blocks; geometry %zu airports, %d FTG networks\n", fileMb,
              blocks, airports.size(), networks);
  std::printf("cp          %7.3f s   cp+sync %7.3f s\n", cp.seconds, cpSync.seconds);
  std::printf("pass        %7.3f s   %s   %.2f x two cp, %.2f x two cp+sync   peak RSS %.1f MB\n", pass.seconds,
              pass.status == 0 ? "ok" : "FAILED", pass.seconds / (2 * cp.seconds),
              pass.seconds / (2 * cpSync.seconds), pass.maxRssKb / 1024.0);
  std::printf("restore     %7.3f s   %s   %.2f x one cp, %.2f x one cp+sync   peak RSS %.1f MB\n", restore.seconds,
              restore.status == 0 ? "ok" : "FAILED", restore.seconds / cp.seconds, restore.seconds / cpSync.seconds,
              restore.maxRssKb / 1024.0);
  std::printf("after the restore: global file %s the original, backup %s\n",
              same.status == 0 ? "is byte for byte" : "DIFFERS FROM", backupGone ? "gone" : "STILL THERE");
  if (argc > 2 && std::string(argv[2]) == "keep")
    std::printf("left in place: %s\n", base.c_str());
  else
    std::filesystem::remove_all(base);
  return pass.status == 0 && restore.status == 0 && same.status == 0 ? 0 : 1;
}
