#include "sim/sim_host.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/registry.h"
#include "tests/sim/sim_test_support.h"

namespace {

namespace fs = std::filesystem;
using simtest::Bytes;

const Bytes kIdentityQuery = {0xA5, 0x00, 0x06, 0x50, 0xE0, 0xEB, 0x00, 0x00, 0xB2};

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class SimHostTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/kelvaro-sim-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        root_ = pattern;
        setenv("KELVARO_ROOT", root_.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("KELVARO_ROOT");
        fs::remove_all(root_);
    }
    std::string root_;
};

TEST_F(SimHostTest, LaysOutUsblpPrintersAndTheirRegistryKeys) {
    {
        sim::SimHost host;
        sim::SimOptions first = simtest::FixtureOptions();
        sim::SimOptions second = simtest::FixtureOptions();
        second.serial = "";
        second.modelCode = '-';
        second.deviceId = "MFG:Quorvex;CMD:QNPAP;MODEL:Quorvex K600;";
        ASSERT_NE(nullptr, host.AddUsbPrinter(first));
        ASSERT_NE(nullptr, host.AddUsbPrinter(second));

        struct Row {
            size_t index;
            const char* port;
            const char* name;
            std::string deviceId;
            const char* serial;  // nullptr: no serial file
        };
        const Row rows[] = {
            {0, "USB001", "Quorvex K600", first.deviceId, "AB12CD\n"},
            {1, "USB002", "Quorvex K600 (Copy 1)", second.deviceId, nullptr},
        };
        for (const Row& row : rows) {
            std::string lp = root_ + "/sys/class/usbmisc/lp" + std::to_string(row.index);
            EXPECT_EQ(row.deviceId + "\n", ReadText(lp + "/device/ieee1284_id")) << row.port;
            fs::path usbDevice = fs::canonical(lp + "/device").parent_path();
            EXPECT_EQ(fs::canonical(host.UsbPrinters()[row.index].usbDevice), usbDevice);
            EXPECT_EQ(row.serial != nullptr, fs::exists(usbDevice / "serial")) << row.port;
            if (row.serial != nullptr) {
                EXPECT_EQ(row.serial, ReadText(usbDevice / "serial"));
            }
            EXPECT_EQ("1a2b\n", ReadText(usbDevice / "idVendor"));
            EXPECT_EQ("0003\n", ReadText(usbDevice / "idProduct"));
            EXPECT_EQ("Quorvex\n", ReadText(usbDevice / "manufacturer"));
            EXPECT_EQ("Quorvex K600\n", ReadText(usbDevice / "product"));
            std::string node = root_ + "/dev/usb/lp" + std::to_string(row.index);
            EXPECT_EQ(host.UsbPrinters()[row.index].printer->SlavePath(), fs::read_symlink(node).string());

            platform::RegistryKey key;
            ASSERT_EQ(platform::RegResult::Ok,
                      platform::RegistryKey::Open(std::string(sim::kPrintersKey) + "\\" + row.name,
                                                  platform::RegAccess::Read, key))
                << row.name;
            EXPECT_EQ("Quorvex K600 PS3", key.ReadString("Printer Driver").value_or(""));
            EXPECT_EQ(row.port, key.ReadString("Port").value_or(""));
            EXPECT_EQ(row.name, key.ReadString("Name").value_or(""));
        }

        simtest::HostLink second_link(root_ + "/dev/usb/lp1");
        second_link.Command(kIdentityQuery);
        EXPECT_EQ('-', second_link.ReadPacket().at(9));
    }
    EXPECT_TRUE(fs::is_empty(root_)) << "the host leaves its root as it found it";
}

TEST_F(SimHostTest, DescriptorsFileHoldsAPrinterInterfaceWithTwoBulkEndpoints) {
    sim::SimHost host;
    ASSERT_NE(nullptr, host.AddUsbPrinter(simtest::FixtureOptions()));
    std::string text = ReadText(host.UsbPrinters()[0].usbDevice + "/descriptors");
    Bytes expected = {
        0x12, 0x01, 0x00, 0x02,                    // device descriptor: length, type, bcdUSB 2.00
        0x00, 0x00, 0x00, 0x40,                    // class per interface, max packet 64
        0x2B, 0x1A, 0x03, 0x00,                    // idVendor 1a2b, idProduct 0003 (LE)
        0x00, 0x01, 0x01, 0x02, 0x03, 0x01,        // bcdDevice, strings, serial string, one configuration
        0x09, 0x02, 0x20, 0x00,                    // configuration: total length 32
        0x01, 0x01, 0x00, 0x80, 0x32,              // one interface, value 1, bus powered, 100 mA
        0x09, 0x04, 0x00, 0x00, 0x02,              // interface 0, two endpoints
        0x07, 0x01, 0x02, 0x00,                    // printer class, subclass 1, protocol 2
        0x07, 0x05, 0x01, 0x02, 0x40, 0x00, 0x00,  // bulk OUT 0x01, 64 bytes
        0x07, 0x05, 0x82, 0x02, 0x40, 0x00, 0x00,  // bulk IN 0x82, 64 bytes
    };
    EXPECT_BYTES(expected, Bytes(text.begin(), text.end()));
}

