// Finding the X-Plane folder over temporary home folders, and the folder picker
// with stand-in picker programs.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "host/discovery.h"
#include "host/paths.h"
#include "host/platform.h"
#include "tests/support/env.h"
#include "tests/support/tmpdir.h"

namespace fs = std::filesystem;
using testutil::TempDir;
using testutil::writeFile;
using Lines = std::vector<std::string>;

using testutil::EnvVar;

namespace {


void makeXPlane(const std::string& root) { writeFile(root + "Resources/version.txt", "12.1.0"); }

std::string beside(const std::string& d) { return "beside the launcher: " + d; }

}  // namespace

TEST(HostDiscovery, LauncherInsideXPlaneFolderIsFoundBesideItselfUpToFourLevelsDown) {
  TempDir t;
  EnvVar home("HOME", t / "home");
  const std::string xp = t / "X-Plane 12/";
  writeFile(xp + "X-Plane-x86_64", "");
  const std::string other = t / "other/";
  makeXPlane(other);
  writeFile(orvl::savedRootPath(), other);

  struct Case {
    std::string sub;  // launcher folder below the X-Plane folder
    std::string want;
  } cases[] = {{"", xp}, {"/bin/a/b", xp}, {"/a/b/c/d", xp}, {"/a/b/c/d/e", other}};
  const std::string base = t / "X-Plane 12";
  for (const Case& c : cases) {
    SCOPED_TRACE("launcher in " + c.sub);
    EXPECT_EQ(orvl::findRootFrom("", base + c.sub), c.want);
    const Lines& probed = orvl::findRootProbed();
    // One line per folder, from the launcher's up; the saved root only when
    // nothing was found beside the launcher.
    std::string d = base + c.sub;
    const size_t besideLines = c.want == xp ? std::count(c.sub.begin(), c.sub.end(), '/') + 1 : 5;
    ASSERT_EQ(probed.size(), besideLines + (c.want == xp ? 0 : 1));
    for (size_t i = 0; i < besideLines; ++i, d.erase(d.rfind('/'))) EXPECT_EQ(probed[i], beside(d));
    if (c.want == other) {
      EXPECT_EQ(probed.back(), "remembered (" + orvl::savedRootPath() + ")");
    }
  }
}

TEST(HostDiscovery, StaleSavedRootLeadsOnToInstallRecordAndSteam) {
  TempDir t;
  const std::string h = t.path() + "/home";
  EnvVar home("HOME", h);
  writeFile(orvl::savedRootPath(), h + "/gone/");  // no longer an X-Plane folder
  makeXPlane(h + "/rec2/");                         // listed with a trailing tab: not found
  writeFile(orvl::platform::installRecordPath(h),
            h + "/rec1\n\n" + h + "/rec1/\n   \n" + h + "/rec2\t\nC:\\X-Plane 12 \r\n");
  const std::string steam = orvl::platform::steamRoots(h)[0];
  std::string lib2 = h + "/lib2";
  std::string escaped;
  for (char c : lib2) escaped += c == '/' ? std::string("\\\\") : std::string(1, c);
  writeFile(steam + "/steamapps/libraryfolders.vdf",
            "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" + steam + "\"\n\t}\n"
            "\t\"1\"\n\t{\n\t\t\"path\"\t\t\"" + escaped + "\"\n\t}\n}\n");
  const std::string found = lib2 + "/steamapps/common/X-Plane 12/";
  makeXPlane(found);

  EXPECT_EQ(orvl::installRecordRoots(),
            (Lines{h + "/rec1/", h + "/rec1/", h + "/rec2\t/", "C:/X-Plane 12/"}));
  EXPECT_EQ(orvl::findRootFrom("", ""), found);
  EXPECT_EQ(orvl::findRootProbed(),
            (Lines{"remembered (" + orvl::savedRootPath() + ")",
                   "X-Plane's install record: " + h + "/rec1/",
                   "X-Plane's install record: " + h + "/rec1/",
                   "X-Plane's install record: " + h + "/rec2\t/",
                   "X-Plane's install record: C:/X-Plane 12/",
                   "Steam library: " + steam + "/steamapps/common/X-Plane 12/",
                   "Steam library: " + found}));

  // The saved root, once it looks like X-Plane again, wins over the rest.
  makeXPlane(h + "/gone/");
  EXPECT_EQ(orvl::findRootFrom("", ""), h + "/gone/");
  EXPECT_EQ(orvl::findRootProbed(), Lines{"remembered (" + orvl::savedRootPath() + ")"});
}

