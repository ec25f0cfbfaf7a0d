#include "scenery/rewrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "aptdat/coverage_index.h"
#include "aptdat/rows.h"
#include "host/platform.h"

namespace ftg {

namespace {

constexpr size_t kChunk = 1 << 20;  // read and write in 1 MB pieces

int64_t g_failReadsAfter = -1;

// Reads a file in large chunks and hands out its lines ("\n" not included).
// A read error is kept apart from the end of the file.
class LineReader {
 public:
  explicit LineReader(int fd) : fd_(fd) {}
  bool init() {
    try {
      buf_.reset(new char[kChunk]);
    } catch (const std::exception&) {
      return false;
    }
    return true;
  }

  // The next line in (p, n), valid until the next call. False at the end of
  // the input or on a read error (then failed() is true).
  bool next(const char*& p, size_t& n) {
    if (carryOut_) {
      carry_.clear();
      carryOut_ = false;
    }
    for (;;) {
      if (pos_ < len_) {
        const char* s = buf_.get() + pos_;
        const size_t avail = len_ - pos_;
        const char* nl = static_cast<const char*>(std::memchr(s, '\n', avail));
        if (nl) {
          const size_t k = static_cast<size_t>(nl - s);
          pos_ += k + 1;
          if (carry_.empty()) {
            p = s;
            n = k;
            return true;
          }
          carry_.append(s, k);
          return handOutCarry(p, n);
        }
        carry_.append(s, avail);
        pos_ = len_;
      }
      if (eof_ || failed_) {
        if (!carry_.empty() && !failed_) return handOutCarry(p, n);
        return false;
      }
      fill();
    }
  }

  bool failed() const { return failed_; }
  int64_t bytesRead() const { return total_; }

 private:
  bool handOutCarry(const char*& p, size_t& n) {
    p = carry_.data();
    n = carry_.size();
    carryOut_ = true;
    return true;
  }

  void fill() {
    pos_ = len_ = 0;
    size_t want = kChunk;
    if (g_failReadsAfter >= 0) {
      if (total_ >= g_failReadsAfter) {
        failed_ = true;
        return;
      }
      want = std::min<size_t>(want, static_cast<size_t>(g_failReadsAfter - total_));
    }
    for (;;) {
      ssize_t r = ::read(fd_, buf_.get(), want);
      if (r < 0 && errno == EINTR) continue;
      if (r < 0) {
        failed_ = true;
      } else if (r == 0) {
        eof_ = true;
      } else {
        len_ = static_cast<size_t>(r);
        total_ += r;
      }
      return;
    }
  }

  int fd_;
  std::unique_ptr<char[]> buf_;
  size_t pos_ = 0, len_ = 0;
  std::string carry_;  // a line that spans two chunks
  bool carryOut_ = false;
  bool eof_ = false, failed_ = false;
  int64_t total_ = 0;
};

// The output of a rewrite: a buffer written out in large pieces. The open
// airport block lives at the buffer's tail (from `blockStart`), so a block that
// nobody changes is copied once, not twice; only the part before an open block
// is ever written out.
class Output {
 public:
  explicit Output(int fd) : fd_(fd) {}
  bool init() {
    try {
      buf_.reserve(2 * kChunk);
    } catch (const std::exception&) {
      return false;
    }
    return true;
  }

  void line(const char* p, size_t n) {
    buf_.append(p, n);
    buf_.push_back('\n');
  }

  // Block bookkeeping.
  bool blockOpen() const { return open_; }
  void beginBlock() {
    open_ = true;
    blockStart_ = buf_.size();
    starts_.clear();
  }
  void blockLine(const char* p, size_t n) {
    starts_.push_back(buf_.size() - blockStart_);
    line(p, n);
  }
  size_t blockRows() const { return starts_.size(); }
  // Row i of the open block, without its "\n".
  std::pair<const char*, size_t> blockRow(size_t i) const {
    const size_t begin = blockStart_ + starts_[i];
    const size_t end = (i + 1 < starts_.size() ? blockStart_ + starts_[i + 1] : buf_.size()) - 1;
    return {buf_.data() + begin, end - begin};
  }
  // Ends the open block as it stands, or with `rows` in its place.
  void endBlock(const std::vector<std::string>* rows) {
    if (rows) {
      buf_.resize(blockStart_);
      for (const std::string& r : *rows) line(r.data(), r.size());
    }
    open_ = false;
    maybeFlush();
  }