TEST_F(SimHostTest, ParallelPrinterRecordsWhatIsWritten) {
    sim::SimHost host;
    std::string device = host.AddParallelPrinter(2, "Quorvex K600 PCL 6", "Office");
    ASSERT_EQ(root_ + "/dev/lp1", device);
    platform::RegistryKey key;
    ASSERT_EQ(platform::RegResult::Ok,
              platform::RegistryKey::Open(std::string(sim::kPrintersKey) + "\\Office",
                                          platform::RegAccess::Read, key));
    EXPECT_EQ("LPT2", key.ReadString("Port").value_or(""));
    std::ofstream(device, std::ios::binary | std::ios::app) << "A5";
    EXPECT_EQ("A5", sim::SimHost::ReadDevice(device));
}

TEST_F(SimHostTest, UnplugRemovesTheDeviceButNotTheRegistryKey) {
    sim::SimHost host;
    ASSERT_NE(nullptr, host.AddUsbPrinter(simtest::FixtureOptions()));
    simtest::HostLink link(root_ + "/dev/usb/lp0");
    host.Unplug(0);
    EXPECT_TRUE(link.HungUp());
    EXPECT_FALSE(fs::exists(fs::symlink_status(root_ + "/dev/usb/lp0")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(root_ + "/sys/class/usbmisc/lp0")));
    platform::RegistryKey key;
    EXPECT_EQ(platform::RegResult::Ok,
              platform::RegistryKey::Open(std::string(sim::kPrintersKey) + "\\Quorvex K600",
                                          platform::RegAccess::Read, key));
}

TEST_F(SimHostTest, VanishingPrinterTakesItsDeviceAlong) {
    sim::SimHost host;
    sim::SimOptions options = simtest::FixtureOptions();
    options.faults.push_back({sim::Request::Identity, 0, sim::FaultAction::Vanish, 0});
    ASSERT_NE(nullptr, host.AddUsbPrinter(options));
    simtest::HostLink link(root_ + "/dev/usb/lp0");
    link.Command(kIdentityQuery);
    EXPECT_TRUE(link.HungUp());
    EXPECT_FALSE(fs::exists(fs::symlink_status(root_ + "/dev/usb/lp0")));
}

TEST(SimHostWithoutRoot, RefusesTheRealRoot) {
    unsetenv("KELVARO_ROOT");
    sim::SimHost host;
    EXPECT_EQ(nullptr, host.AddUsbPrinter(simtest::FixtureOptions()));
    EXPECT_EQ("", host.AddParallelPrinter(1, "d", "n"));
}

// The executable as the demo runs it: prints its ports, answers through the node, tidies up when its
// standard input closes.
TEST_F(SimHostTest, ExecutableServesUntilStandardInputCloses) {
    std::string root = root_ + "/demo";
    int toChild[2];
    int fromChild[2];
    ASSERT_EQ(0, pipe(toChild));
    ASSERT_EQ(0, pipe(fromChild));
    pid_t child = fork();
    if (child == 0) {
        dup2(toChild[0], STDIN_FILENO);
        dup2(fromChild[1], STDOUT_FILENO);
        close(toChild[1]);
        close(fromChild[0]);
        execl(SIM_EXECUTABLE, "printer-sim", "--root", root.c_str(), "--model", SIM_FIXTURE_MODEL,
              "--printers", "2", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    std::string output;
    char buffer[256];
    while (output.find("USB002") == std::string::npos) {
        pollfd fd = {fromChild[0], POLLIN, 0};
        ssize_t got = poll(&fd, 1, static_cast<int>(simtest::kWaitMs)) > 0
                          ? read(fromChild[0], buffer, sizeof buffer)
                          : 0;
        if (got <= 0) {
            break;
        }
        output.append(buffer, static_cast<size_t>(got));
    }
    EXPECT_NE(std::string::npos, output.find("root: " + root + "\n")) << output;
    EXPECT_NE(std::string::npos, output.find("USB001 " + root + "/dev/usb/lp0")) << output;
    EXPECT_NE(std::string::npos,
              ReadText(root + "/sys/class/usbmisc/lp0/device/ieee1284_id").find("MODEL:Quorvex K600;"));
    {
        simtest::HostLink link(root + "/dev/usb/lp0");
        link.Command(kIdentityQuery);
        EXPECT_EQ('+', link.ReadPacket().at(9));
    }
    close(toChild[1]);
    int status = -1;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    close(fromChild[0]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(fs::exists(root));
}

}  // namespace
