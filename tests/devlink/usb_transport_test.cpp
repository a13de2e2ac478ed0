#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "devlink/npa_packet.h"
#include "devlink/port_manager.h"
#include "devlink/slc.h"
#include "devlink/usb_discovery.h"
#include "devlink/usb_port.h"
#include "sim/sim_host.h"
#include "tests/support/read_request.h"
#include "tests/support/temp_root.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kShortWait = 300;  // the reply time-out of these tests, in milliseconds

const Bytes kIdentityQuery = {0xA5, 0x00, 0x06,  // start, length
                              0x50,              // flags: response requested
                              0xE0, 0xEB, 0x00, 0x00, 0xB2};
const Bytes kPortListQuery = {0xA5, 0x00, 0x03, 0x50, 0xE0, 0x71};

sim::SimOptions Options() {
    sim::SimOptions options;
    options.modelFile = KELVARO_MODEL_FILE;
    return options;
}

class UsbTransportTest : public ::testing::Test {
  protected:
    UsbTransportTest() { std::filesystem::create_directories(root.Path() + "/var/tmp"); }

    sim::SimulatedPrinter& AddPrinter(sim::SimOptions options = Options()) {
        sim::SimulatedPrinter* printer = host.AddUsbPrinter(std::move(options));
        EXPECT_NE(printer, nullptr);
        return *printer;
    }

    // Opens the port through a port manager of the test's own with the real USB transport.
    int Open(const std::string& port) { return manager.OpenPort(port); }

    int Send(const std::string& port, const Bytes& command, Bytes& reply, size_t capacity = 8192) {
        reply.assign(capacity, 0);
        uint32_t length = static_cast<uint32_t>(capacity);
        int result = manager.SendCommand(port, command.data(), static_cast<uint32_t>(command.size()),
                                         reply.data(), &length);
        reply.resize(result == 0 ? length : 0);
        return result;
    }

    // What the printer sent last, as one packet.
    static Bytes LastSent(const sim::SimulatedPrinter& printer) {
        for (auto entries = printer.Transcript(); !entries.empty(); entries.pop_back()) {
            if (entries.back().direction == sim::Direction::Out) {
                return entries.back().bytes;
            }
        }
        return {};
    }

    testsupport::TempRoot root;
    sim::SimHost host;
    devlink::CSlcLog log;
    devlink::CUsbTransport* transport = nullptr;
    devlink::CPortManager manager{log, MakeTransport()};

    std::unique_ptr<devlink::IUsbTransport> MakeTransport() {
        auto usb = std::make_unique<devlink::CUsbTransport>(log);
        transport = usb.get();
        return usb;
    }

    void SetUp() override {
        manager.Init();
        manager.SetResponseWaitTimeout(kShortWait);
    }
};

TEST_F(UsbTransportTest, SpoolerPortFindsItsPrinterAmongSeveral) {
    sim::SimOptions second = Options();
    second.serial = "XY99";
    sim::SimulatedPrinter& first = AddPrinter();
    sim::SimulatedPrinter& other = AddPrinter(second);
    Bytes reply;
    ASSERT_EQ(Open("USB002"), SLC_OK);
    EXPECT_EQ(manager.UsbDevicePath(), root.Path() + "/dev/usb/lp1");
    EXPECT_EQ(manager.UsbDeviceId(), Options().deviceId);
    ASSERT_EQ(Send("USB002", kIdentityQuery, reply), SLC_OK);
    ASSERT_EQ(Open("USB001"), SLC_OK);
    EXPECT_EQ(manager.UsbDevicePath(), root.Path() + "/dev/usb/lp0");
    ASSERT_EQ(Send("USB001", kIdentityQuery, reply), SLC_OK);
    EXPECT_EQ(first.ReceivedCommands(), std::vector<Bytes>{kIdentityQuery});
    EXPECT_EQ(other.ReceivedCommands(), std::vector<Bytes>{kIdentityQuery});
    EXPECT_EQ(Open("USB003"), SLC_OPEN_FAIL);
    EXPECT_EQ(manager.OpenPortName(), "");
}

