// The jobs the window starts besides the three main actions.
#pragma once

// "Browse...": pick the X-Plane folder, check it, remember it.
void browseJob();

// "Delete the old copies": drop stale backups, never the scenery itself.
void oldCopiesJob();
