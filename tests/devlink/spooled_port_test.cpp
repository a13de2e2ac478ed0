#include <gtest/gtest.h>

#include <filesystem>

#include "devlink/npa_packet.h"
#include "devlink/port_manager.h"
#include "devlink/slc.h"
#include "tests/devlink/devlink_fixture.h"

namespace {

using devlinktest::Bytes;
using devlinktest::Concat;
using devlinktest::DevlinkTest;
using devlinktest::ReadBytes;
using devlinktest::SameBytes;
using Messages = std::vector<std::string>;

const Bytes kStart(devlink::npa::kNpaStart.begin(), devlink::npa::kNpaStart.end());
const Bytes kOfflineRecord(devlink::npa::kOfflineRecord.begin(), devlink::npa::kOfflineRecord.end());
const Bytes kOnlineRecord(devlink::npa::kOnlineRecord.begin(), devlink::npa::kOnlineRecord.end());
const Bytes kCommand = {
    0xA5, 0x00, 0x06,  // start, length 6
    0x50,              // flags: response requested
    0xE0,              // command
    0x21, 0x00, 0x05,  // data
    0x01,              //
};
const Bytes kStoredCommand = {0xA5, 0x00, 0x06, 0x40, 0xE0, 0x21, 0x00, 0x05, 0x01};

// Notes, at every pause, what the port has received and which files still exist.
class WatchingClock : public platform::FakeClock {
  public:
    explicit WatchingClock(std::vector<std::string> watched) : watched_(std::move(watched)) {}

    void Sleep(uint32_t milliseconds) override {
        std::string note = std::to_string(milliseconds) + " ms after " +
                           std::to_string(ReadBytes(watched_[0]).size()) + " bytes;";
        for (size_t i = 1; i < watched_.size(); ++i) {
            note += std::filesystem::exists(watched_[i]) ? " present" : " gone";
        }
        notes.push_back(note);
        FakeClock::Sleep(milliseconds);
    }

    std::vector<std::string> notes;

  private:
    std::vector<std::string> watched_;
};

class SpooledPortTest : public DevlinkTest {
  protected:
    SpooledPortTest() {
        SetRegistry("LoggingLevel", 3);
        std::filesystem::create_directories(root.Path() + "/dev");
    }

    std::string Spool(const char* name) const { return TempFolder() + "/" + name; }
    std::string OfflineFile() const { return TempFolder() + "/offline.npa"; }
    std::string Device() const { return root.Path() + "/dev/lp0"; }

    void SpoolOneCommand() {
        ASSERT_EQ(manager.OpenPort("LPT1"), SLC_OPEN_UNIDIRECTIONAL);
        ASSERT_EQ(manager.Offline("LPT1", 1), SLC_OK);
        ASSERT_EQ(manager.SendCommand("LPT1", kCommand.data(), 9, nullptr, nullptr), SLC_OK);
        ASSERT_EQ(manager.Offline("LPT1", 0), SLC_OK);
    }

