// The jobs the window starts besides the three main actions.
#pragma once
#include <string>

// "Browse...": pick the X-Plane folder, check it, remember it.
void browseJob();

// "Install" / "Update": the release the check fetched, with the download's
// progress shown in the busy label.
void pluginJob();

// The busy label while a download runs: "label (1.2 of 5.0 MB)".
std::string progressLabel(const std::string& label, long long bytes, long long total);

// "Delete the old copies": drop stale backups, never the scenery itself.
void oldCopiesJob();
