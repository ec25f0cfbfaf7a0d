// Version labels and the installed plugin's files.
#include <gtest/gtest.h>

#include "update/release.h"
#include "tests/support/tmpdir.h"

namespace {

TEST(VerNewer, ComparesTheFirstThreeNumbers) {
  struct Case {
    const char* a;
    const char* b;
    bool newer;
  } cases[] = {
      {"1.0.1", "1.0.0", true},
      {"1.0.0", "1.0.1", false},
      {"1.0.0", "1.0.0", false},
      {"2", "1.9.9", true},         // 2,0,0 against 1,9,9
      {"1.10.0", "1.9.0", true},    // numeric, not textual
      {"1.2.3.9", "1.2.3", false},  // a fourth number never counts
      {"1.2.3", "1.2.3.9", false},
      {"V2", "1.9", true},          // letters only end runs
      {"1.2.3-beta4", "1.2.3", false},
      {"1.2.4-beta", "1.2.3", true},
      {"", "0.0.0", false},
      {"0.0.1", "", true},
      {"v1..2", "1.2", false},      // 1,2,0 both
      {"007.1", "7.0.9", true},     // leading zeros are just digits
  };
  for (const auto& c : cases) EXPECT_EQ(orvl::verNewer(c.a, c.b), c.newer) << c.a << " vs " << c.b;
}

TEST(VerNewer, DigitRunsBeyond32BitsSaturateAndStayTotal) {
  // Every run above 2147483647 counts as 2147483647.
  EXPECT_FALSE(orvl::verNewer("99999999999999999999.0.0", "2147483647.0.0"));
  EXPECT_FALSE(orvl::verNewer("2147483647.0.0", "99999999999999999999.0.0"));
  EXPECT_TRUE(orvl::verNewer("99999999999999999999", "2147483646.9.9"));
  EXPECT_FALSE(orvl::verNewer("2147483646.9.9", "99999999999999999999"));
  EXPECT_TRUE(orvl::verNewer("1.2147483648.1", "1.2147483648.0"));
}

TEST(InstalledPluginVersion, FirstLineWithoutTrailingBlanksAndLineEnds) {
  testutil::TempDir dir;
  struct Case {
    const char* content;
    const char* want;
  } cases[] = {
      {"1.4.2\r\n", "1.4.2"},
      {"1.4.2", "1.4.2"},
      {"   \n", ""},
      {"", ""},
      {"1.4.2  \r\r\n2.0.0\n", "1.4.2"},
      {" 1.4.2\t \n", " 1.4.2\t"},  // leading blanks and tabs stay
  };
  for (const auto& c : cases) {
    testutil::writeFile(dir / "version.txt", c.content);
    EXPECT_EQ(orvl::installedPluginVersion(dir.path()), c.want) << '"' << c.content << '"';
  }
  EXPECT_EQ(orvl::installedPluginVersion(dir / "absent"), "");
}

TEST(XplPath, PluginFileInsideTheArchFolder) {
#if defined(__APPLE__)
  EXPECT_EQ(orvl::xplPath("/X/Resources/plugins/Orvane"), "/X/Resources/plugins/Orvane/mac_x64/Orvane.xpl");
#else
  EXPECT_EQ(orvl::xplPath("/X/Resources/plugins/Orvane"), "/X/Resources/plugins/Orvane/lin_x64/Orvane.xpl");
#endif
}

}  // namespace