    devlink::CPortManager manager{log};
};

TEST_F(SpooledPortTest, SpoolFilesAreNumberedByACounterFrom32) {
    const char* expected[] = {"LPT20.TMP", "LPT21.TMP", "LPT22.TMP"};
    for (const char* name : expected) {
        EXPECT_EQ(manager.OpenPort("LPT1"), SLC_OPEN_UNIDIRECTIONAL);
        EXPECT_EQ(manager.SpoolFileName(), Spool(name));
        EXPECT_TRUE(std::filesystem::exists(Spool(name)));
    }
}

TEST_F(SpooledPortTest, ClosingSendsOfflineFilePausesSendsSpoolFileAndDeletesBoth) {
    ASSERT_TRUE(std::filesystem::exists(root.Write("dev/lp0", "")));
    WatchingClock watching({Device(), OfflineFile(), Spool("LPT20.TMP")});
    platform::ScopedClock scoped(watching);
    SpoolOneCommand();
    EXPECT_EQ(manager.OfflineFileName(), OfflineFile());
    EXPECT_TRUE(SameBytes(Concat({kStart, kOfflineRecord}), ReadBytes(OfflineFile())));

    EXPECT_EQ(manager.ClosePort("LPT1"), SLC_OK);
    EXPECT_EQ(watching.notes, (std::vector<std::string>{"5000 ms after 28 bytes; present present"}));
    EXPECT_TRUE(SameBytes(Concat({kStart, kOfflineRecord, kStart, kStoredCommand, kStart, kOnlineRecord}),
                          ReadBytes(Device())));
    EXPECT_FALSE(std::filesystem::exists(OfflineFile()));
    EXPECT_FALSE(std::filesystem::exists(Spool("LPT20.TMP")));
    EXPECT_EQ(manager.OpenPortName(), "");
    EXPECT_EQ(manager.SpoolFileName(), "");
}

TEST_F(SpooledPortTest, WithoutAnOfflineRecordNothingIsSent) {
    root.Write("dev/lp0", "");
    ASSERT_EQ(manager.OpenPort("LPT1"), SLC_OPEN_UNIDIRECTIONAL);
    ASSERT_EQ(manager.SendCommand("LPT1", kCommand.data(), 9, nullptr, nullptr), SLC_OK);
    std::filesystem::remove(LogPath());
    EXPECT_EQ(manager.ClosePort("LPT1"), SLC_OK);
    EXPECT_TRUE(clock.Sleeps().empty());
    EXPECT_EQ(ReadBytes(Device()).size(), 0u);
    EXPECT_TRUE(std::filesystem::exists(Spool("LPT20.TMP")));  // left in the temporary folder
    EXPECT_EQ(LogMessages(),
              (Messages{"SlcClosePort(LPT1)", "SlcClosePort(LPT1) - port is open",
                        "SlcClosePort(LPT1) - port is parallel", "ParQuorvexDosPort(xxx, LPT1)"}));
}

TEST_F(SpooledPortTest, AMissingDeviceCostsOnlyALogLine) {
    SpoolOneCommand();
    std::filesystem::remove(LogPath());
    EXPECT_EQ(manager.ClosePort("LPT1"), SLC_OK);
    EXPECT_EQ(clock.Sleeps(), (std::vector<uint32_t>{5000}));
    EXPECT_FALSE(std::filesystem::exists(OfflineFile()));
    EXPECT_FALSE(std::filesystem::exists(Spool("LPT20.TMP")));
    EXPECT_FALSE(std::filesystem::exists(Device()));
    EXPECT_EQ(LogMessages(),
              (Messages{"SlcClosePort(LPT1)", "SlcClosePort(LPT1) - port is open",
                        "SlcClosePort(LPT1) - port is parallel", "SlcClosePort(Unidirectional workaround)",
                        "SlcCopyFiles() - CopyFile error:2", "SlcCopyFiles() - CopyFile error:2"}));
}

TEST_F(SpooledPortTest, ReopeningKeepsTheFilesAndSendsNothing) {
    root.Write("dev/lp0", "");
    SpoolOneCommand();
    ASSERT_EQ(manager.OpenPort("LPT1"), SLC_OPEN_UNIDIRECTIONAL);
    EXPECT_EQ(manager.OfflineFileName(), "");
    EXPECT_TRUE(std::filesystem::exists(OfflineFile()));
    EXPECT_TRUE(std::filesystem::exists(Spool("LPT20.TMP")));
    EXPECT_EQ(ReadBytes(Device()).size(), 0u);
}

TEST_F(SpooledPortTest, LeftoverSpoolFileIsEmptied) {
    root.Write("tmp/LPT20.TMP", "commands of an earlier run");
    ASSERT_EQ(manager.OpenPort("LPT1"), SLC_OPEN_UNIDIRECTIONAL);
    EXPECT_EQ(ReadBytes(Spool("LPT20.TMP")).size(), 0u);
}

TEST_F(SpooledPortTest, UnwritableTemporaryFolderFailsTheOpen) {
    setenv("TMPDIR", (root.Path() + "/no-such-folder").c_str(), 1);
    EXPECT_EQ(manager.OpenPort("LPT1"), SLC_OPEN_FAIL);
    EXPECT_EQ(manager.OpenPortName(), "");
    EXPECT_EQ(LogMessages().at(1), "SlcOpenPort(Unidirectional workaround) - failed, last error was 2");
    setenv("TMPDIR", TempFolder().c_str(), 1);
    EXPECT_EQ(manager.OpenPort("LPT1"), SLC_OPEN_UNIDIRECTIONAL);
    EXPECT_EQ(manager.SpoolFileName(), Spool("LPT21.TMP"));  // every open counts
}

TEST_F(SpooledPortTest, FacadeRunsOverTheProcessWideInstance) {
    root.Write("dev/lp0", "");
    ASSERT_EQ(SlcOpenPort("LPT1"), SLC_OPEN_UNIDIRECTIONAL);
    ASSERT_EQ(SlcOffline("LPT1", 1), SLC_OK);
    ASSERT_EQ(SlcSendCommand("LPT1", kCommand.data(), 65536 + 9, nullptr, nullptr), SLC_OK);
    ASSERT_EQ(SlcOffline("LPT1", 0), SLC_OK);
    EXPECT_EQ(SlcCopyFiles(), SLC_OK);
    EXPECT_EQ(ReadBytes(Device()).size(), 28u + 28u + 28u);
    EXPECT_EQ(SlcClosePort("LPT1"), SLC_OK);
    EXPECT_EQ(SlcSendCommand("LPT1", kCommand.data(), 9, nullptr, nullptr), SLC_PORT_NOT_OPEN);
    SlcShutdown();
}

}  // namespace
