// Rewriting one apt.dat file block by block, and the suppression of one file.
//
// ftg::rewriteBlocks streams a file through F + ".orvane-tmp", holding one
// airport block in memory at a time, and replaces F only when a block changed,
// with a complete, flushed file. A read error (or a file that does not end
// where its size said) is a failed rewrite: a shortened file never replaces F.
//
// ftgdb::suppressAll secures F's backup and cut mark, rewrites it with the
// scopes of the airports still to claim, and reports what the file claimed.
// States on disk, each recoverable by the restore:
//   untouched   F only
//   backed up   F, F.orvane-orig, provisional mark
//   rewriting   as above, plus F.orvane-tmp (never read)
//   cut         rewritten F, backup, real mark
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "aptdat/split.h"
#include "aptdat/taken.h"
#include "scenery/airport_scope.h"
#include "scenery/files.h"

namespace ftg {

// Called for each airport block with its identifier and rows (header first);
// may change the rows in place and returns true when it did.
using BlockFn = std::function<bool(const std::string& icao, std::vector<std::string>& rows)>;
// Whether the block callback wants to see blocks of this identifier at all;
// blocks it does not want are copied through unchanged without being split
// into rows. An empty function wants every block.
using WantsFn = std::function<bool(const std::string& icao)>;

// Streams `path`; true when the file was read whole and, if a block changed
// (`changed`), replaced by the rewritten file. Line ends become "\n". When the
// rename fails and has lost the file, its backup (path + ".orvane-orig") is
// copied back.
bool rewriteBlocks(const std::string& path, const BlockFn& onBlock, bool& changed,
                   const WantsFn& wants = WantsFn());

// Test seam: every read after the first `bytes` bytes of a rewrite fails with
// EIO (as a failing disk would); a negative value switches it off.
void failRewriteReadsAfter(int64_t bytes);

}  // namespace ftg

namespace ftgdb {

using Scopes = std::map<std::string, AirportScope>;
using TakenMap = std::map<std::string, std::vector<TakenRun>>;

// Suppresses one file. `scopes`: the airports still to claim; `base`: the
// tolerances (its lists absent); `claimed` gets every identifier of a block
// found in `scopes`, in block order; `taken` (optional) gets the runs of each
// claimed airport that had any (the last such block wins). On success `count`
// holds the cuts and `changed` whether F was rewritten.
ftg::OpResult suppressAll(const std::string& file, const Scopes& scopes,
                          const ftg::SuppressScope& base, std::vector<std::string>& claimed,
                          TakenMap* taken, const std::string& pluginDir);

}  // namespace ftgdb
