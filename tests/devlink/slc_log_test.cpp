#include "devlink/slc_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/devlink/devlink_fixture.h"

namespace {

using devlinktest::Bytes;
using devlinktest::DevlinkTest;
using Messages = std::vector<std::string>;

class SlcLogTest : public DevlinkTest {};

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(SlcLogTest, LineCarriesTimeOfDayAndTickCount) {
    log.SetLevel(1);
    clock.SetTimeOfDay({9, 5, 7});
    clock.Advance(233);
    log.Log(1, "SlcOpenPort(%s)\n", "LPT1");
    log.Log(1, "%s", "no newline of its own");
    EXPECT_EQ(ReadText(LogPath()),
              "09:05:07 1233: SlcOpenPort(LPT1)\n\n09:05:07 1233: no newline of its own\n");
}

TEST_F(SlcLogTest, TwentyBytesDumpAsTwoLinesAndAnEmptyOne) {
    log.SetLevel(16);
    Bytes bytes;
    for (uint8_t b = 0x30; b < 0x44; ++b) {
        bytes.push_back(b);
    }
    log.HexDump(bytes.data(), static_cast<uint32_t>(bytes.size()));
    EXPECT_EQ(LogMessages(), (Messages{
                                 "30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F  | 0123456789:;<=>?",
                                 "40 41 42 43 " + std::string(36, ' ') + " | @ABC",
                                 "",
                             }));
}

TEST_F(SlcLogTest, UnprintableBytesShowAsDots) {
    log.SetLevel(16);
    const Bytes bytes = {0x41, 0x0A, 0x7E, 0x7F};
    log.HexDump(bytes.data(), 4);
    ASSERT_EQ(LogMessages().size(), 2u);
    EXPECT_EQ(LogMessages()[0], "41 0A 7E 7F " + std::string(36, ' ') + " | A.~.");
}

TEST_F(SlcLogTest, DumpCountIsTakenModulo65536) {
    log.SetLevel(16);
    const Bytes bytes = {0x41, 0x42};
    log.HexDump(bytes.data(), 65536 + 2);  // reads two bytes, not 65538
    ASSERT_EQ(LogMessages().size(), 2u);
    EXPECT_TRUE(LogMessages()[0].ends_with(" | AB"));
    log.HexDump(nullptr, 5);  // no buffer: nothing to read
    EXPECT_EQ(LogMessages().size(), 3u);
}

TEST_F(SlcLogTest, CategoriesSelectWhatIsWritten) {
    const Bytes bytes = {0x41};
    struct Case {
        uint32_t level;
        Messages expected;
    } const cases[] = {
        {3, {"entry", "step"}},
        {16, {"heading", "41 " + std::string(45, ' ') + " | A", ""}},
        {1, {"entry"}},
        {19, {"entry", "step", "heading", "41 " + std::string(45, ' ') + " | A", ""}},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(LogPath());
        log.SetLevel(c.level);
        log.Log(1, "entry\n");
        log.Log(2, "step\n");
        log.Log(16, "heading\n");
        log.HexDump(bytes.data(), 1);
        EXPECT_EQ(LogMessages(), c.expected) << "level " << c.level;
    }
}

TEST_F(SlcLogTest, LevelZeroWritesNothingAtAll) {
    const Bytes bytes = {0x41};
    log.Log(0xFFFFFFFF, "anything\n");
    log.HexDump(bytes.data(), 1);
    EXPECT_FALSE(std::filesystem::exists(LogPath()));
}

TEST_F(SlcLogTest, LongMessagesAreCut) {
    log.SetLevel(1);
    log.Log(1, "%s", std::string(3000, 'x').c_str());
    ASSERT_EQ(LogMessages().size(), 1u);
    EXPECT_EQ(LogMessages()[0], std::string(devlink::kMaxLogMessage, 'x'));
}

TEST_F(SlcLogTest, APlantedLinkIsNeverFollowed) {
    const std::string target = root.Write("victim", "untouched");
    ASSERT_EQ(symlink(target.c_str(), LogPath().c_str()), 0);
    log.SetLevel(0xFF);
    log.Log(1, "message\n");
    log.Empty();
    EXPECT_EQ(ReadText(target), "untouched");
    EXPECT_TRUE(std::filesystem::is_symlink(LogPath()));
}

TEST_F(SlcLogTest, EmptyingClearsEarlierRuns) {
    root.Write("var/tmp/QvxSlc32.log", "an earlier run\n");
    log.Empty();
    EXPECT_EQ(ReadText(LogPath()), "");
}

TEST_F(SlcLogTest, FreeFunctionsWriteThroughTheProcessLog) {
    devlink::ProcessLog().SetLevel(17);
    const Bytes bytes = {0x41};
    SlcLog(1, "value %d\n", 7);
    SlcLog(2, "hidden\n");
    SlcLogHexDump(bytes.data(), 1);
    devlink::ProcessLog().SetLevel(0);
    EXPECT_EQ(LogMessages(), (Messages{"value 7", "41 " + std::string(45, ' ') + " | A", ""}));
}

}  // namespace
