#include "usbprobe/npa_script.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace usbprobe_test {
namespace {

using usbprobe::PatternEntry;

struct MatchCase {
    const char* what;
    const char* pattern;
    std::vector<uint8_t> response;
    bool passes;
};

// Baseline: the pattern A5??0450E0* against an NPA reply that starts A5, any byte, 04 50 E0.
const MatchCase kMatchCases[] = {
    {"baseline", "A5??0450E0*", {0xA5, 0x00, 0x04, 0x50, 0xE0, 0x03, 0x40}, true},
    {"any byte in the wildcard pair", "A5??0450E0*", {0xA5, 0xFF, 0x04, 0x50, 0xE0}, true},
    {"lower-case digits", "a5??0450e0*", {0xA5, 0x00, 0x04, 0x50, 0xE0}, true},
    {"first byte differs", "A5??0450E0*", {0xA4, 0x00, 0x04, 0x50, 0xE0}, false},
    {"a later byte differs", "A5??0450E0*", {0xA5, 0x00, 0x04, 0x51, 0xE0}, false},
    {"response ends before the star", "A5??0450E0*", {0xA5, 0x00, 0x04, 0x50}, false},
    {"no response", "A5??0450E0*", {}, false},
    {"star in the second digit of a pair", "A5*0", {0xA5}, true},
    {"no star, longer response", "A50004", {0xA5, 0x00, 0x04, 0x99}, true},
    {"no star, shorter response", "A50004", {0xA5, 0x00}, false},
    {"wildcard needs a byte", "A5??", {0xA5}, false},
    {"star alone matches nothing at all", "*", {}, true},
};

TEST(NpaPattern, MatchesAsTheResponseRuleSays) {
    for (const MatchCase& c : kMatchCases) {
        std::vector<PatternEntry> pattern;
        ASSERT_TRUE(usbprobe::ParsePattern(c.pattern, pattern)) << c.what;
        EXPECT_EQ(usbprobe::MatchResponse(pattern, c.response.data(), c.response.size()), c.passes) << c.what;
    }
}

TEST(NpaPattern, RefusesWhatIsNotAPattern) {
    const char* const kBroken[] = {"A5G0", "A5 00", "A", "A5-", "0x"};
    for (const char* text : kBroken) {
        std::vector<PatternEntry> pattern;
        EXPECT_FALSE(usbprobe::ParsePattern(text, pattern)) << text;
    }
}

TEST(NpaCommand, ParsesPairsAndRefusesWildcardsOrOddCounts) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(usbprobe::ParseHexBytes("A500040a", bytes));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0xA5, 0x00, 0x04, 0x0A}));
    for (const char* text : {"A5??", "A5*", "A50", "A5 0"}) {
        EXPECT_FALSE(usbprobe::ParseHexBytes(text, bytes)) << text;
    }
}

using Directives = std::vector<std::pair<char, std::string>>;

Directives Scan(const std::string& text) {
    Directives found;
    usbprobe::ScanScript(
        text, [&](char letter, const std::string& argument) { found.emplace_back(letter, argument); });
    return found;
}

TEST(NpaScript, FindsEachDirectiveAndItsArgument) {
    const std::string text =
        "#: Read settings\r\n"
        "C:A5000450E0\r\n"
        "r: :: A5??*\r\n"
        "X: not a directive C:A5\r\n"
        "p:Turn the printer on\r\n"
        "f:/tmp/page.prn";
    const Directives expected = {
        {'#', "#: Read settings"},
        {'C', "A5000450E0"},
        {'r', "A5??*"},
        {'C', "A5"},  // the scan goes character by character, so a directive may start mid-line
        {'p', "Turn the printer on"},
        {'f', "/tmp/page.prn"},
    };
    EXPECT_EQ(Scan(text), expected);
}

TEST(NpaScript, CutsLongLinesAndSurvivesATruncatedEnd) {
    const std::string longArgument(300, 'A');
    const Directives found = Scan("C:" + longArgument + "\r\n#:" + std::string(300, 'n') + "\nR");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].second, std::string(256, 'A'));
    EXPECT_EQ(found[1].second, "#:" + std::string(254, 'n'));
    EXPECT_EQ(Scan("C:"), (Directives{{'C', ""}}));
    EXPECT_TRUE(Scan("C").empty());
    EXPECT_TRUE(Scan("").empty());
}

struct HeaderCase {
    int hour;
    const char* expected;
};

TEST(NpaResults, HeaderShowsTheTwelveHourClock) {
    const HeaderCase kCases[] = {
        {0, "\n-----> Wed Jun  2 12:49:08 AM <-----\n"},  {11, "\n-----> Wed Jun  2 11:49:08 AM <-----\n"},
        {12, "\n-----> Wed Jun  2 12:49:08 AM <-----\n"}, {13, "\n-----> Wed Jun  2 01:49:08 PM <-----\n"},
        {23, "\n-----> Wed Jun  2 11:49:08 PM <-----\n"},
    };
    for (const HeaderCase& c : kCases) {
        std::tm local{};
        local.tm_year = 93;
        local.tm_mon = 5;
        local.tm_mday = 2;
        local.tm_wday = 3;
        local.tm_hour = c.hour;
        local.tm_min = 49;
        local.tm_sec = 8;
        EXPECT_EQ(usbprobe::ResultsHeader(local), c.expected) << c.hour;
    }
}

}  // namespace
}  // namespace usbprobe_test
