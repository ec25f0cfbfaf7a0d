// The swap of a written ownPath + ".new" in for ownPath, used by the
// self-update. Separate so that tests can hand in failing file calls.
//
// States on the way, each leaving a runnable launcher at ownPath:
//   1. ".new" complete, made executable and flushed; ownPath untouched.
//   2. ".old" names the old build too (hard link), or, where hard links are
//      impossible, holds it alone after a rename: the only moment ownPath is
//      missing, undone by renaming ".old" back when the next step fails.
//   3. ".new" renamed over ownPath in one step.
#pragma once
#include <cstdio>
#include <string>

#include <unistd.h>

namespace orvl {

struct SwapCalls {
  int (*link)(const char*, const char*) = ::link;
  int (*rename)(const char*, const char*) = ::rename;
};

// False with "could not move the running launcher aside: ..." or "could not
// put the new launcher in place: ..." (the system's text of the failed call);
// after a failure ownPath holds the old build and no ".new" is left.
bool swapInNew(const std::string& ownPath, std::string& err, const SwapCalls& calls = SwapCalls());

}  // namespace orvl