  void maybeFlush() {
    const size_t ready = open_ ? blockStart_ : buf_.size();
    if (ready < kChunk) return;
    writeAll(buf_.data(), ready);
    buf_.erase(0, ready);
    blockStart_ -= open_ ? ready : 0;
  }
  void flush() {
    writeAll(buf_.data(), buf_.size());
    buf_.clear();
  }
  bool failed() const { return failed_; }

 private:
  void writeAll(const char* p, size_t n) {
    while (n > 0 && !failed_) {
      ssize_t w = ::write(fd_, p, n);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        failed_ = true;
        return;
      }
      p += w;
      n -= static_cast<size_t>(w);
      written_ += w;
    }
    // Let the device take what is written while the rest is still being
    // made, so that the final flush does not start from nothing.
    if (written_ - hinted_ >= kWritebackStep) {
      orvl::platform::startWriteback(fd_, hinted_, written_ - hinted_);
      hinted_ = written_;
    }
  }

  static constexpr long long kWritebackStep = 8LL << 20;
  int fd_;
  long long written_ = 0, hinted_ = 0;
  std::string buf_;
  bool open_ = false;
  size_t blockStart_ = 0;
  std::vector<size_t> starts_;  // offsets of the open block's rows from blockStart_
  bool failed_ = false;
};

// The row code is the text before the first space (a tab does not end it).
inline bool codeIs1(const char* p, size_t n) { return n >= 1 && p[0] == '1' && (n == 1 || p[1] == ' '); }
inline bool codeIs2(const char* p, size_t n, char a, char b) {
  return n >= 2 && p[0] == a && p[1] == b && (n == 2 || p[2] == ' ');
}
inline bool isHeader(const char* p, size_t n) {
  return n > 0 && p[0] == '1' && (codeIs1(p, n) || codeIs2(p, n, '1', '6') || codeIs2(p, n, '1', '7'));
}
inline bool isEndRow(const char* p, size_t n) { return codeIs2(p, n, '9', '9'); }

bool contains(const char* p, size_t n, const char* what) {
  const size_t k = std::strlen(what);
  for (const char* at = p; n >= k;) {
    const char* hit = static_cast<const char*>(std::memchr(at, what[0], n - k + 1));
    if (!hit) return false;
    if (std::memcmp(hit, what, k) == 0) return true;
    n -= static_cast<size_t>(hit + 1 - at);
    at = hit + 1;
  }
  return false;
}

// Hands the open block to the callback (when it wants it) and ends it.
void closeBlock(Output& out, const BlockFn& onBlock, const WantsFn& wants, bool& changed) {
  if (!out.blockOpen()) return;
  // Only the header and rows beginning with "1302" that mention "icao_code"
  // can name the airport (ftg::blockIcao), so only those become strings.
  std::vector<std::string> idRows;
  for (size_t i = 1; i < out.blockRows(); ++i) {
    const auto [p, n] = out.blockRow(i);
    if (n >= 4 && std::memcmp(p, "1302", 4) == 0 && contains(p, n, "icao_code")) idRows.emplace_back(p, n);
  }
  const auto [hp, hn] = out.blockRow(0);
  const std::string icao = blockIcao(tok(std::string(hp, hn)), idRows);
  if (wants && !wants(icao)) {
    out.endBlock(nullptr);
    return;
  }
  std::vector<std::string> rows;
  rows.reserve(out.blockRows());
  for (size_t i = 0; i < out.blockRows(); ++i) {
    const auto [p, n] = out.blockRow(i);
    rows.emplace_back(p, n);
  }
  if (onBlock(icao, rows)) changed = true;
  out.endBlock(&rows);  // every row as the callback left it
}

// Streams `in` into `out`, block by block. False on a read error.
bool streamBlocks(LineReader& in, Output& out, const BlockFn& onBlock, const WantsFn& wants, bool& changed) {
  const char* p = nullptr;
  size_t n = 0;
  while (in.next(p, n)) {
    if (n > 0 && p[n - 1] == '\r') --n;
    if (isHeader(p, n)) {
      closeBlock(out, onBlock, wants, changed);
      out.beginBlock();
      out.blockLine(p, n);
    } else if (out.blockOpen()) {
      if (isEndRow(p, n)) {
        closeBlock(out, onBlock, wants, changed);
        out.line(p, n);
      } else {
        out.blockLine(p, n);
        out.maybeFlush();
      }
    } else {
      out.line(p, n);
      out.maybeFlush();
    }
  }
  if (in.failed()) return false;
  closeBlock(out, onBlock, wants, changed);
  return true;
}

}  // namespace

