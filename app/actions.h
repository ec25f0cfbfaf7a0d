// The launcher's actions, each run as a job: check, suppress, restore, launch.
// They read App.root and App.pluginDir without the lock (one job at a time)
// and write every step to the log.
#pragma once

// Whether the check also looks for a newer launcher build and installs it. The
// command-line tool sets this false: it must never replace itself with a
// launcher build.
extern bool g_checkSelfUpdate;

// Pause between two checks of the launch wait, in milliseconds (2000; tests
// shorten it to walk the 90 checks quickly).
extern int g_launchPollMs;

// Fetches the geometry, the plugin release and (when g_checkSelfUpdate) a
// newer launcher, in that order; stores the results in App.
void actionCheck();

// "Update & Suppress": check, restore any previous pass, run a new one.
// True when a pass was applied.
bool doSuppress();

// "Restore originals". True when X-Plane was not running and every file the
// restore considered was put back (the window ignores the result).
bool doRestore();

// "Launch X-Plane": prepare the scenery per the checkbox, start X-Plane, wait
// for it to come up (a check every 2 s, 90 checks), then ask the launcher to quit.
void doLaunch();
