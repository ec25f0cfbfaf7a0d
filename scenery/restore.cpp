#include "scenery/restore.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <sys/stat.h>

#include "scenery/pack_order.h"

namespace ftg {

namespace {
// Drops the file's manifest rows, then its cut mark: an interruption between
// the two leaves a mark without rows, which the next restore still sees.
void dropRecords(const std::string& aptDat, const std::string& pluginDir) {
  nlohmann::json manifest = loadManifest(pluginDir);
  if (dropRows(manifest, aptDat) > 0) saveManifest(pluginDir, manifest);
  std::remove((aptDat + ".orvane-cut").c_str());
}
}  // namespace

OpResult restoreFile(const std::string& aptDat, const std::string& pluginDir) {
  OpResult r;
  const std::string backup = aptDat + ".orvane-orig";

  if (!fileExists(backup)) {
    if (fileExists(aptDat)) {
      // A cut mark that no longer matches, with no backup: the backup was
      // already moved back and only the records were left (a restore that was
      // interrupted). The pass treats such a mark as stale too.
      const CutMark leftover = readCutMark(aptDat);
      if (leftover.valid && leftover.size >= 0 && !markSays(leftover, aptDat)) {
        dropRecords(aptDat, pluginDir);
        r.ok = true;
        r.message = "the original is already in place - dropped the leftover record";
        return r;
      }
      r.message = "no backup found (" + backup + ")";
      return r;
    }
    dropRecords(aptDat, pluginDir);
    r.ok = true;
    r.message = "the pack is gone (uninstalled?) - dropped its record";
    return r;
  }

  CutMark mark = readCutMark(aptDat);
  if (!mark.valid) mark = manifestMark(pluginDir, aptDat);

  struct stat st;
  if (::stat(aptDat.c_str(), &st) == 0 && st.st_size > 0) {
    if (mark.valid && !markSays(mark, aptDat)) {
      r.message = "the scenery changed since Orvane cut it (updated or verified?) - our copy is kept at " +
                  backup + "; restore it by hand if that is what you want";
      return r;
    }
    if (!mark.valid) {
      r.message = "a backup with no record of the cut - the apt.dat beside it may not be ours; "
                  "restore it by hand if it is (" + backup + ")";
      return r;
    }
  }

  // Cut file, backup and records all in place: recoverable until the backup
  // lands. The backup holds the original's exact bytes and was flushed when it
  // was taken, so it is moved over the cut file in one rename: at every moment
  // either the cut file with its backup, or the original alone, stands at the
  // path, and no restored file is ever left beside a backup that looks stale.
  if (!syncFile(backup) || !replaceFile(backup, aptDat)) {
    r.message = "restore copy failed";
    return r;
  }
  // The original is back in place; only now may its records go. An
  // interruption leaves a mark that no longer matches, which the next restore
  // recognises as a leftover.
  dropRecords(aptDat, pluginDir);
  r.ok = true;
  r.message = "restored original apt.dat";
  return r;
}

}  // namespace ftg

namespace orvl {

namespace {

bool contains(const std::vector<std::string>& list, const std::string& s) {
  return std::find(list.begin(), list.end(), s) != list.end();
}

void say(const LogFn& log, const std::string& line) {
  if (log) log(line);
}

}  // namespace

void sweepOrphanBackups(const std::string& root, std::vector<std::string>& list, const LogFn& log) {
  if (root.empty()) return;
  for (const auto& p : ftgdb::aptDatFilesInOrder(root)) {
    if (contains(list, p) || !ftg::fileExists(p + ".orvane-orig")) continue;
    ftg::CutMark mark = ftg::readCutMark(p);
    if (!mark.valid) {
      say(log, "   unknown   " + p + " - a backup with no cut mark; restore it by hand if it is ours");
    } else if (ftg::markSays(mark, p)) {
      say(log, "   orphan    " + p + " - a backup with no manifest row; putting it back");
      list.push_back(p);
    } else {
      say(log, "   left      " + p + " - changed since we cut it; our copy stays at .orvane-orig");
    }
  }
  for (const auto& p : ftgdb::aptDatBackupsInOrder(root)) {
    if (contains(list, p)) continue;
    say(log, "   MISSING   " + p + " - no apt.dat, only our backup; putting it back");
    list.push_back(p);
  }
}

int32_t restoreAll(const std::string& pluginDir, const LogFn& log, const std::string& root,
                   int32_t* failures) {
  std::vector<std::string> list;
  for (const auto& row : ftg::loadManifest(pluginDir)) {
    std::string file = ftg::rowText(row, "file");
    if (!file.empty() && !contains(list, file)) list.push_back(file);
  }
  sweepOrphanBackups(root, list, log);

  int32_t failed = 0;
  bool failedStillCut = false;
  for (const auto& p : list) {
    ftg::OpResult r = ftg::restoreFile(p, pluginDir);
    say(log, (r.ok ? "   restored  " : "   FAILED    ") + p + "  - " + r.message);
    if (!r.ok) {
      ++failed;
      if (ftg::markSays(ftg::readCutMark(p), p)) failedStillCut = true;
    }
  }
  if (failures) *failures = failed;
  // The plugin's list of taken runs goes once nothing of ours is left dark.
  if (!list.empty() && !failedStillCut) std::remove((pluginDir + "/orv_taken.json").c_str());
  return static_cast<int32_t>(list.size());
}

std::vector<std::string> staleBackups(const std::string& root, const std::string& pluginDir) {
  std::vector<std::string> out;
  if (!root.empty())
    for (const auto& p : ftgdb::aptDatFilesInOrder(root))
      if (!contains(out, p) && ftg::staleBackup(p)) out.push_back(p);
  for (const auto& row : ftg::loadManifest(pluginDir)) {
    std::string f = ftg::rowText(row, "file");
    if (f.empty() || contains(out, f)) continue;
    if (!ftg::fileExists(f + ".orvane-orig") || !ftg::fileExists(f)) continue;
    ftg::CutMark mark = ftg::readCutMark(f);
    if (!mark.valid) mark = ftg::manifestMark(pluginDir, f);
    if (mark.valid && !ftg::markSays(mark, f)) out.push_back(f);
  }
  return out;
}

int32_t forgetStaleBackups(const std::string& root, const std::string& pluginDir, const LogFn& log) {
  std::vector<std::string> stale = staleBackups(root, pluginDir);
  for (const auto& p : stale) {
    ftg::forgetFile(p, pluginDir);
    say(log, "   forgot    " + p + ".orvane-orig - the pack was updated since we cut it");
  }
  return static_cast<int32_t>(stale.size());
}

Suppression suppressionState(const std::string& pluginDir) {
  Suppression s;
  std::set<std::string> files;
  for (const auto& row : ftg::loadManifest(pluginDir)) {
    if (!row.is_object()) continue;  // not a row at all
    ++s.airports;
    files.insert(ftg::rowText(row, "file"));
    if (s.sig.empty()) s.sig = ftg::rowText(row, "sig");
    if (s.owner.empty()) s.owner = ftg::rowText(row, "owner", "plugin");
  }
  s.files = static_cast<int>(files.size());
  s.suppressed = s.airports > 0;
  return s;
}

}  // namespace orvl
