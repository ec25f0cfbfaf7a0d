// Start-up: command line, single instance, old-copy sweep, preference, root.
#pragma once

// Fills g_app from the command line, the settings and discovery. Ends the
// process with status 0 when another launcher holds the lock.
void startup(int argc, char** argv);