TEST(HostDiscovery, SteamRootTriedFirstAndEachFolderAddedOnce) {
  TempDir t;
  const std::string s = t.path() + "/Steam";
  writeFile(s + "/steamapps/libraryfolders.vdf",
            "\t\t\"path\"\t\t\"" + s + "/\"\n"                   // the root itself, listed again
            "\t\t\"path\"\t\t\"D:\\\\Games\\\\Steam\"\n"       // doubled backslashes
            "\t\t\"path\"\t\t\"E:\\\\\\Lib\"\n"                // a run of three
            "\t\t\"path\"\t\t\"F:\\Single\"\n"                 // a lone one
            "\t\t\"path\"\t\t\"D:\\\\Games\\\\Steam\"\n"       // repeated
            "\"path\" \"/one\" \"path\" \"/two\"\n"             // one value per line
            "\t\t\"paths\"\t\t\"/not-a-path-key\"\n"
            "\t\t\"path\"\t\t\"/never-closed\n"
            "\t\t\"path\"\n");
  Lines libs;
  orvl::addSteamRoot(s + "///", libs);
  const Lines want{s, s + "/", "D:/Games/Steam", "E:/Lib", "F:/Single", "/one"};
  EXPECT_EQ(libs, want);
  orvl::addSteamRoot(s, libs);  // already there: not read again
  orvl::addSteamRoot(t.path() + "/missing", libs);
  orvl::addSteamRoot("", libs);
  EXPECT_EQ(libs, want);

  // Every Steam root of the platform, in order, each followed by its libraries.
  const std::string h = t.path() + "/home";
  EnvVar home("HOME", h);
  const Lines roots = orvl::platform::steamRoots(h);
  Lines expected;
  for (size_t i = 0; i < roots.size(); ++i) {
    writeFile(roots[i] + "/steamapps/libraryfolders.vdf",
              "\"path\" \"/shared\"\n\"path\" \"/lib" + std::to_string(i) + "\"\n");
    expected.push_back(roots[i]);
    if (i == 0) expected.push_back("/shared");
    expected.push_back("/lib" + std::to_string(i));
  }
  EXPECT_EQ(orvl::steamLibraries(), expected);
}

TEST(HostDiscovery, NothingAtAllCouldBeTried) {
  // No launcher folder and no home folder: only a process whose user has no
  // password entry and no HOME gets there.
  if (getuid() != 0) GTEST_SKIP() << "needs root to switch to a user without a password entry";
  uid_t uid = 47000;
  while (uid < 47100 && getpwuid(uid)) ++uid;
  ASSERT_EQ(getpwuid(uid), nullptr);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    close(fds[0]);
    unsetenv("HOME");
    if (setgid(uid) != 0 || setuid(uid) != 0) _exit(3);
    std::string out = orvl::findRootFrom("", "") + "|";
    for (const std::string& l : orvl::findRootProbed()) out += l + "\n";
    if (write(fds[1], out.data(), out.size()) != static_cast<ssize_t>(out.size())) _exit(4);
    _exit(0);
  }
  close(fds[1]);
  int status = 0;
  bool ended = false;
  for (int i = 0; i < 200 && !ended; ++i) {
    ended = waitpid(pid, &status, WNOHANG) == pid;
    if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  std::string got;
  char buf[4096];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) got.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  ASSERT_TRUE(ended);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(got, "|no install record, no Steam library and no X-Plane folder above the launcher\n");
}

TEST(HostDiscovery, FindRootStartsBesideTheRunningLauncherAndTakesAGivenRootAsItIs) {
  TempDir t;
  EnvVar home("HOME", t / "home");
  EXPECT_EQ(orvl::findRoot("C:\\X-Plane 12"), "C:/X-Plane 12/");
  EXPECT_TRUE(orvl::findRootProbed().empty());
  orvl::findRoot("");
  ASSERT_FALSE(orvl::findRootProbed().empty());
  EXPECT_EQ(orvl::findRootProbed()[0], beside(orvl::exeDir()));
}

