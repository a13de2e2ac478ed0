#include "platform/profile.h"

#include <gtest/gtest.h>

#include "tests/support/temp_root.h"

namespace {

const char* const kFile =
    "\xEF\xBB\xBF; model file for the tests\n"
    "[Paper]\r\n"
    "NpaName = PAPER.SOURCE  \r\n"
    "Quoted=\"  spaced  \"\n"
    "Inner=a\"b\"\n"
    "MinVal=-5\n"
    "MaxVal=  250 dpi\n"
    "Word=many\n"
    "NpaName=second occurrence is ignored\n"
    "[driverNAMES]\n"
    "Quorvex K600 PCL\n"
    "; not a driver\n"
    "\n"
    "Quorvex K600 PS\n"
    "[Paper]\n"
    "Late=never seen\n";

struct StringCase {
    const char* section;
    const char* key;
    size_t buffer;
    const char* expected;
};

TEST(ProfileTest, ReadsStringsAsThePrivateProfileFunctionsDo) {
    testsupport::TempDir dir;
    std::string file = dir.Write("k.ini", kFile);
    const StringCase cases[] = {
        {"Paper", "NpaName", 70, "PAPER.SOURCE"},  // blanks around the value removed
        {"PAPER", "npaname", 70, "PAPER.SOURCE"},  // names compare without regard to case
        {"Paper", "NpaName", 6, "PAPER"},          // a buffer of n holds n - 1 characters
        {"Paper", "Quoted", 70, "  spaced  "},     // one pair of quotation marks removed
        {"Paper", "Inner", 70, "a\"b\""},          // quotation marks inside stay
        {"Paper", "Missing", 70, "default"},       // missing key
        {"Nothing", "NpaName", 70, "default"},     // missing section
        {"Paper", "Late", 70, "default"},          // only the first section of a name counts
        {"Paper", "NpaName", 1, ""},
    };
    for (const StringCase& c : cases) {
        EXPECT_EQ(platform::GetProfileString(file, c.section, c.key, "default", c.buffer), c.expected)
            << c.section << "/" << c.key << " buffer " << c.buffer;
    }
    EXPECT_EQ(platform::GetProfileString(dir.Path() + "/absent.ini", "Paper", "NpaName", "default", 70),
              "default");
}

TEST(ProfileTest, ReadsIntegersAsDecimalWithNegativeAsZero) {
    testsupport::TempDir dir;
    std::string file = dir.Write("k.ini", kFile);
    EXPECT_EQ(platform::GetProfileInt(file, "Paper", "MinVal", 7), 0);
    EXPECT_EQ(platform::GetProfileInt(file, "Paper", "MaxVal", 7), 250);
    EXPECT_EQ(platform::GetProfileInt(file, "Paper", "Word", 7), 0);
    EXPECT_EQ(platform::GetProfileInt(file, "Paper", "Missing", 120), 120);
    EXPECT_EQ(platform::GetProfileInt(dir.Path() + "/absent.ini", "Paper", "MaxVal", 120), 120);
}

TEST(ProfileTest, ReadsAWholeSectionWithinItsByteLimit) {
    testsupport::TempDir dir;
    std::string file = dir.Write("k.ini", kFile);
    using Lines = std::vector<std::string>;
    EXPECT_EQ(platform::GetProfileSection(file, "DriverNames", 32767),
              (Lines{"Quorvex K600 PCL", "Quorvex K600 PS"}));
    // "Quorvex K600 PCL" and its zero take 17 bytes, the closing zero one more.
    EXPECT_EQ(platform::GetProfileSection(file, "DriverNames", 18), (Lines{"Quorvex K600 PCL"}));
    EXPECT_EQ(platform::GetProfileSection(file, "DriverNames", 17), Lines{});
    EXPECT_EQ(platform::GetProfileSection(file, "Absent", 32767), Lines{});
}

}  // namespace
