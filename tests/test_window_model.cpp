#include <gtest/gtest.h>

#include "app/window_model.h"
#include "net/net.h"

namespace {
Snapshot installedIdle() {
  Snapshot s;
  s.root = "/x/X-Plane 12/";
  s.pluginInstalled = true;
  s.pluginVersion = "1.2.0";
  s.releaseKnown = true;
  s.releaseVersion = "1.2.0";
  return s;
}
}  // namespace

TEST(WindowModel, NoRootLocksEverythingButBrowse) {
  Snapshot s;
  s.xplaneRunning = true;  // the running test answers true without a root
  StatusRow x = xplaneRow(s);
  EXPECT_EQ(x.dot, Tone::Stop);
  EXPECT_EQ(x.text, "not found");
  EXPECT_TRUE(x.buttonEnabled);
  EXPECT_EQ(simRow(s).text, "X-Plane is running - scenery is locked");
  EXPECT_FALSE(launchEnabled(s));
  EXPECT_FALSE(suppressButtonEnabled(s));
  EXPECT_FALSE(restoreEnabled(s));
  EXPECT_FALSE(pluginRow(s).buttonEnabled);
}

TEST(WindowModel, PluginRow) {
  struct Case {
    const char* what;
    bool installed;
    const char* version;
    bool releaseKnown;
    const char* release;
    bool running;
    Tone dot;
    const char* text;
    const char* note;
    const char* button;
    bool enabled;
  } cases[] = {
      {"not installed, no release", false, "", false, "", false, Tone::Stop, "Orvane is not installed", "",
       "Install", false},
      {"not installed, release", false, "", true, "1.2.0", false, Tone::Stop, "Orvane is not installed",
       "-> 1.2.0 available", "Install", true},
      {"unknown version, release", true, "", true, "1.2.0", false, Tone::Amber,
       "Orvane installed (version unknown)", "-> 1.2.0 available", "Update", true},
      {"older", true, "1.1.9", true, "1.2.0", false, Tone::Amber, "Orvane 1.1.9", "-> 1.2.0 available",
       "Update", true},
      {"older while X-Plane runs", true, "1.1.9", true, "1.2.0", true, Tone::Amber, "Orvane 1.1.9",
       "-> 1.2.0 available", "Update", false},
      {"same", true, "1.2.0", true, "1.2.0", false, Tone::Go, "Orvane 1.2.0", "", "", false},
      {"newer installed", true, "1.3.0", true, "1.2.0", false, Tone::Go, "Orvane 1.3.0", "", "", false},
      {"no release known", true, "1.2.0", false, "", false, Tone::Go, "Orvane 1.2.0", "", "", false},
  };
  for (const Case& c : cases) {
    Snapshot s;
    s.pluginInstalled = c.installed;
    s.pluginVersion = c.version;
    s.releaseKnown = c.releaseKnown;
    s.releaseVersion = c.release;
    s.xplaneRunning = c.running;
    StatusRow r = pluginRow(s);
    EXPECT_EQ(r.dot, c.dot) << c.what;
    EXPECT_EQ(r.text, c.text) << c.what;
    EXPECT_EQ(r.note, c.note) << c.what;
    EXPECT_EQ(r.button, c.button) << c.what;
    EXPECT_EQ(r.buttonEnabled, c.enabled) << c.what;
  }
}

TEST(WindowModel, HeaderNamesBothVersions) {
  Snapshot s;
  EXPECT_EQ(headerText(s), "Launcher v1.0.0   \xC2\xB7   plugin not installed");
  s.pluginInstalled = true;
  EXPECT_EQ(headerText(s), "Launcher v1.0.0   \xC2\xB7   plugin installed (version unknown)");
  s.pluginVersion = "1.4.2";
  EXPECT_EQ(headerText(s), "Launcher v1.0.0   \xC2\xB7   plugin 1.4.2");
}

TEST(WindowModel, SceneryRowAndTheOlderMapNote) {
  Snapshot s = installedIdle();
  EXPECT_EQ(sceneryRow(s).text, "Original - lights not suppressed");
  EXPECT_EQ(sceneryRow(s).dot, Tone::Amber);
  EXPECT_FALSE(restoreEnabled(s));

  s.suppression.suppressed = true;
  s.suppression.airports = 3;
  s.suppression.files = 2;
  s.suppression.sig = "r7";
  s.geometryLoaded = true;
  s.geometryRev = "r7";
  EXPECT_EQ(sceneryRow(s).text, "Orvane modified - lights suppressed (3 airports in 2 file(s))");
  EXPECT_EQ(sceneryRow(s).dot, Tone::Go);
  EXPECT_TRUE(restoreEnabled(s));
  struct {
    const char* sig;
    const char* rev;
    bool loaded;
    bool older;
  } cases[] = {
      {"r7", "r7", true, false},          {"r6", "r7", true, true},
      {"r7+0123456789ab", "r7", true, false},  // networks folded in, same map
      {"r6+0123456789ab", "r7", true, true},   {"r6", "r7", false, false},  // nothing loaded
      {"r6", "", true, false},             // a loaded map without a revision says nothing
      {"", "r7", true, true},
  };
  for (auto& c : cases) {
    s.suppression.sig = c.sig;
    s.geometryRev = c.rev;
    s.geometryLoaded = c.loaded;
    EXPECT_EQ(fromOlderMap(s), c.older) << c.sig << " / " << c.rev;
    EXPECT_EQ(sceneryRow(s).note, c.older ? "from an older map" : "") << c.sig;
  }
}

TEST(WindowModel, BusyDisablesEveryJobButton) {
  Snapshot s = installedIdle();
  s.suppression.suppressed = true;
  EXPECT_TRUE(launchEnabled(s));
  EXPECT_TRUE(suppressButtonEnabled(s));
  EXPECT_TRUE(restoreEnabled(s));
  EXPECT_TRUE(xplaneRow(s).buttonEnabled);
  s.busy = true;
  EXPECT_FALSE(launchEnabled(s));
  EXPECT_FALSE(suppressButtonEnabled(s));
  EXPECT_FALSE(restoreEnabled(s));
  EXPECT_FALSE(xplaneRow(s).buttonEnabled);
  s.busy = false;
  s.pluginInstalled = false;
  EXPECT_FALSE(launchEnabled(s));  // no plugin, no launch
  EXPECT_TRUE(suppressButtonEnabled(s));
}

TEST(WindowModel, StatusTextsAndLogTones) {
  Snapshot s;
  EXPECT_EQ(serverRow(s).text, "not connected");
  s.geometryLoaded = true;
  EXPECT_EQ(serverRow(s).dot, Tone::Go);
  EXPECT_EQ(bridgeRow(s).text, "xPilot: not detected");
  s.staleBackups = {"/a/apt.dat", "/b/apt.dat"};
  EXPECT_EQ(staleNoticeText(s).substr(0, 30), "2 scenery file(s) were updated");

  EXPECT_EQ(logTone("!! failed"), Tone::Stop);
  EXPECT_EQ(logTone("   restored  x"), Tone::Muted);
  EXPECT_EQ(logTone("X-Plane: /x/"), Tone::Plain);
  EXPECT_EQ(logTone(""), Tone::Plain);
}

TEST(WindowModel, RestartArguments) {
  EXPECT_TRUE(restartArgs(orvl::kDefaultHost, 443).empty());
  EXPECT_TRUE(restartArgs(orvl::kDefaultHost, 8443).empty());  // a port alone is not passed on
  EXPECT_EQ(restartArgs("127.0.0.1", 8080), (std::vector<std::string>{"--host", "127.0.0.1:8080"}));
}