void failRewriteReadsAfter(int64_t bytes) { g_failReadsAfter = bytes; }

bool rewriteBlocks(const std::string& path, const BlockFn& onBlock, bool& changed,
                   const WantsFn& wants) {
  changed = false;
  const std::string tmp = path + ".orvane-tmp";
  int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat st;
  if (::fstat(in, &st) != 0) {
    ::close(in);
    return false;
  }
  int outFd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (outFd < 0) {
    ::close(in);
    return false;
  }
  // State "rewriting": F is untouched; the temporary is the only new thing.
  LineReader reader(in);
  Output out(outFd);
  bool readOk = reader.init() && out.init();
  if (readOk) {
    try {
      readOk = streamBlocks(reader, out, onBlock, wants, changed);
    } catch (const std::exception&) {
      readOk = false;  // no memory for a block: nothing may replace F
    }
  }
  // The file must end where its size said it would: a file that shrank or grew
  // while we read it is not the file we meant to rewrite.
  if (readOk && S_ISREG(st.st_mode) && reader.bytesRead() != static_cast<int64_t>(st.st_size))
    readOk = false;
  ::close(in);
  out.flush();
  bool writeOk = !out.failed();
  if (::close(outFd) != 0) writeOk = false;

  if (!readOk || !writeOk) {
    std::remove(tmp.c_str());
    changed = false;
    return false;
  }
  if (!changed) {
    std::remove(tmp.c_str());
    return true;
  }
  if (!syncFile(tmp)) {
    std::remove(tmp.c_str());
    return false;
  }
  // The complete, flushed rewrite takes F's place in one step.
  if (replaceFile(tmp, path)) return true;
  const std::string backup = path + ".orvane-orig";
  if (!fileExists(path) && fileExists(backup)) copyFile(backup, path);
  std::remove(tmp.c_str());
  return false;
}

}  // namespace ftg

namespace ftgdb {

namespace {

int64_t wholeSeconds(const struct stat& st) { return static_cast<int64_t>(st.st_mtime); }

bool readWhole(const std::string& path, std::string& out) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::ostringstream s;
  s << f.rdbuf();
  out = s.str();
  return true;
}

// Writes `text` beside `path` and renames it into place, so that a mark is
// replaced in one step: a crash while writing leaves the old mark, never an
// empty one. Falls back to a plain write when the side file cannot be made.
bool writeTextInOneStep(const std::string& path, const std::string& text) {
  const std::string part = path + ".orvane-part";
  int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd >= 0) {
    bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(part.c_str(), path.c_str()) == 0) return true;
    std::remove(part.c_str());
  }
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << text;
  return !f.fail();
}

// The cut mark (as ftg::writeMark writes it), replaced in one step.
bool writeMarkInOneStep(const std::string& file, int64_t size, int64_t mtime) {
  return writeTextInOneStep(file + ".orvane-cut", std::to_string(size) + " " + std::to_string(mtime) + "\n");
}

}  // namespace

