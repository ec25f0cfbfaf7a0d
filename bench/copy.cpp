// Prints the time of ftg::copyFile against a plain `cp` of the same file.
// Usage: bench-copy [megabytes] (default 64). Works in the temporary folder.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "scenery/files.h"

namespace {

double secondsOf(const std::function<void()>& f) {
  auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
  const long mb = argc > 1 ? std::atol(argv[1]) : 64;
  std::string dir = (std::filesystem::temp_directory_path() / "orvl-bench-copy").string();
  std::filesystem::create_directories(dir);
  const std::string src = dir + "/src", a = dir + "/a", b = dir + "/b";
  {
    std::ofstream f(src, std::ios::binary | std::ios::trunc);
    std::vector<char> block(1 << 20);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 31 + 7);
    for (long i = 0; i < mb; ++i) f.write(block.data(), static_cast<std::streamsize>(block.size()));
  }
  const std::string cp = "cp '" + src + "' '" + b + "'";
  const std::string cpSync = cp + " && sync '" + b + "'";
  double tCp = secondsOf([&] { (void)std::system(cp.c_str()); });
  double tCpSync = secondsOf([&] { (void)std::system(cpSync.c_str()); });
  bool ok = true;
  double tCopy = secondsOf([&] { ok = ftg::copyFile(src, a); });
  std::printf("file %ld MB: cp %.3f s, cp+sync %.3f s, ftg::copyFile %.3f s (%s); ratio to cp %.2f, to cp+sync %.2f\n",
              mb, tCp, tCpSync, tCopy, ok ? "ok" : "FAILED", tCopy / tCp, tCopy / tCpSync);
  std::filesystem::remove_all(dir);
  return ok ? 0 : 1;
}
