#include "devlink/port_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <optional>

#include "devlink/npa_packet.h"
#include "devlink/slc.h"
#include "platform/registry.h"
#include "tests/devlink/devlink_fixture.h"

namespace {

using devlinktest::Bytes;
using devlinktest::Concat;
using devlinktest::DevlinkTest;
using devlinktest::ReadBytes;
using devlinktest::SameBytes;
using Messages = std::vector<std::string>;

const Bytes kStart(devlink::npa::kNpaStart.begin(), devlink::npa::kNpaStart.end());
const Bytes kOfflineRecord = {
    0xA5, 0x00, 0x06,  // start, length 6
    0x40,              // flags: no response requested
    0xE0,              // command
    0xE7, 0x0C,        // data
    0x01,              // offline
    0x00,              //
};
const Bytes kOnlineRecord = {
    0xA5, 0x00, 0x06,  // start, length 6
    0x40,              // flags
    0xE0,              // command
    0xE7, 0x0C,        // data
    0x00,              // online
    0x00,              //
};

// Write commands as the settings exchange hands them over: flags 0x50 ask for a reply.
Bytes WriteCommand(uint8_t id, uint8_t value, uint8_t flags = 0x50) {
    return {
        0xA5,  0x00,  0x08,  // start, length 8
        flags,               //
        0xE0,                // command
        0x21,  0x00,  id,    // sub-command and setting
        0x01,  value,        // value
        0x00,                //
    };
}

// Records what the port manager asks of the USB kind and answers from scripted results.
class FakeUsbTransport : public devlink::IUsbTransport {
  public:
    int Open(const std::string& portName, std::string& devicePath, std::string& deviceId) override {
        calls.push_back("Open " + portName);
        if (openResult == SLC_OK) {
            devicePath = "/dev/usb/lp0";
            deviceId = "MODEL:Quorvex K600;";
        }
        return openResult;
    }
    int SendCommand(const std::string& devicePath, const uint8_t* command, uint32_t length, uint8_t*,
                    uint32_t*, uint32_t timeout) override {
        calls.push_back("Send " + devicePath);
        sent.emplace_back(command, command + length);
        lastTimeout = timeout;
        if (sendResults.empty()) {
            return SLC_OK;
        }
        const int result = sendResults.front();
        sendResults.pop_front();
        return result;
    }
    int Offline(const std::string& devicePath, uint8_t offline, uint32_t timeout) override {
        calls.push_back((offline ? "Offline " : "Online ") + devicePath);
        lastTimeout = timeout;
        return offlineResult;
    }
    void StopReader() override { calls.push_back("StopReader"); }
    void EmptySlots() override { calls.push_back("EmptySlots"); }

    int openResult = SLC_OK;
    int offlineResult = SLC_OK;
    std::deque<int> sendResults;
    std::vector<std::string> calls;
    std::vector<Bytes> sent;
    uint32_t lastTimeout = 0;
};

class PortManagerTest : public DevlinkTest {
  protected:
    devlink::CPortManager& WithUsb() {
        auto fake = std::make_unique<FakeUsbTransport>();
        usb = fake.get();
        manager.InstallUsbTransport(std::move(fake));
        return manager;
    }

    int Send(const std::string& port, const Bytes& command, uint32_t* replyLength = nullptr) {
        return manager.SendCommand(port, command.data(), static_cast<uint32_t>(command.size()), nullptr,
                                   replyLength);
    }

    std::string Out(const std::string& name) const { return root.Path() + "/out/" + name; }

