// What the window shows, decided from a per-frame copy of App. Plain functions,
// so every decision is testable without a window; draw() only renders them.
#pragma once
#include <string>
#include <vector>

#include "scenery/suppression.h"

struct Snapshot {
  std::string root;
  std::string busyLabel;
  bool busy = false;
  bool selfUpdated = false;
  bool geometryLoaded = false;
  std::string geometryRev;
  bool xplaneRunning = false;
  bool pluginInstalled = false;
  std::string pluginVersion;
  bool releaseKnown = false;
  std::string releaseVersion;
  orvl::Suppression suppression;
  std::vector<std::string> staleBackups;
  bool suppressEnabled = true;
  bool restoreOnQuit = true;
  std::string host;
  int port = 443;
};

// Copies what the window needs under App's mutex (busy and selfUpdated as atomics/bytes).
Snapshot takeSnapshot();

enum class Tone { Plain, Go, Stop, Amber, Muted };

struct StatusRow {
  const char* label = "";
  Tone dot = Tone::Plain;
  std::string text;
  Tone textTone = Tone::Plain;
  std::string note;  // drawn after the text in amber when not empty
  std::string button;  // drawn at the right when not empty
  bool buttonEnabled = false;
};

std::string headerText(const Snapshot& s);
bool updateAvailable(const Snapshot& s);

StatusRow xplaneRow(const Snapshot& s);
StatusRow pluginRow(const Snapshot& s);
StatusRow serverRow(const Snapshot& s);
StatusRow sceneryRow(const Snapshot& s);
StatusRow simRow(const Snapshot& s);
StatusRow bridgeRow(const Snapshot& s);

// True when the suppression in force was made from another geometry revision
// than the one loaded. A signature "REV+hash" (a pass that folded in taxi
// networks) counts as made from REV: the networks are not the map revision.
bool fromOlderMap(const Snapshot& s);

std::string staleNoticeText(const Snapshot& s);

bool launchEnabled(const Snapshot& s);
bool suppressButtonEnabled(const Snapshot& s);
bool restoreEnabled(const Snapshot& s);

// A log line's colour: "!" first is an error, " " first a detail.
Tone logTone(const std::string& line);

// Arguments for the restarted launcher: none for the default host, else
// "--host" host:port.
std::vector<std::string> restartArgs(const std::string& host, int port);