TEST_F(UsbTransportTest, PrintersThatCannotBeMatchedAreNotOpened) {
    struct Case {
        const char* name;
        std::string deviceId;
    } cases[] = {
        {"not a supported printer", "MFG:Other;CMD:PCL;MODEL:LaserJet 9;"},
        {"no MODEL field", "MFG:Quorvex;CMD:NPAP,PCL;"},
    };
    for (const Case& c : cases) {
        sim::SimHost otherHost;
        sim::SimOptions options = Options();
        options.deviceId = c.deviceId;
        ASSERT_NE(otherHost.AddUsbPrinter(options), nullptr);
        EXPECT_EQ(Open("USB001"), SLC_OPEN_FAIL) << c.name;
    }
    EXPECT_EQ(Open("USB001"), SLC_OPEN_FAIL) << "no printer attached";
}

TEST(UsbDiscoveryTest, CustomPortNamesAndDeviceIdFields) {
    devlink::CSlcLog silent;
    const std::string id = "MANUFACTURER:Quorvex;COMMAND SET:PCL;MODEL:Quorvex K600;";
    std::string model;
    size_t fullLength = 0;
    ASSERT_EQ(devlink::GetDeviceIdField(silent, id, "MODEL", model, 255, fullLength), 0);
    EXPECT_EQ(model, "Quorvex K600");
    ASSERT_EQ(devlink::GetDeviceIdField(silent, id, "MODEL", model, 4, fullLength), 0);
    EXPECT_EQ(model, "Quor");
    EXPECT_EQ(fullLength, 12u);
    EXPECT_EQ(devlink::GetDeviceIdField(silent, id, "SERIAL", model, 255, fullLength), 1);
    EXPECT_EQ(devlink::CustomPortName("Quorvex K600", "AB12CD"), "usb-quorvex_k600(ab12cd)");
    EXPECT_EQ(devlink::CustomPortName("Quorvex K600", ""), "usb-quorvex_k600");
    for (const char* recognised :
         {"MFG:Quorvex;", "CMD:QNPAP;", "CMD:PCL, NPAP;", "CMD:PCL, NPAP,PS;", "x cpdnpa00"}) {
        EXPECT_TRUE(devlink::IsRecognizedPrinter(recognised)) << recognised;
    }
    for (const char* other : {"MFG:quorvex;", "CMD:NPAP;", "CMD:PCL;"}) {
        EXPECT_FALSE(devlink::IsRecognizedPrinter(other)) << other;
    }
}

TEST_F(UsbTransportTest, RepliesArriveWholeWhateverTheChunking) {
    const Bytes request = testsupport::ReadAllRequest(KELVARO_MODEL_FILE);
    manager.SetResponseWaitTimeout(20000);  // one byte a read takes a while under the sanitizers
    struct Case {
        size_t chunkSize;
        bool randomSplits;
        size_t continuedSplit;
    } cases[] = {{32, false, 0}, {1, false, 0},    {7, false, 0},
                 {32, true, 0},  {32, false, 100}, {5, true, 61}};
    for (const Case& c : cases) {
        sim::SimHost caseHost;
        sim::SimOptions options = Options();
        options.chunkSize = c.chunkSize;
        options.randomSplits = c.randomSplits;
        options.continuedSplit = c.continuedSplit;
        sim::SimulatedPrinter* printer = caseHost.AddUsbPrinter(options);
        ASSERT_NE(printer, nullptr);
        ASSERT_EQ(Open("USB001"), SLC_OK);
        Bytes reply;
        ASSERT_EQ(Send("USB001", request, reply), SLC_OK) << "chunk " << c.chunkSize;
        EXPECT_GT(reply.size(), 2048u);
        EXPECT_EQ(reply[4], 0xE0);
        EXPECT_EQ(reply[5], 0xB2);
        EXPECT_EQ(devlink::npa::PacketLength(reply), reply.size());
        EXPECT_EQ(reply[3] & devlink::npa::kFlagContinuation, 0);
        if (c.continuedSplit == 0) {
            EXPECT_EQ(reply, LastSent(*printer));
        }
        // The next exchange is not disturbed by anything left over.
        ASSERT_EQ(Send("USB001", kIdentityQuery, reply), SLC_OK);
        EXPECT_EQ(reply, LastSent(*printer));
        manager.ClosePort("USB001");
    }
}

