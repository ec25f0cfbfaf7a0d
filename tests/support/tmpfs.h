// A small tmpfs mounted on a folder for the life of the object: a full disk or
// a read-only folder that stops root too. Tests skip when mounting is refused.
#pragma once
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

namespace testutil {

class Tmpfs {
 public:
  Tmpfs(const std::string& dir, const std::string& opts) : dir_(dir), opts_(opts) {
    std::filesystem::create_directories(dir);
    if (::mount("tmpfs", dir.c_str(), "tmpfs", 0, opts.c_str()) == 0)
      mounted_ = true;
    else
      why_ = std::strerror(errno);
  }
  ~Tmpfs() {
    if (mounted_ && ::umount(dir_.c_str()) != 0) ::umount2(dir_.c_str(), MNT_DETACH);
  }
  Tmpfs(const Tmpfs&) = delete;
  Tmpfs& operator=(const Tmpfs&) = delete;
  bool mounted() const { return mounted_; }
  const std::string& why() const { return why_; }
  bool makeReadOnly() {
    if (::mount("tmpfs", dir_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, opts_.c_str()) == 0) return true;
    why_ = std::strerror(errno);
    return false;
  }

 private:
  std::string dir_, opts_, why_;
  bool mounted_ = false;
};

}  // namespace testutil
