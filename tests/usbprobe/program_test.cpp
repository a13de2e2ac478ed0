// The program run without a printer: its texts, its switches' argument rules and its bad-input messages.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/usbprobe/program_runner.h"

namespace usbprobe_test {
namespace {

const std::string kVersionText = "\nUSBPROBE Version 3.0 09/19/01\n\n";

const std::string kUsageText =
    "\nUSBPROBE Version 3.0 09/19/01\n"
    "\nUsage:"
    "  usbprobe /switches <file name>...\n\n"
    "    - file name is name of file to send to printer\n"
    "    - if file name is ommitted, read from printer\n\n"
    "  switches can be multiple combinations of the following:\n"
    "\ts  - Displays descriptors\n"
    "\td  - Displays Device ID\n"
    "\th  - Send a hex string to the printer\n"
    "\t     format: /h XX XX XX (up to 80 bytes)\n"
    "\tp  - Issues GET_PORT_STATUS request\n"
    "\ttr - Sets Read Timeout\n"
    "\ttw - Sets Write Timeout\n"
    "\t     format for setting timeout: /tx <timeout in milliseconds>\n"
    "\tr # - Reads port with # size packets, # must be nonzero\n"
    "\tw  - Reads from printer and writes data to file USBDATA.DAT\n"
    "\ti  - Send partial file Inclusive\n"
    "\t     format: /i <file name> <Start Byte> <Stop Byte>\n"
    "\t        (values in decimal, inclusive)\n"
    "\tn  - Process NPA test file\n"
    "\t     format: /n <NPA input file> <NPA test results file>\n"
    "\tv  - Displays version number\n";

const std::string kNoDevice = "Failed to GetUsbDeviceFileName\n";
const std::string kBadDigit = "\nError: Not a valid hexidecimal string\n";
const std::string kBadLength = "Incorrect format for hexidecimal string.\n";

struct NoPrinterCase {
    const char* name;
    std::vector<std::string> args;
    std::string output;
    int status;
};

void PrintTo(const NoPrinterCase& c, std::ostream* os) {
    *os << c.name;
}

class NoPrinterTest : public ::testing::TestWithParam<NoPrinterCase> {
  protected:
    void SetUp() override {
        WriteWholeFile(work_.File("data.bin"), "0123456789");
        WriteWholeFile(work_.File("dir/keep"), "");
    }

    ProgramSetup Setup() const {
        ProgramSetup setup;
        setup.root = root_.Path();
        setup.directory = work_.Path();
        return setup;
    }

    CTempDir root_;
    CTempDir work_;
};

TEST_P(NoPrinterTest, PrintsExactlyAndEndsWithItsStatus) {
    const NoPrinterCase& c = GetParam();
    const ProgramRun run = RunUsbprobe(Setup(), c.args);
    std::string expected = c.output;
    const std::string rootMark = "<root>";
    for (size_t at = expected.find(rootMark); at != std::string::npos; at = expected.find(rootMark)) {
        expected.replace(at, rootMark.size(), root_.Path());
    }
    EXPECT_EQ(run.output, expected);
    EXPECT_EQ(run.status, c.status);
}

const NoPrinterCase kNoPrinterCases[] = {
    {"Version", {"/v"}, kVersionText, 0},
    {"VersionDashUpperCase", {"-V"}, kVersionText, 0},
    {"UnknownSwitchShowsUsage", {"/x"}, kUsageText, 0},
    {"BareSlashShowsUsage", {"/"}, kUsageText, 0},
    {"TAloneShowsUsage", {"/t"}, kUsageText, 0},
    {"TWithOtherLetterShowsUsage", {"/tx"}, kUsageText, 0},
    {"RunGoesOnAfterUsage", {"/v", "/q", "/v"}, kVersionText + kUsageText + kVersionText, 0},
    {"ReadTimeoutWithoutValue", {"/tr"}, kUsageText, 0},
    {"WriteTimeoutFollowedBySwitch", {"/tw", "/v"}, kUsageText + kVersionText, 0},
    {"ReadTimeoutWithoutDevice",
     {"/tr", "100", "/v"},
     kNoDevice + "Failed to open USB device.\nFailed to set read timeout.\n",
     1},
    {"WriteTimeoutWithoutDevice",
     {"/tw", "100"},
     kNoDevice + "Failed to open USB device.\nFailed to set write timeout.\n",
     1},
    {"HexBadDigit", {"/h", "A5", "0G", "/v"}, kBadDigit, 0},
    {"HexLongArgument", {"/h", "A5", "123", "/v"}, kBadLength, 0},
    {"HexShortArgument", {"/h", "5"}, kBadLength, 0},
    {"HexBadDigitBeforeLongOne", {"/h", "G0", "123"}, kBadDigit, 0},
    {"PartialFileTooFewValues", {"/i", "data.bin", "3", "/v"}, kUsageText + kVersionText, 0},
    {"PartialFileStartNotBelowStop", {"/i", "data.bin", "5", "5"}, kUsageText, 0},
    {"PartialFileStartNotDecimal", {"/i", "data.bin", "0x1", "5"}, kUsageText, 0},
    {"NpaTestTooFewNames", {"/n", "in.npa"}, kUsageText, 0},
    {"NpaTestMissingInput", {"/n", "missing.npa", "out.txt"}, "The file, missing.npa, cannot be opened\n", 0},
    {"NpaTestInputIsDirectory", {"/n", "dir", "out.txt"}, "Could not determine file size.\n", 0},
    {"SendMissingFile", {"nothing.bin"}, "Failed to open 'nothing.bin' with error code 2\n\n", 0},
    {"SendFileWithoutDevice",
     {"data.bin", "/v"},
     kNoDevice + "Failed to open (<root>/dev/usb/lp0) = 19" + kVersionText,
     0},
    {"AbsolutePathIsASwitch", {"/data.bin"}, kNoDevice + "Failed to read from USB device\n", 0},
    {"ReadWithoutDevice", {}, kNoDevice + "Failed to open (<root>/dev/usb/lp0) = 19", 0},
    {"DescriptorsWithoutDevice", {"/s"}, kNoDevice + "Failed to open USB device.\n", 0},
    {"DeviceIdWithoutDevice", {"/d"}, kNoDevice + "Failed to read from USB device\n", 0},
    {"PortStatusWithoutDevice",
     {"/p", "/p"},
     kNoDevice + "Failed to open USB device.\nFailed to open USB device.\n",
     0},
};

INSTANTIATE_TEST_SUITE_P(Usbprobe, NoPrinterTest, ::testing::ValuesIn(kNoPrinterCases),
                         [](const ::testing::TestParamInfo<NoPrinterCase>& param) {
                             return param.param.name;
                         });

}  // namespace
}  // namespace usbprobe_test
