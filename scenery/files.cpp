#include "scenery/files.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "host/platform.h"

namespace ftg {

namespace {

const char* const kManifestName = "/ftg_manifest.json";

void removeQuietly(const std::string& path) { std::remove(path.c_str()); }

// Write all of `n` bytes, riding out short writes and signals.
bool writeAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

// Stream `in` into `out`; false on a read error (told apart from the end) or a write error.
bool pump(int in, int out) {
  std::vector<char> buf;
  try {
    buf.resize(1 << 20);
  } catch (const std::exception&) {
    return false;
  }
  long long written = 0, hinted = 0;
  for (;;) {
    ssize_t r = ::read(in, buf.data(), buf.size());
    if (r == 0) return true;
    if (r < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!writeAll(out, buf.data(), static_cast<size_t>(r))) return false;
    // Hand what is written to the device as we go; the flush then has less to wait for.
    written += r;
    if (written - hinted >= (8LL << 20)) {
      orvl::platform::startWriteback(out, hinted, written - hinted);
      hinted = written;
    }
  }
}

std::string folderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

bool fileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool copyFile(const std::string& source, const std::string& target) {
  const std::string part = target + ".orvane-part";
  struct stat st;
  if (::stat(source.c_str(), &st) != 0) return false;
  const off_t wanted = st.st_size;

  int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  int out = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (out < 0) {
    ::close(in);
    return false;
  }
  // From here until the rename, the target is untouched and the part file is
  // the only thing to clean up.
  bool ok = pump(in, out);
  ::close(in);
  if (::close(out) != 0) ok = false;
  if (!ok) {
    removeQuietly(part);
    return false;
  }
  struct stat pst;
  if (::stat(part.c_str(), &pst) != 0 || pst.st_size != wanted) {
    removeQuietly(part);
    return false;
  }
  if (!syncFile(part)) {
    removeQuietly(part);
    return false;
  }
  // The complete, flushed copy now takes the target's place in one step.
  if (!replaceFile(part, target)) {
    removeQuietly(part);
    return false;
  }
  return true;
}

bool syncFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = orvl::platform::fullFlush(fd) || ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool syncFolder(const std::string& path) {
  int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool replaceFile(const std::string& source, const std::string& target) {
  if (::rename(source.c_str(), target.c_str()) != 0) return false;
  // The rename has landed; flushing the folder makes it survive a power cut.
  // Some file systems refuse to flush a folder, which does not undo the rename.
  syncFolder(target);
  return true;
}

bool writeMark(const std::string& aptDat, int64_t size, int64_t mtime) {
  std::ofstream f(aptDat + ".orvane-cut", std::ios::binary | std::ios::trunc);
  if (!f) return false;
  f << size << ' ' << mtime << '\n';
  f.close();  // a mark cut short by a full disk is a failure, not a success
  return !f.fail();
}

CutMark readCutMark(const std::string& aptDat) {
  CutMark m;
  std::ifstream f(aptDat + ".orvane-cut", std::ios::binary);
  if (!f) return m;
  long long size = 0, mtime = 0;
  if (f >> size) {
    m.size = size;
    if (f >> mtime) {
      m.mtime = mtime;
      m.valid = true;
    }
  }
  return m;
}

bool markSays(const CutMark& mark, const std::string& aptDat) {
  if (!mark.valid) return false;
  struct stat st;
  if (::stat(aptDat.c_str(), &st) != 0) return false;
  if (mark.size >= 0)
    return static_cast<int64_t>(st.st_size) == mark.size &&
           static_cast<int64_t>(st.st_mtime) == mark.mtime;
  struct stat cut;
  if (::stat((aptDat + ".orvane-cut").c_str(), &cut) != 0) return true;
  return static_cast<int64_t>(st.st_mtime) <= static_cast<int64_t>(cut.st_mtime) + 3600;
}

nlohmann::json loadManifest(const std::string& pluginDir) {
  std::ifstream f(pluginDir + kManifestName, std::ios::binary);
  if (!f) return nlohmann::json::array();
  nlohmann::json value;
  try {
    f >> value;  // one value; whatever follows it is not read
  } catch (const std::exception&) {
    return nlohmann::json::array();
  }
  if (!value.is_array()) return nlohmann::json::array();
  return value;
}

void saveManifest(const std::string& pluginDir, const nlohmann::json& value) {
  std::string text;
  try {
    text = value.dump(1, ' ', false);  // throws on strings that are not UTF-8
  } catch (const std::exception&) {
    return;
  }
  std::ofstream f(pluginDir + kManifestName, std::ios::binary | std::ios::trunc);
  if (f) f << text;
}

std::string rowText(const nlohmann::json& row, const char* key, const std::string& absent) {
  if (!row.is_object()) return absent;
  auto it = row.find(key);
  if (it == row.end() || !it->is_string()) return absent;
  return it->get_ref<const std::string&>();
}

int64_t rowNumber(const nlohmann::json& row, const char* key) {
  if (!row.is_object()) return 0;
  auto it = row.find(key);
  if (it == row.end()) return 0;
  if (it->is_number_unsigned()) {
    auto u = it->get<uint64_t>();
    return u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) ? 0 : static_cast<int64_t>(u);
  }
  if (it->is_number_integer()) return it->get<int64_t>();
  return 0;
}

int dropRows(nlohmann::json& manifest, const std::string& aptDat) {
  if (!manifest.is_array()) return 0;
  nlohmann::json kept = nlohmann::json::array();
  int dropped = 0;
  for (const auto& row : manifest) {
    if (rowText(row, "file") == aptDat)
      ++dropped;
    else
      kept.push_back(row);
  }
  if (dropped > 0) manifest = std::move(kept);
  return dropped;
}

CutMark manifestMark(const std::string& pluginDir, const std::string& aptDat) {
  CutMark m;
  for (const auto& row : loadManifest(pluginDir)) {
    if (!row.is_object() || rowText(row, "file") != aptDat) continue;
    m.size = rowNumber(row, "size");
    m.mtime = rowNumber(row, "mtime");
    m.valid = m.size > 0;
    return m;
  }
  return m;
}

void forgetFile(const std::string& aptDat, const std::string& pluginDir) {
  removeQuietly(aptDat + ".orvane-orig");
  removeQuietly(aptDat + ".orvane-cut");
  nlohmann::json manifest = loadManifest(pluginDir);
  if (dropRows(manifest, aptDat) > 0) saveManifest(pluginDir, manifest);
}

bool staleBackup(const std::string& aptDat) {
  if (!fileExists(aptDat + ".orvane-orig")) return false;
  CutMark m = readCutMark(aptDat);
  return m.valid && !markSays(m, aptDat);
}

std::string staleBackupMsg(const std::string& aptDat) {
  return aptDat + " changed since Orvane cut it (a sim or scenery update?) - the copy at " + aptDat +
         ".orvane-orig is from BEFORE that change. Delete it (or put it back by hand) before suppressing again.";
}

}  // namespace ftg
