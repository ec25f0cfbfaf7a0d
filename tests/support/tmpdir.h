// Small helpers for tests that work on real files in a temporary folder.
#pragma once
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace testutil {

// A fresh folder under the temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "orvl-test-XXXXXX").string();
    path_ = mkdtemp(tmpl.data()) ? tmpl : std::string();
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // The folder, without a trailing "/".
  const std::string& path() const { return path_; }
  // The folder in folder form (trailing "/"), plus an optional relative name.
  std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

 private:
  std::string path_;
};

inline void writeFile(const std::string& path, const std::string& content) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << content;
}

inline std::string readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

inline bool exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

}  // namespace testutil