TEST_F(UsbTransportTest, EveryCommandIsPrecededByTheStartPacket) {
    sim::SimulatedPrinter& printer = AddPrinter();
    ASSERT_EQ(Open("USB001"), SLC_OK);
    Bytes reply;
    ASSERT_EQ(Send("USB001", kIdentityQuery, reply), SLC_OK);
    ASSERT_EQ(Send("USB001", kPortListQuery, reply), SLC_OK);
    std::vector<Bytes> received;
    for (const sim::TranscriptEntry& entry : printer.Transcript()) {
        if (entry.direction == sim::Direction::In) {
            received.push_back(entry.bytes);
        }
    }
    const Bytes start(devlink::npa::kNpaStart.begin(), devlink::npa::kNpaStart.end());
    EXPECT_EQ(received, (std::vector<Bytes>{start, kIdentityQuery, start, kPortListQuery}));
}

TEST_F(UsbTransportTest, FaultsGiveTheirResultCodes) {
    struct Case {
        const char* name;
        sim::FaultAction action;
        uint32_t amount;
        size_t capacity;
        int expected;
    } cases[] = {
        {"no answer", sim::FaultAction::Silent, 0, 64, SLC_SEND_READFAIL},
        {"answer after the time-out", sim::FaultAction::Delay, 2 * kShortWait, 64, SLC_SEND_READFAIL},
        {"command error is tossed", sim::FaultAction::CommandError, 0, 64, SLC_SEND_READFAIL},
        {"reply larger than the buffer", sim::FaultAction::Delay, 0, 8, SLC_SEND_RESPTOOLARGE},
        {"garbage before the reply", sim::FaultAction::Garbage, 7, 64, SLC_OK},
        {"alert of no interest first", sim::FaultAction::AlertBefore, 0xFF, 64, SLC_OK},
    };
    for (const Case& c : cases) {
        sim::SimHost caseHost;
        sim::SimOptions options = Options();
        options.faults = {{sim::Request::Identity, 1, c.action, c.amount}};
        ASSERT_NE(caseHost.AddUsbPrinter(options), nullptr);
        ASSERT_EQ(Open("USB001"), SLC_OK);
        Bytes reply;
        EXPECT_EQ(Send("USB001", kIdentityQuery, reply, c.capacity), c.expected) << c.name;
        if (c.expected == SLC_OK) {
            EXPECT_GE(reply.size(), 10u) << c.name;
            EXPECT_EQ(reply[4], 0xE0) << c.name;
        }
        manager.ClosePort("USB001");
    }
}

TEST_F(UsbTransportTest, OfflineAndOnlineInBothOrders) {
    struct Case {
        const char* name;
        sim::OfflineOrder order;
        bool reject;
        int expected;
    } cases[] = {
        {"reply first", sim::OfflineOrder::ReplyFirst, false, SLC_OK},
        {"alert first", sim::OfflineOrder::AlertFirst, false, SLC_OK},
        {"reply first, rejected", sim::OfflineOrder::ReplyFirst, true, SLC_OFFLINE_REJECTED},
        {"alert first, rejected", sim::OfflineOrder::AlertFirst, true, SLC_OFFLINE_REJECTED},
    };
    for (const Case& c : cases) {
        for (uint8_t offline : {uint8_t{1}, uint8_t{0}}) {
            sim::SimHost caseHost;
            sim::SimOptions options = Options();
            options.offlineOrder = c.order;
            if (c.reject) {
                options.faults = {
                    {offline ? sim::Request::Offline : sim::Request::Online, 0, sim::FaultAction::Reject, 0}};
            }
            sim::SimulatedPrinter* printer = caseHost.AddUsbPrinter(options);
            ASSERT_NE(printer, nullptr);
            ASSERT_EQ(Open("USB001"), SLC_OK);
            EXPECT_EQ(manager.Offline("USB001", offline), c.expected)
                << c.name << (offline ? " offline" : " online");
            // A rejection leaves the alert registration in place; success takes it away again.
            EXPECT_EQ(printer->AlertsRegistered(), c.expected != SLC_OK) << c.name;
            manager.ClosePort("USB001");
        }
    }
}

