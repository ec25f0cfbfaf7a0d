// Well-known places, the two settings files, the single-instance lock and the
// sweep of old launcher copies. Nothing here throws; missing things read as
// empty strings or defaults.
#pragma once
#include <string>

namespace orvl {

std::string homeDir();     // $HOME, else the password database; no trailing "/"
std::string configDir();   // homeDir + "/Library/Application Support/Orvane"
std::string tempDir();     // $TMPDIR or "/tmp", in folder form (trailing "/")
std::string selfPath();    // the running executable, cached
std::string exeDir();      // folder of the running executable, "." when unknown
std::string savedRootPath();         // configDir + "/xproot.txt"
std::string savedQuitRestorePath();  // configDir + "/restore-on-quit.txt"

// Backslashes become "/"; a non-empty text gets a trailing "/".
std::string slashes(std::string s);
std::string folderForm(std::string s);
// Only the ASCII letters A-Z lowered (the running test compares folders so).
std::string lowerAscii(std::string s);

bool acquireSingleLock();  // 24 tries 500 ms apart; the lock lives as long as the process
bool loadQuitRestore();    // default true
void rememberQuitRestore(bool on);
void rememberRoot(const std::string& root);
void sweepOldSelf();       // removes self.old, self.old.old, ... while the chain holds

}  // namespace orvl