ftg::OpResult suppressAll(const std::string& file, const Scopes& scopes,
                          const ftg::SuppressScope& base, std::vector<std::string>& claimed,
                          TakenMap* taken, const std::string& pluginDir) {
  ftg::OpResult r;
  if (scopes.empty()) {
    r.ok = true;
    r.message = "nothing left to claim";
    return r;
  }
  const std::string backup = file + ".orvane-orig";
  const std::string markFile = file + ".orvane-cut";

  ftg::CutMark mark = ftg::readCutMark(file);
  if (!mark.valid && !pluginDir.empty()) mark = ftg::manifestMark(pluginDir, file);
  const bool priorBackup = ftg::fileExists(backup);

  bool takeBackup = false;
  if (priorBackup && mark.valid) {
    if (!ftg::markSays(mark, file)) {
      r.message = ftg::staleBackupMsg(file);
      return r;
    }
  } else if (!priorBackup && mark.valid) {
    if (ftg::markSays(mark, file)) {
      r.message = "Orvane already cut " + file + " and its backup (" + backup +
                  ") is gone - restore the scenery (or reinstall the pack) before suppressing again";
      return r;
    }
    std::remove(markFile.c_str());  // the mark of an older file
    takeBackup = true;
  } else if (!priorBackup) {
    takeBackup = true;
  }

  // The mark file as it was, to put back when a reused backup ends up unused.
  std::string priorMarkText;
  const bool priorMarkFile = !takeBackup && readWhole(markFile, priorMarkText);
  bool marked;
  if (takeBackup) {
    if (!ftg::copyFile(file, backup)) {
      r.message = "backup copy failed for " + file;
      return r;
    }
    // State "backed up": the provisional mark keeps F ours until the real one lands.
    marked = ftg::writeMark(file, -1, 0);
  } else {
    // A reused backup gets the provisional mark too: without it a crash after
    // the rename would leave a cut file that no mark (or an outdated one)
    // describes, which the restore rightly refuses to overwrite.
    marked = writeMarkInOneStep(file, -1, 0);
  }
  if (!marked) {
    // Without a mark a cut F could not be told from a replaced one: F is not
    // touched; the backup beside it is the original's copy.
    r.message = "rewrite failed for " + file + " - the original is at " + backup;
    return r;
  }

  std::vector<std::string> local;
  int32_t cuts = 0;
  const ftg::BlockFn onBlock = [&](const std::string& icao, std::vector<std::string>& rows) {
    auto it = scopes.find(icao);
    if (it == scopes.end()) return false;
    local.push_back(icao);
    const AirportScope& a = it->second;
    ftg::SuppressScope s = base;
    s.leadOns = ftg::scopeRef(a.leadOns);
    s.bars = ftg::scopeRef(a.bars);
    s.ftgRuns = ftg::scopeRef(a.ftgRuns);
    if (!s.leadOns && !s.bars && !s.ftgRuns) return false;
    const ftg::CoverageIndex index = ftg::buildCoverageIndex(s);
    if (taken) {
      std::vector<TakenRun> runs = takenByPass(rows, index);
      if (!runs.empty()) (*taken)[icao] = std::move(runs);
    }
    int32_t splits = 0;
    const bool changed = ftg::splitBlockLights(rows, index, splits);
    cuts += splits;
    return changed;
  };
  const ftg::WantsFn wants = [&](const std::string& icao) { return scopes.count(icao) > 0; };

  bool changed = false;
  const bool ok = ftg::rewriteBlocks(file, onBlock, changed, wants);
  r.count = cuts;
  r.changed = changed;
  if (!ok) {
    r.changed = false;
    r.message = "rewrite failed for " + file + " - the original is at " + backup;
    return r;
  }
  claimed.insert(claimed.end(), local.begin(), local.end());
  const std::string n = std::to_string(local.size());
  if (changed) {
    // State "cut": the rewritten file is in place; its real mark follows.
    struct stat st;
    if (::stat(file.c_str(), &st) == 0)
      writeMarkInOneStep(file, static_cast<int64_t>(st.st_size), wholeSeconds(st));
    r.ok = true;
    r.message = n + " airport(s), " + std::to_string(cuts) + " cut(s)";
    return r;
  }
  if (!priorBackup) {
    // Back to "untouched". The mark goes first: a backup without a mark is
    // reused by the next pass, a provisional mark without its backup is not.
    std::remove(markFile.c_str());
    std::remove(backup.c_str());
  } else if (priorMarkFile) {
    writeTextInOneStep(markFile, priorMarkText);
  } else {
    std::remove(markFile.c_str());
  }
  r.ok = true;
  r.message = local.empty() ? "defines none of them" : "defines " + n + ", nothing lit to take";
  return r;
}

}  // namespace ftgdb
