// Safe file primitives, cut marks and the manifest.
//
// Companion files of an apt.dat at path P: P + ".orvane-orig" (byte-for-byte
// backup), P + ".orvane-cut" (cut mark: "size mtime\n" of P as the pass left
// it; size -1 and time 0 is the provisional mark), P + ".orvane-tmp" (rewrite in
// progress). A copy to T is written as T + ".orvane-part" first. The manifest is
// folder + "/ftg_manifest.json", a JSON array of one object per airport taken.
//
// Nothing here throws; failures are reported by the results.
#pragma once
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

namespace ftg {

// Outcome of one file operation (restore or suppression of one apt.dat).
struct OpResult {
  bool ok = false;
  std::string message;
  int32_t count = 0;     // suppression: cuts made
  bool changed = false;  // suppression: the file was rewritten
};

// Size and modification time of an apt.dat as the pass left it.
struct CutMark {
  int64_t size = 0;   // bytes; negative (-1) for the provisional mark
  int64_t mtime = 0;  // whole seconds since the epoch
  bool valid = false; // the mark was found and read completely
};

// The path names an existing entry of any kind.
bool fileExists(const std::string& path);

// Copy `source` over `target` through target + ".orvane-part": the target is
// either left as it was or replaced in one step by a complete, flushed copy.
// An empty source gives an empty copy. False on any failure (the part file is
// removed then).
bool copyFile(const std::string& source, const std::string& target);

// Flush the file's data to the storage device.
bool syncFile(const std::string& path);

// Flush the folder that holds `path`, so that a rename into it is durable.
bool syncFolder(const std::string& path);

// Rename `source` onto `target` (atomic on one volume), then flush the folder
// that holds the target (best effort: the rename itself decides the result).
bool replaceFile(const std::string& source, const std::string& target);

// Write P + ".orvane-cut". False when the mark could not be written completely.
bool writeMark(const std::string& aptDat, int64_t size, int64_t mtime);

// Read P + ".orvane-cut"; invalid unless both numbers were read.
CutMark readCutMark(const std::string& aptDat);

// P still is the file the mark describes: same size and whole-second mtime, or,
// for the provisional mark, modified at most 3600 s after the mark file was.
bool markSays(const CutMark& mark, const std::string& aptDat);

// The manifest as a JSON array; an empty array when missing, unreadable,
// invalid or not an array. Elements are returned as stored (even non-objects).
nlohmann::json loadManifest(const std::string& pluginDir);

// Write the manifest in place (pretty printed, indent of one space). A value
// that cannot be printed leaves the file as it was.
void saveManifest(const std::string& pluginDir, const nlohmann::json& value);

// The mark of the first row whose "file" is `aptDat`; valid when its "size" > 0.
CutMark manifestMark(const std::string& pluginDir, const std::string& aptDat);

// Remove the backup, the cut mark and the manifest rows of `aptDat` (the
// manifest is rewritten only when a row went).
void forgetFile(const std::string& aptDat, const std::string& pluginDir);

// A backup exists, the cut mark is valid, and the file no longer matches it.
bool staleBackup(const std::string& aptDat);
std::string staleBackupMsg(const std::string& aptDat);

// Reading manifest rows: a member that is missing or of another JSON type
// counts as absent, and a row that is not an object has no members.
std::string rowText(const nlohmann::json& row, const char* key, const std::string& absent = "");
int64_t rowNumber(const nlohmann::json& row, const char* key);  // 0 when absent

// Remove from the array every row whose "file" is `aptDat`; returns how many went.
int dropRows(nlohmann::json& manifest, const std::string& aptDat);

}  // namespace ftg