    devlink::CPortManager manager{log};
    FakeUsbTransport* usb = nullptr;
};

TEST(PortKind, ByTheFirstThreeCharactersCaseSensitively) {
    using devlink::PortKind;
    const struct {
        const char* name;
        PortKind kind;
    } cases[] = {
        {"LPT1", PortKind::Parallel}, {"lpt1", PortKind::File},       {"USB001", PortKind::Usb},
        {"usb001", PortKind::File},   {"/out/x.npa", PortKind::File}, {"LP", PortKind::File},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(devlink::KindOfPort(c.name), c.kind) << c.name;
    }
}

TEST_F(PortManagerTest, ThreeCommandsMakeACommandFileAndAnOfflineFile) {
    std::filesystem::create_directories(root.Path() + "/out");
    const std::string path = Out("x.npa");
    const Bytes commands[] = {WriteCommand(0x01, 0x02), WriteCommand(0x05, 0x00), WriteCommand(0x07, 0x03)};
    ASSERT_EQ(manager.OpenPort(path), SLC_OK);
    ASSERT_EQ(manager.Offline(path, 1), SLC_OK);
    for (const Bytes& command : commands) {
        uint32_t replyLength = 2048;
        ASSERT_EQ(Send(path, command, &replyLength), SLC_OK);
        EXPECT_EQ(replyLength, 2048u);
    }
    ASSERT_EQ(manager.Offline(path, 0), SLC_OK);
    ASSERT_EQ(manager.ClosePort(path), SLC_OK);

    EXPECT_TRUE(SameBytes(Concat({kStart, WriteCommand(0x01, 0x02, 0x40),  //
                                  kStart, WriteCommand(0x05, 0x00, 0x40),  //
                                  kStart, WriteCommand(0x07, 0x03, 0x40),  //
                                  kStart, kOnlineRecord}),
                          ReadBytes(path)));
    EXPECT_EQ(ReadBytes(path).size(), 4 * 19 + 3 * 11 + 9u);
    EXPECT_TRUE(SameBytes(Concat({kStart, kOfflineRecord}), ReadBytes(Out("offline.npa"))));
    EXPECT_EQ(manager.OpenPortName(), "");
}

TEST_F(PortManagerTest, AnEmptyListStillWritesBothFiles) {
    std::filesystem::create_directories(root.Path() + "/out");
    const std::string path = Out("empty.npa");
    ASSERT_EQ(manager.OpenPort(path), SLC_OK);
    ASSERT_EQ(manager.Offline(path, 1), SLC_OK);
    ASSERT_EQ(manager.Offline(path, 0), SLC_OK);
    ASSERT_EQ(manager.ClosePort(path), SLC_OK);
    EXPECT_TRUE(SameBytes(Concat({kStart, kOnlineRecord}), ReadBytes(path)));
    EXPECT_EQ(ReadBytes(Out("offline.npa")).size(), 28u);
}

TEST_F(PortManagerTest, FilePortFailures) {
    std::filesystem::create_directories(root.Path() + "/out/offline.npa");  // a folder where the file goes
    SetRegistry("LoggingLevel", 3);
    EXPECT_EQ(manager.OpenPort(root.Path() + "/missing/x.npa"), SLC_OPEN_FAIL);
    EXPECT_EQ(manager.OpenPortName(), "");
    EXPECT_EQ(manager.OpenPort(Out("x.npa")), SLC_OK);
    EXPECT_EQ(manager.Offline(Out("x.npa"), 1), SLC_OPEN_FAIL);
    const Bytes tooLarge(513, 0xA5);
    EXPECT_EQ(Send(Out("x.npa"), tooLarge), SLC_SEND_TOOLARGE);
    EXPECT_EQ(ReadBytes(Out("x.npa")).size(), 0u);
    const Messages messages = LogMessages();
    EXPECT_NE(std::find(messages.begin(), messages.end(), "SlcOpenPort(FILE) - failed, last error was 2"),
              messages.end());
    EXPECT_NE(std::find(messages.begin(), messages.end(), "FileSendCommand(): command too large!"),
              messages.end());
}

TEST_F(PortManagerTest, FilePortSessionIsTraced) {
    SetRegistry("LoggingLevel", 3);
    std::filesystem::create_directories(root.Path() + "/out");
    const std::string path = Out("x.npa");
    const Bytes command = WriteCommand(0x01, 0x02, 0x40);
    manager.OpenPort(path);
    manager.Offline(path, 1);
    Send(path, command);
    Send("LPT1", command);
    manager.Offline(path, 0);
    manager.ClosePort("LPT1");
    manager.ClosePort(path);
    EXPECT_EQ(LogMessages(),
              (Messages{
                  "SlcOpenPort(" + path + ")",
                  "SlcOpenPort(FILE) - CreateFile() worked",
                  "SlcOpenPort(" + path + ") - returning 0",
                  "SlcOffline(" + path + ", offline)",
                  "SlcOffline(" + path + ", offline) - offline file is [" + Out("offline.npa") + "]",
                  "FileOffline(): Successfully wrote 9 bytes",
                  "SlcSendCommand()",
                  "Successfully wrote 11 bytes",
                  "SlcSendCommand()",
                  "port LPT1 is not open",
                  "SlcOffline(" + path + ", online)",
                  "FileOffline(): Successfully wrote 9 bytes",
                  "SlcClosePort(LPT1)",
                  "port LPT1 is not open",
                  "SlcClosePort(" + path + ")",
                  "SlcClosePort(" + path + ") - port is open",
                  "SlcClosePort(" + path + ") - port is FILE",
              }));
}

TEST_F(PortManagerTest, RegistrySettings) {
    struct Case {
        const char* what;
        bool createKey;
        std::optional<uint32_t> timeoutSeconds;
        std::optional<uint32_t> loggingLevel;
        uint32_t expectedTimeout;
        uint32_t expectedLevel;
    } const cases[] = {
        {"no key", false, {}, {}, 12000, 0},
        {"empty key", true, {}, {}, 12000, 0},
        {"30 seconds", true, 30, {}, 30000, 0},
        {"logging on", true, {}, 0x13, 12000, 0x13},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(root.Path() + "/var/lib");
        if (c.createKey) {
            platform::RegistryKey key;
            ASSERT_EQ(platform::RegistryKey::Create(devlink::kSlcRegistryKey, key), platform::RegResult::Ok);
        }
        if (c.timeoutSeconds) {
            SetRegistry("USBSendTimeout", *c.timeoutSeconds);
        }
        if (c.loggingLevel) {
            SetRegistry("LoggingLevel", *c.loggingLevel);
        }
        devlink::CSlcLog caseLog;
        devlink::CPortManager caseManager(caseLog);
        caseManager.Init();
        EXPECT_EQ(caseManager.ResponseWaitTimeout(), c.expectedTimeout) << c.what;
        EXPECT_EQ(caseLog.Level(), c.expectedLevel) << c.what;
        EXPECT_EQ(caseManager.OsFamily(), 2) << c.what;

        platform::RegistryKey key;
        ASSERT_EQ(platform::RegistryKey::Open(devlink::kSlcRegistryKey, platform::RegAccess::Read, key),
                  platform::RegResult::Ok)
            << c.what;
        EXPECT_EQ(key.ReadDword("LoggingLevel"), c.expectedLevel) << c.what;
        EXPECT_EQ(key.ReadDword("USBSendTimeout"), c.timeoutSeconds) << c.what;  // never written
    }
}

TEST_F(PortManagerTest, InitEmptiesTheLogWhenLoggingIsOn) {
    root.Write("var/tmp/QvxSlc32.log", "an earlier run\n");
    SetRegistry("LoggingLevel", 1);
    manager.Init();
    EXPECT_EQ(ReadBytes(LogPath()).size(), 0u);
    manager.Init();  // once only: the timeout a test set stays
    manager.SetResponseWaitTimeout(5);
    manager.Init();
    EXPECT_EQ(manager.ResponseWaitTimeout(), 5u);
}

TEST_F(PortManagerTest, UsbPortNeedsATransport) {
    EXPECT_EQ(manager.OpenPort("USB001"), SLC_OPEN_FAIL);
    EXPECT_EQ(manager.OpenPortName(), "");
    WithUsb().SetResponseWaitTimeout(30000);
    usb->openResult = SLC_OPEN_FAIL;
    EXPECT_EQ(manager.OpenPort("USB001"), SLC_OPEN_FAIL);
    EXPECT_EQ(manager.UsbDevicePath(), "");
    usb->openResult = SLC_OK;
    EXPECT_EQ(manager.OpenPort("USB001"), SLC_OK);
    EXPECT_EQ(manager.UsbDevicePath(), "/dev/usb/lp0");
    EXPECT_EQ(manager.UsbDeviceId(), "MODEL:Quorvex K600;");
    const Bytes command = WriteCommand(1, 2);
    EXPECT_EQ(Send("USB001", command), SLC_OK);
    EXPECT_EQ(usb->lastTimeout, 30000u);
    ASSERT_EQ(usb->sent.size(), 1u);
    EXPECT_EQ(usb->sent[0], command);  // the transport clears nothing: the printer is asked for a reply
}

TEST_F(PortManagerTest, OperationsOnAnotherNameAreRefused) {
    WithUsb();
    ASSERT_EQ(manager.OpenPort("USB001"), SLC_OK);
    usb->calls.clear();
    const Bytes command = WriteCommand(1, 2);
    EXPECT_EQ(Send("USB002", command), SLC_PORT_NOT_OPEN);
    EXPECT_EQ(Send("usb001", command), SLC_PORT_NOT_OPEN);
    EXPECT_EQ(manager.Offline("USB002", 1), SLC_PORT_NOT_OPEN);
    EXPECT_EQ(manager.ClosePort("USB002"), SLC_OK);
    EXPECT_TRUE(usb->calls.empty());
    EXPECT_EQ(manager.OpenPortName(), "USB001");

    EXPECT_EQ(manager.ClosePort("USB001"), SLC_OK);
    EXPECT_EQ(usb->calls, (std::vector<std::string>{"StopReader", "EmptySlots"}));
    EXPECT_EQ(manager.UsbDevicePath(), "");
    EXPECT_EQ(Send("", command), SLC_PORT_NOT_OPEN);  // nothing open is no port named ""
    EXPECT_EQ(Send("USB001", command), SLC_PORT_NOT_OPEN);
}

TEST_F(PortManagerTest, OpeningClosesThePreviousPortByItsKind) {
    WithUsb();
    std::filesystem::create_directories(root.Path() + "/out");
    ASSERT_EQ(manager.OpenPort(Out("x.npa")), SLC_OK);
    ASSERT_EQ(manager.OpenPort("USB001"), SLC_OK);
    EXPECT_EQ(Send(Out("x.npa"), WriteCommand(1, 2)), SLC_PORT_NOT_OPEN);
    ASSERT_EQ(manager.OpenPort("USB001"), SLC_OK);  // the reader is told to stop before the port reopens
    EXPECT_EQ(usb->calls, (std::vector<std::string>{"Open USB001", "StopReader", "Open USB001"}));

    usb->openResult = SLC_OPEN_FAIL;
    EXPECT_EQ(manager.OpenPort("USB001"), SLC_OPEN_FAIL);  // a failed open leaves no port open
    EXPECT_EQ(manager.OpenPortName(), "");
}

TEST_F(PortManagerTest, UsbOfflineSequence) {
    const Bytes registration = {0xA5, 0x00, 0x04, 0x50, 0xE0, 0x03, 0x40};
    const Bytes deregistration = {0xA5, 0x00, 0x04, 0x50, 0xE0, 0x03, 0x00};
    struct Case {
        const char* what;
        uint8_t offline;
        std::deque<int> sendResults;
        int offlineResult;
        int expected;
        std::vector<std::string> calls;
    } const cases[] = {
        {"offline",
         1,
         {},
         SLC_OK,
         SLC_OK,
         {"Send /dev/usb/lp0", "Offline /dev/usb/lp0", "Send /dev/usb/lp0"}},
        {"online", 0, {}, SLC_OK, SLC_OK, {"Send /dev/usb/lp0", "Online /dev/usb/lp0", "Send /dev/usb/lp0"}},
        {"registration fails", 1, {SLC_SEND_READFAIL}, SLC_OK, SLC_OFFLINE_WRITEFAIL, {"Send /dev/usb/lp0"}},
        {"rejected: registration stays",
         1,
         {},
         SLC_OFFLINE_REJECTED,
         SLC_OFFLINE_REJECTED,
         {"Send /dev/usb/lp0", "Offline /dev/usb/lp0"}},
        {"deregistration fails",
         1,
         {SLC_OK, SLC_SEND_READFAIL},
         SLC_OK,
         SLC_OK,
         {"Send /dev/usb/lp0", "Offline /dev/usb/lp0", "Send /dev/usb/lp0"}},
    };
    WithUsb();
    for (const Case& c : cases) {
        ASSERT_EQ(manager.OpenPort("USB001"), SLC_OK);
        usb->calls.clear();
        usb->sent.clear();
        usb->sendResults = c.sendResults;
        usb->offlineResult = c.offlineResult;
        EXPECT_EQ(manager.Offline("USB001", c.offline), c.expected) << c.what;
        EXPECT_EQ(usb->calls, c.calls) << c.what;
        ASSERT_FALSE(usb->sent.empty());
        EXPECT_EQ(usb->sent.front(), registration) << c.what;
        if (usb->sent.size() > 1) {
            EXPECT_EQ(usb->sent.back(), deregistration) << c.what;
        }
    }
}

TEST_F(PortManagerTest, UsbOfflineIsTraced) {
    SetRegistry("LoggingLevel", 1);
    WithUsb();
    ASSERT_EQ(manager.OpenPort("USB001"), SLC_OK);
    std::filesystem::remove(LogPath());
    usb->sendResults = {SLC_OK, SLC_SEND_READFAIL};
    manager.Offline("USB001", 1);
    usb->offlineResult = SLC_OFFLINE_REJECTED;
    manager.Offline("USB001", 0);
    usb->sendResults = {SLC_SEND_WRITEFAIL};
    manager.Offline("USB001", 0);
    const std::string prefix = "SlcOffline(USB001, ";
    EXPECT_EQ(
        LogMessages(),
        (Messages{
            prefix + "offline)",
            prefix + "offline) - registering for offline alert",
            "SlcSendCommand()",
            prefix + "offline) - sending remote OFFline",
            prefix + "offline) - deregistering for offline alert",
            "SlcSendCommand()",
            prefix + "offline) - SlcSendCommand() failed with error code -6 (no biggie, we were just trying "
                     "to deregister for the offline alert)",
            prefix + "online)",
            prefix + "online) - registering for offline alert",
            "SlcSendCommand()",
            prefix + "online) - sending remote ONline",
            prefix + "online) - Offline() failed with error code -4",
            prefix + "online)",
            prefix + "online) - registering for offline alert",
            "SlcSendCommand()",
            prefix + "online) - SlcSendCommand() failed with error code -3 (we couldn't register for the "
                     "offline alert)",
        }));
}

}  // namespace
