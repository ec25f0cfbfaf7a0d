#include "update/self_swap.h"

#include <errno.h>
#include <sys/stat.h>

#include <system_error>

#include "scenery/files.h"

namespace orvl {
namespace {

std::string systemText(int e) { return std::system_category().message(e); }

}  // namespace

bool swapInNew(const std::string& ownPath, std::string& err, const SwapCalls& calls) {
  const std::string fresh = ownPath + ".new";
  const std::string old = ownPath + ".old";

  // State 1: the new build complete, executable for everyone, on the device.
  struct stat st{};
  if (::stat(fresh.c_str(), &st) == 0) ::chmod(fresh.c_str(), (st.st_mode & 07777) | 0111);
  ftg::syncFile(fresh);

  // State 2: the old build also under ".old".
  const bool linked = calls.link(ownPath.c_str(), old.c_str()) == 0;
  if (!linked && calls.rename(ownPath.c_str(), old.c_str()) != 0) {
    const int e = errno;
    std::remove(fresh.c_str());
    err = "could not move the running launcher aside: " + systemText(e);
    return false;
  }

  // State 3: the new build at the own path.
  if (calls.rename(fresh.c_str(), ownPath.c_str()) != 0) {
    const int e = errno;
    if (linked)
      std::remove(old.c_str());  // ownPath never stopped being the old build
    else
      calls.rename(old.c_str(), ownPath.c_str());  // if this fails too, nothing more is tried
    std::remove(fresh.c_str());
    err = "could not put the new launcher in place: " + systemText(e);
    return false;
  }
  ftg::syncFolder(ownPath);
  return true;
}

}  // namespace orvl
