// The program against the simulated printer: what it sends, what it reads back and what it shows.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "sim/sim_host.h"
#include "tests/usbprobe/capture.h"
#include "tests/usbprobe/expected_descriptors.h"
#include "tests/usbprobe/printer_fixture.h"
#include "usbprobe/hex_format.h"

namespace usbprobe_test {
namespace {

const std::string kNoData = "Printer has no data to return.\n";
const std::string kThreadTimeout = "Printer had no data to return(thread timeout).\n";

// The simulated K600's reply to the identity command A5 00 03 10 E0 EB.
const std::vector<uint8_t> kIdentityReply = {
    0xA5, 0x00, 0x07,  // start, length
    0x00,              // flags
    0xE0, 0xEB,        // command, identity
    0x00, 0x00, 0xB2,  // fixed bytes
    0x2B,              // model code '+'
};

std::string Dump(const std::string& bytes) {
    CCapture capture;
    usbprobe::HexDump(capture.File(), reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return capture.Text();
}

class ProbeOnPrinter : public PrinterTest {
  protected:
    // Leaves the identity reply waiting for the next read.
    void AskIdentity() {
        ASSERT_EQ(Run({"/h", "A5", "00", "03", "10", "E0", "EB"}).output, "6 bytes transfered\n");
        ASSERT_TRUE(printer_->WaitForCommands(1, 20000));
    }
};

TEST_F(ProbeOnPrinter, HexStringThenDescriptors) {
    const ProgramRun run = Run({"/h", "A5", "00", "04", "50", "E0", "03", "40", "/s"});
    const std::string descriptors = sim::UsbDescriptors(true);
    const unsigned vendor = static_cast<uint8_t>(descriptors[8]) | static_cast<uint8_t>(descriptors[9]) << 8;
    const unsigned product = static_cast<uint8_t>(descriptors[10]) | static_cast<uint8_t>(descriptors[11])
                                                                         << 8;
    char ids[128];
    std::snprintf(ids, sizeof ids, "idVendor = 0x%x, decimal %u\nidProduct = 0x%x, decimal %u\n", vendor,
                  vendor, product, product);
    const std::string expected = std::string("7 bytes transfered\n") +
                                 "Dvice Desc request complete, fSuccess = 1 nBytes = 18 Error = 0 0\n"
                                 "\n===================\nUSB_DEVICE_DESCRIPTOR\n"
                                 "bLength = 0x12, decimal 18\n"
                                 "bDescriptorType = 0x1 ( USB_DEVICE_DESCRIPTOR_TYPE )\n"
                                 "bcdUSB = 0x200, decimal 512\n"
                                 "bDeviceClass = 0x0, decimal 0\n"
                                 "bDeviceProtocol = 0x0, decimal 0\n"
                                 "bMaxPacketSize = 0x40, decimal 64\n" +
                                 ids +
                                 "bcdDevice = 0x100, decimal 256\n"
                                 "iProduct = 0x2, decimal 2\n"
                                 "iSerialNumber = 0x3, decimal 3\n"
                                 "request complete, fSuccess = 1 nBytes = 32\n"
                                 "\n===================\nUSB_CONFIGURATION_DESCRIPTOR\n"
                                 "bLength = 0x9, decimal 9\n"
                                 "bDescriptorType = 0x2 ( USB_CONFIGURATION_DESCRIPTOR_TYPE )\n"
                                 "wTotalLength = 0x20, decimal 32\n"
                                 "bNumInterfaces = 0x1, decimal 1\n"
                                 "bConfigurationValue = 0x1, decimal 1\n"
                                 "iConfiguration = 0x0, decimal 0\n"
                                 "bmAttributes = 0x80 ( USB_CONFIG_BUS_POWERED )\n"
                                 "MaxPower = 0x32, decimal 50\n" +
                                 usbprobe_test::kInterface + usbprobe_test::kOutEndpoint +
                                 usbprobe_test::kInEndpoint;
    EXPECT_EQ(run.output, expected);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Received(7), Text({0xA5, 0x00, 0x04, 0x50, 0xE0, 0x03, 0x40}));
}

TEST_F(ProbeOnPrinter, BrokenDescriptorsFile) {
    const std::string file = host_->UsbPrinters()[0].usbDevice + "/descriptors";
    const std::string descriptors = sim::UsbDescriptors(true);

    WriteWholeFile(file, descriptors.substr(0, 10));
    std::string output = Run({"/s"}).output;
    EXPECT_EQ(output.substr(0, output.find('\n') + 1),
              "Dvice Desc request complete, fSuccess = 1 nBytes = 10 Error = 0 0\n");
    EXPECT_NE(output.find("idProduct = 0x0, decimal 0\n"), std::string::npos);  // past the data: zero
    EXPECT_EQ(output.substr(output.rfind("request complete")), "request complete, fSuccess = 0 nBytes = 0\n");

    std::string zeroLength = descriptors;
    zeroLength[18 + 9] = 0;  // the interface descriptor's length
    WriteWholeFile(file, zeroLength);
    output = Run({"/s"}).output;
    EXPECT_NE(output.find("MaxPower = 0x32, decimal 50\n"), std::string::npos);
    EXPECT_EQ(output.find("USB_INTERFACE_DESCRIPTOR #"), std::string::npos);

    std::filesystem::remove(file);
    output = Run({"/s"}).output;
    EXPECT_EQ(output.substr(0, output.find('\n') + 1),
              "Dvice Desc request complete, fSuccess = 0 nBytes = 0 Error = 2 0\n");
    EXPECT_EQ(output.substr(output.rfind("request complete")), "request complete, fSuccess = 0 nBytes = 0\n");
}

struct RefusedHexCase {
    const char* name;
    std::vector<std::string> args;
    std::string output;
};

TEST_F(ProbeOnPrinter, RefusedHexStringsSendNothing) {
    const std::vector<std::string> tooLong(81, "01");
    std::vector<std::string> tooLongThenVersion = {"/h"};
    tooLongThenVersion.insert(tooLongThenVersion.end(), tooLong.begin(), tooLong.end());
    tooLongThenVersion.push_back("/v");
    const RefusedHexCase kCases[] = {
        {"bad digit", {"/h", "A5", "0G", "/h", "01"}, "\nError: Not a valid hexidecimal string\n"},
        {"long pair", {"/h", "A5", "100", "/h", "01"}, "Incorrect format for hexidecimal string.\n"},
        {"81 bytes, the run goes on", tooLongThenVersion,
         "\nError: Hexidecimal string must be 80 bytes or less\n\nUSBPROBE Version 3.0 09/19/01\n\n"},
    };
    for (const RefusedHexCase& c : kCases) {
        const size_t before = Received(0).size();
        const ProgramRun run = Run(c.args);
        EXPECT_EQ(run.output, c.output) << c.name;
        EXPECT_EQ(run.status, 0) << c.name;
        EXPECT_EQ(ReceivedBeforeMarker(before), "") << c.name;
    }
}

TEST_F(ProbeOnPrinter, EightyBytesAreSent) {
    std::vector<std::string> args = {"/h"};
    for (int i = 0; i < 80; ++i) {
        args.push_back(i % 2 == 0 ? "0a" : "3C");
    }
    EXPECT_EQ(Run(args).output, "80 bytes transfered\n");
    std::string expected;
    for (int i = 0; i < 40; ++i) {
        expected += "\x0A\x3C";
    }
    EXPECT_EQ(Received(80), expected);
}

struct FileCase {
    const char* name;
    std::vector<std::string> args;
    size_t first;  // first byte of data.bin sent
    size_t count;  // bytes sent
};

TEST_F(ProbeOnPrinter, FilesAndRangesAcrossBlocks) {
    // 9000 bytes: two whole 4096-byte blocks and a short one. No 0xA5, so the printer sees no packet.
    std::string data(9000, '\0');
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>(i * 7 % 0xA0);
    }
    WriteWholeFile(WorkFile("data.bin"), data);
    const FileCase kCases[] = {
        {"block boundary", {"/i", "data.bin", "4090", "4100"}, 4090, 11},
        {"first bytes", {"/i", "data.bin", "0", "9"}, 0, 10},
        {"last of one block, first of the next", {"/I", "data.bin", "4095", "4096"}, 4095, 2},
        {"three blocks", {"/i", "data.bin", "100", "8500"}, 100, 8401},
        {"stop beyond the end", {"/i", "data.bin", "8990", "20000"}, 8990, 10},
        {"start beyond the end", {"/i", "data.bin", "9000", "9001"}, 9000, 0},
        {"whole file", {"data.bin"}, 0, 9000},
    };
    for (const FileCase& c : kCases) {
        const size_t before = Received(0).size();
        const ProgramRun run = Run(c.args);
        EXPECT_EQ(run.output, std::to_string(c.count) + " bytes transfered\n") << c.name;
        EXPECT_EQ(Received(before + c.count).substr(before), data.substr(c.first, c.count)) << c.name;
    }
    EXPECT_EQ(ReceivedBeforeMarker().size(), 9000u + 11 + 10 + 2 + 8401 + 10);
}

TEST_F(ProbeOnPrinter, FileOfWholeBlocksIsSentWhole) {
    const std::string data(8192, 'x');
    WriteWholeFile(WorkFile("blocks.bin"), data);
    EXPECT_EQ(Run({"blocks.bin"}).output, "8192 bytes transfered\n");
    EXPECT_EQ(Received(8192), data);
}

TEST_F(ProbeOnPrinter, ReadShowsTheReply) {
    AskIdentity();
    const std::string reply = Text(kIdentityReply);
    EXPECT_EQ(Run({"/r", "64"}).output, "Received 10 bytes.\n" + Dump(reply) + "\n");
    AskIdentity();
    EXPECT_EQ(Run({"/r", "4"}).output, "Received 4 bytes.\n" + Dump(reply.substr(0, 4)) + "\n");
    EXPECT_EQ(Run({}).output, "Received 6 bytes.\n" + Dump(reply.substr(4)) + "\n");
}

TEST_F(ProbeOnPrinter, ReadWithoutPacketSizeShowsUsageAndStillReads) {
    AskIdentity();
    const ProgramRun run = Run({"/r", "0"});
    const std::string usageEnd = "\tv  - Displays version number\n";
    ASSERT_NE(run.output.find(usageEnd), std::string::npos);
    EXPECT_EQ(run.output.substr(run.output.find(usageEnd) + usageEnd.size()),
              "Received 10 bytes.\n" + Dump(Text(kIdentityReply)) + "\n");
}

TEST_F(ProbeOnPrinter, ReadWithNothingToRead) {
    EXPECT_EQ(Run({"/r", "8"}, "1").output, kThreadTimeout);
    EXPECT_EQ(Run({"/tr", "5", "/r", "8"}).output, kNoData);
}

TEST_F(ProbeOnPrinter, WriteToDataFileStoresLineFeedsAsCrLf) {
    printer_->SendAlert(0x0A, 0x0A);  // an alert packet that holds two line feeds
    const ProgramRun run = Run({"/w", "x"});
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(ReadWholeFile(WorkFile("USBDATA.DAT")),
              Text({0xA5, 0x00, 0x06, 0x00, 0x0D, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x0A}));
    EXPECT_EQ(ReceivedBeforeMarker(), "");
}

TEST_F(ProbeOnPrinter, WriteToDataFileWithNothingToRead) {
    EXPECT_EQ(Run({"/w"}, "1").output, kThreadTimeout);
    EXPECT_FALSE(std::filesystem::exists(WorkFile("USBDATA.DAT")));
    EXPECT_EQ(Run({"/tr", "5", "/w"}).output, kNoData);
    ASSERT_TRUE(std::filesystem::exists(WorkFile("USBDATA.DAT")));
    EXPECT_EQ(ReadWholeFile(WorkFile("USBDATA.DAT")), "");
}

TEST_F(ProbeOnPrinter, DeviceIdComesFromSysfs) {
    const std::string id = printer_->Options().deviceId + "\n";
    EXPECT_EQ(Run({"-d"}).output, "Printer Device_Id request complete, fSuccess = 1 nBytes = " +
                                      std::to_string(id.size()) + "\n" + Dump(id));
}

TEST_F(ProbeOnPrinter, PortStatusRefusedByTheNodeIsReported) {
    EXPECT_EQ(Run({"/p"}).output, "Printer Port Status request complete, fSuccess = 0 nBytes = 0\n");
}

struct TimeoutCase {
    const char* name;
    std::vector<std::string> args;
    std::string output;
    int status;
};

TEST_F(ProbeOnPrinter, TimeoutValues) {
    const TimeoutCase kCases[] = {
        {"read, a number", {"/tr", "250", "/v"}, "\nUSBPROBE Version 3.0 09/19/01\n\n", 0},
        {"write, a number", {"/tw", "9999999", "/v"}, "\nUSBPROBE Version 3.0 09/19/01\n\n", 0},
        {"read, not a number", {"/tr", "fast", "/v"}, "Failed to set read timeout.\n", 1},
        {"write, not a number", {"/TW", "1e3"}, "Failed to set write timeout.\n", 1},
        {"write, too long for the request", {"/tw", "10000000"}, "Failed to set write timeout.\n", 1},
    };
    for (const TimeoutCase& c : kCases) {
        const ProgramRun run = Run(c.args);
        EXPECT_EQ(run.output, c.output) << c.name;
        EXPECT_EQ(run.status, c.status) << c.name;
    }
}

TEST_F(ProbeOnPrinter, WritesThatTimeOutAreRetriedThenGivenUp) {
    // A printer that stops taking bytes: the terminal's buffer fills and stays full.
    printer_->Stop();
    WriteWholeFile(WorkFile("big.bin"), std::string(1 << 20, 'p'));
    const ProgramRun run = Run({"/tw", "5", "big.bin", "/h", "01"});
    const std::regex expected(
        "WriteFile failed with error code 121 after Writing  ([0-9]+) bytes\n"
        "\\1 bytes transfered\n"
        "WriteFile timeout.  Retry 0\nWriteFile timeout.  Retry 1\nWriteFile timeout.  Retry 2\n"
        "WriteFile timeout.  Retry 3\nWriteFile timeout.  Retry 4\n");
    EXPECT_TRUE(std::regex_match(run.output, expected)) << run.output;
    EXPECT_EQ(run.status, 0);
}

TEST_F(ProbeOnPrinter, UnpluggedPrinterIsNotFound) {
    host_->Unplug(0);
    EXPECT_EQ(Run({"/s"}).output, "Failed to GetUsbDeviceFileName\nFailed to open USB device.\n");
}

}  // namespace
}  // namespace usbprobe_test