TEST_F(UsbTransportTest, UnsolicitedAlertsFillTheSlotsAndTheFourthIsDropped) {
    sim::SimulatedPrinter& printer = AddPrinter();
    ASSERT_EQ(Open("USB001"), SLC_OK);
    Bytes reply;
    ASSERT_EQ(Send("USB001", kIdentityQuery, reply), SLC_OK);  // the reader runs from the first wait
    log.SetLevel(devlink::kLogSteps);
    for (uint8_t status = 1; status <= 4; ++status) {
        printer.SendAlert(0xF3, status);
    }
    // The fourth alert is dropped once the reader has taken it in; wait for the reader to say so.
    const std::string logPath = root.Path() + "/var/tmp/QvxSlc32.log";
    bool dropped = false;
    for (int tries = 0; tries < 500 && !dropped; ++tries) {
        std::ifstream in(logPath);
        std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        dropped = text.find("every slot is full") != std::string::npos;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(dropped);
    log.SetLevel(0);
    for (uint8_t status = 1; status <= 3; ++status) {
        Bytes alert(64);
        uint32_t length = 64;
        ASSERT_EQ(
            transport->Reader().GetResponse(manager.UsbDevicePath(), alert.data(), &length, 0, kShortWait),
            0);
        alert.resize(length);
        EXPECT_EQ(alert[4], 0xF3);
        EXPECT_EQ(alert.back(), status) << "alerts are handed over oldest first";
    }
    uint32_t length = 64;
    Bytes none(64);
    EXPECT_EQ(transport->Reader().GetResponse(manager.UsbDevicePath(), none.data(), &length, 0, kShortWait),
              SLC_SEND_READFAIL);
}

TEST_F(UsbTransportTest, UnpluggedPrinterFailsWithoutHanging) {
    sim::SimOptions options = Options();
    options.faults = {{sim::Request::PortList, 1, sim::FaultAction::Vanish, 0}};
    AddPrinter(options);
    ASSERT_EQ(Open("USB001"), SLC_OK);
    Bytes reply;
    ASSERT_EQ(Send("USB001", kIdentityQuery, reply), SLC_OK);
    EXPECT_NE(Send("USB001", kPortListQuery, reply), SLC_OK);
    EXPECT_NE(Send("USB001", kIdentityQuery, reply), SLC_OK);
    EXPECT_EQ(manager.ClosePort("USB001"), SLC_OK);
    EXPECT_EQ(Open("USB001"), SLC_OPEN_FAIL);
}

TEST_F(UsbTransportTest, ClosingThePortEndsTheReaderBlockedInItsRead) {
    AddPrinter();
    ASSERT_EQ(Open("USB001"), SLC_OK);
    Bytes reply;
    ASSERT_EQ(Send("USB001", kIdentityQuery, reply), SLC_OK);
    EXPECT_TRUE(transport->Reader().ThreadRunning());
    manager.ClosePort("USB001");
    EXPECT_FALSE(transport->Reader().ThreadRunning());
}

TEST_F(UsbTransportTest, NoMoreThanOneDescriptorIsEverOpenOnTheDevice) {
    sim::SimulatedPrinter& printer = AddPrinter();
    std::atomic<bool> done{false};
    std::atomic<int> most{0};
    std::thread sampler([&] {
        while (!done.load()) {
            most.store(std::max(most.load(), printer.HostDescriptorCount()));
        }
    });
    ASSERT_EQ(Open("USB001"), SLC_OK);
    Bytes reply;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Send("USB001", kIdentityQuery, reply), SLC_OK);
        EXPECT_EQ(manager.Offline("USB001", 1), SLC_OK);
        EXPECT_EQ(manager.Offline("USB001", 0), SLC_OK);
    }
    manager.ClosePort("USB001");
    done.store(true);
    sampler.join();
    EXPECT_EQ(most.load(), 1);
    EXPECT_EQ(printer.HostDescriptorCount(), 0);
}

}  // namespace
