#include "devlink/file_port.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <limits>

#include "devlink/npa_packet.h"
#include "devlink/slc.h"
#include "tests/devlink/devlink_fixture.h"

namespace {

using devlinktest::Bytes;
using devlinktest::Concat;
using devlinktest::DevlinkTest;
using devlinktest::SameBytes;
using Messages = std::vector<std::string>;

const Bytes kStart(devlink::npa::kNpaStart.begin(), devlink::npa::kNpaStart.end());

// A port that takes at most `chunk` bytes per call and fails with ENOSPC once `capacity` bytes are in.
class FakeSink : public devlink::IRecordSink {
  public:
    explicit FakeSink(size_t capacity = std::numeric_limits<size_t>::max(), size_t chunk = 1000)
        : capacity_(capacity), chunk_(chunk) {}

    ssize_t Write(const uint8_t* data, size_t size) override {
        if (bytes.size() >= capacity_) {
            errno = ENOSPC;
            return -1;
        }
        const size_t n = std::min({size, chunk_, capacity_ - bytes.size()});
        bytes.insert(bytes.end(), data, data + n);
        return static_cast<ssize_t>(n);
    }

    Bytes bytes;

  private:
    size_t capacity_;
    size_t chunk_;
};

class FilePortTest : public DevlinkTest {
  protected:
    FilePortTest() { log.SetLevel(3); }
};

const Bytes kWriteCommand = {
    0xA5, 0x00, 0x07,  // start, length 7
    0x50,              // flags: response requested
    0xE0,              // command
    0x12, 0x34,        // data
    0x01, 0x02, 0x03,  //
};

TEST_F(FilePortTest, CommandRecordIsStartPacketAndCommandWithoutResponseBit) {
    FakeSink sink(std::numeric_limits<size_t>::max(), 4);  // short writes are carried on
    uint32_t replyLength = 77;
    ASSERT_EQ(devlink::FileSendCommand(log, sink, kWriteCommand.data(), 10, &replyLength), SLC_OK);
    Bytes written = kWriteCommand;
    written[3] = 0x40;
    EXPECT_TRUE(SameBytes(Concat({kStart, written}), sink.bytes));
    EXPECT_EQ(replyLength, 77u);
    EXPECT_EQ(LogMessages(), (Messages{"FileSendCommand(): response requested, tweaking command buffer",
                                       "Successfully wrote 10 bytes"}));
}

TEST_F(FilePortTest, CommandSizeIsTheLow16BitsAndAtMost512) {
    Bytes command(600, 0x00);
    command[0] = 0xA5;
    struct Case {
        uint32_t length;
        int expected;
        size_t written;
    } const cases[] = {
        {512, SLC_OK, 19 + 512},
        {513, SLC_SEND_TOOLARGE, 0},
        {65536 + 9, SLC_OK, 19 + 9},
        {65536 + 513, SLC_SEND_TOOLARGE, 0},
        {2, SLC_OK, 19 + 2},  // too short to hold flags: nothing is read past it
        {0, SLC_OK, 19},
    };
    for (const Case& c : cases) {
        FakeSink sink;
        const Bytes exact(command.begin(), command.begin() + (c.length & 0xFFFF));
        EXPECT_EQ(devlink::FileSendCommand(log, sink, exact.data(), c.length, nullptr), c.expected)
            << c.length;
        EXPECT_EQ(sink.bytes.size(), c.written) << c.length;
    }
}

TEST_F(FilePortTest, FailedOrShortCommandWriteIsReported) {
    struct Case {
        size_t capacity;
        int expected;
        uint32_t replyLength;
        Messages messages;
    } const cases[] = {
        {100, SLC_OK, 50, {"Successfully wrote 10 bytes"}},
        {0, SLC_SEND_WRITEFAIL, 50, {"SendNPAStart() returned -1"}},
        {10, SLC_SEND_WRITEFAIL, 50, {"SendNPAStart() returned -1"}},  // a start packet cut short
        {19, SLC_SEND_WRITEFAIL, 0, {}},
        {22, SLC_SEND_WRITEFAIL, 0, {"FileSendCommand(): Error 28, but wrote 3 bytes"}},
    };
    Bytes command = kWriteCommand;
    command[3] = 0x40;
    for (const Case& c : cases) {
        std::filesystem::remove(LogPath());
        FakeSink sink(c.capacity);
        uint32_t replyLength = 50;
        EXPECT_EQ(devlink::FileSendCommand(log, sink, command.data(), 10, &replyLength), c.expected)
            << c.capacity;
        EXPECT_EQ(replyLength, c.replyLength) << c.capacity;
        EXPECT_EQ(LogMessages(), c.messages) << c.capacity;
    }
}

TEST_F(FilePortTest, OfflineAndOnlineRecords) {
    struct Case {
        uint8_t offline;
        size_t capacity;
        int expected;
        Bytes written;
        Messages messages;
    } const cases[] = {
        {1,
         100,
         SLC_OK,
         Concat({kStart, {0xA5, 0x00, 0x06, 0x40, 0xE0, 0xE7, 0x0C, 0x01, 0x00}}),
         {"FileOffline(): Successfully wrote 9 bytes"}},
        {0,
         100,
         SLC_OK,
         Concat({kStart, {0xA5, 0x00, 0x06, 0x40, 0xE0, 0xE7, 0x0C, 0x00, 0x00}}),
         {"FileOffline(): Successfully wrote 9 bytes"}},
        {1, 0, SLC_OFFLINE_WRITEFAIL, {}, {"SendNPAStart() returned -1"}},
        {1,
         24,
         SLC_OFFLINE_WRITEFAIL,
         Concat({kStart, {0xA5, 0x00, 0x06, 0x40, 0xE0}}),
         {"FileOffline(): Error 28, but wrote 5 bytes"}},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(LogPath());
        FakeSink sink(c.capacity);
        EXPECT_EQ(devlink::FileOffline(log, sink, c.offline), c.expected);
        EXPECT_TRUE(SameBytes(c.written, sink.bytes));
        EXPECT_EQ(LogMessages(), c.messages);
    }
}

TEST_F(FilePortTest, NamesOfSpoolOfflineAndDeviceFiles) {
    EXPECT_EQ(devlink::SpoolFileName("/tmp", "LPT1", 32), "/tmp/LPT20.TMP");
    EXPECT_EQ(devlink::SpoolFileName("/tmp", "LPT2", 0xAB), "/tmp/LPTAB.TMP");
    EXPECT_EQ(devlink::OfflineFileBeside("/out/x.npa"), "/out/offline.npa");
    EXPECT_EQ(devlink::OfflineFileBeside("x.npa"), "offline.npa");
    const struct {
        const char* port;
        std::string device;
    } devices[] = {
        {"LPT1", root.Path() + "/dev/lp0"},
        {"LPT3", root.Path() + "/dev/lp2"},
        {"LPT12", root.Path() + "/dev/lp11"},
        {"LPT0", ""},
        {"LPT", ""},
        {"LPTx", ""},
        {"LPT1x", ""},
    };
    for (const auto& d : devices) {
        EXPECT_EQ(devlink::ParallelDevicePath(d.port), d.device) << d.port;
    }
}

}  // namespace