TEST(HostDiscovery, LooksLikeXPlaneByAnyOfItsMarks) {
  TempDir t;
  const struct {
    const char* mark;
    bool dir;
  } marks[] = {{"Resources/version.txt", false}, {"X-Plane.exe", false}, {"X-Plane.app", true},
               {"X-Plane-x86_64", false}};
  int n = 0;
  for (const auto& m : marks) {
    const std::string root = t / ("xp" + std::to_string(n++));
    if (m.dir) fs::create_directories(root + "/" + m.mark);
    else writeFile(root + "/" + m.mark, "");
    EXPECT_TRUE(orvl::looksLikeXPlane(root)) << m.mark;
    EXPECT_TRUE(orvl::looksLikeXPlane(root + "/")) << m.mark;
  }
  fs::create_directories(t / "plain/Resources");
  writeFile(t / "plain/X-Plane", "");
  EXPECT_FALSE(orvl::looksLikeXPlane(t / "plain"));
  EXPECT_FALSE(orvl::looksLikeXPlane(t / "missing"));

  // An empty folder means the current directory.
  const fs::path cwd = fs::current_path();
  fs::current_path(t / "xp3");
  const bool here = orvl::looksLikeXPlane("");
  fs::current_path(t / "plain");
  const bool plain = orvl::looksLikeXPlane("");
  fs::current_path(cwd);
  EXPECT_TRUE(here);
  EXPECT_FALSE(plain);
}

TEST(HostDiscovery, CanonicalRootResolvesDotsAndLinksAndKeepsMissingTails) {
  TempDir t;
  const std::string real = fs::canonical(t.path()).string();
  fs::create_directories(real + "/a/xp");
  fs::create_directory_symlink(real + "/a/xp", real + "/link");
  EXPECT_EQ(orvl::canonicalRoot(""), "");
  EXPECT_EQ(orvl::canonicalRoot(real + "/a/./b/../xp"), real + "/a/xp/");
  EXPECT_EQ(orvl::canonicalRoot(real + "/link/"), real + "/a/xp/");
  EXPECT_EQ(orvl::canonicalRoot(real + "/link/not/yet"), real + "/a/xp/not/yet/");
}

// ---- the folder picker, with stand-in picker programs on a PATH of our own

namespace {
void picker(const std::string& bin, const std::string& name, const std::string& body) {
  const std::string p = bin + "/" + name;
  writeFile(p, "#!/bin/sh\n" + body + "\n");
  fs::permissions(p, fs::perms::owner_all, fs::perm_options::add);
}
const char kNoPicker[] =
    "no folder picker on this system (install zenity or kdialog) - start the launcher with "
    "--root \"/path/to/X-Plane 12\" instead";
}  // namespace

TEST(HostPicker, FirstAvailablePickerAnswersInFolderForm) {
  if (orvl::platform::folderPickerCommands().size() != 2) GTEST_SKIP() << "zenity/kdialog platform only";
  TempDir t;
  const struct {
    const char* what;
    std::string zenity, kdialog;  // script bodies; empty: not installed
    std::string want, err;
  } cases[] = {
      {"no picker at all", "", "", "", kNoPicker},
      {"zenity", "printf '/srv/X-Plane 12\\n'", "echo /wrong", "/srv/X-Plane 12/", ""},
      {"trailing spaces and CR, backslashes", "printf 'C:\\\\XP\\\\12/ \\r\\n'", "", "C:/XP/12/", ""},
      {"only kdialog", "", "echo /opt/xp", "/opt/xp/", ""},
      {"zenity cancelled", "exit 1", "echo /wrong", "", ""},
      {"zenity prints nothing", "exit 0", "echo /wrong", "", ""},
      {"zenity killed", "kill -9 $$", "echo /wrong", "", ""},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string bin = t / ("bin" + std::to_string(n++));
    fs::create_directories(bin);
    if (!c.zenity.empty()) picker(bin, "zenity", c.zenity);
    if (!c.kdialog.empty()) picker(bin, "kdialog", c.kdialog);
    std::string err, got;
    {
      EnvVar path("PATH", bin);
      got = orvl::browseForRoot(nullptr, &err);
    }
    EXPECT_EQ(got, c.want);
    EXPECT_EQ(err, c.err);
  }
  // err may be null.
  EnvVar path("PATH", t / "bin0");
  EXPECT_EQ(orvl::browseForRoot(nullptr, nullptr), "");
}
