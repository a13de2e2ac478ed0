#include "usbprobe/command_line.h"

#include <cctype>
#include <cstdint>

#include "usbprobe/descriptors.h"
#include "usbprobe/device_requests.h"
#include "usbprobe/hex_format.h"
#include "usbprobe/npa_test.h"
#include "usbprobe/transfer.h"
#include "usbprobe/usb_device.h"

namespace usbprobe {

namespace {

constexpr size_t kDefaultPacketSize = 128;
constexpr size_t kMaxHexBytes = 80;
constexpr int kContinue = -1;
// Large enough for any file offset, small enough that stop + 1 cannot wrap.
constexpr uint64_t kMaxDecimal = UINT64_C(1) << 62;

const char* const kUsageLines[] = {
    "\nUsage:",
    "  usbprobe /switches <file name>...\n\n",
    "    - file name is name of file to send to printer\n",
    "    - if file name is ommitted, read from printer\n\n",
    "  switches can be multiple combinations of the following:\n",
    "\ts  - Displays descriptors\n",
    "\td  - Displays Device ID\n",
    "\th  - Send a hex string to the printer\n",
    "\t     format: /h XX XX XX (up to 80 bytes)\n",
    "\tp  - Issues GET_PORT_STATUS request\n",
    "\ttr - Sets Read Timeout\n",
    "\ttw - Sets Write Timeout\n",
    "\t     format for setting timeout: /tx <timeout in milliseconds>\n",
    "\tr # - Reads port with # size packets, # must be nonzero\n",
    "\tw  - Reads from printer and writes data to file USBDATA.DAT\n",
    "\ti  - Send partial file Inclusive\n",
    "\t     format: /i <file name> <Start Byte> <Stop Byte>\n",
    "\t        (values in decimal, inclusive)\n",
    "\tn  - Process NPA test file\n",
    "\t     format: /n <NPA input file> <NPA test results file>\n",
    "\tv  - Displays version number\n",
};

bool IsSwitch(const std::string& arg) {
    return !arg.empty() && (arg[0] == '-' || arg[0] == '/');
}

bool ParseDecimal(const std::string& text, uint64_t& value) {
    if (text.empty() || text.size() > 19) {
        return false;
    }
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value <= kMaxDecimal;
}

class CCommandLine {
  public:
    CCommandLine(const std::vector<std::string>& args, ProbeContext& context) : args_(args), c_(context) {}

    int Run();

  private:
    int Switch(const std::string& arg);
    // The following arguments up to the next switch, at most limit of them; they are consumed.
    std::vector<std::string> Values(size_t limit);
    int HexString();
    int Timeout(bool read);
    void ReadPackets();
    void PartialFile();
    void NpaTest();

    const std::vector<std::string>& args_;
    ProbeContext& c_;
    size_t next_ = 0;
};

int CCommandLine::Run() {
    if (args_.empty()) {
        ReadFromPrinter(c_.out, c_.device, c_.bound, kDefaultPacketSize, false);
        return 0;
    }
    while (next_ < args_.size()) {
        const std::string& arg = args_[next_++];
        if (!IsSwitch(arg)) {
            SendFile(c_.out, c_.device, arg, nullptr);
            continue;
        }
        if (const int status = Switch(arg); status != kContinue) {
            return status;
        }
    }
    return 0;
}

int CCommandLine::Switch(const std::string& arg) {
    const char letter =
        arg.size() > 1 ? static_cast<char>(std::tolower(static_cast<unsigned char>(arg[1]))) : 0;
    const char second =
        arg.size() > 2 ? static_cast<char>(std::tolower(static_cast<unsigned char>(arg[2]))) : 0;
    switch (letter) {
        case 's':
            ShowDescriptors(c_.out, c_.device);
            return kContinue;
        case 'd':
            ShowDeviceId(c_.out, c_.device);
            return kContinue;
        case 'h':
            return HexString();
        case 'p':
            ShowPortStatus(c_.out, c_.device);
            return kContinue;
        case 't':
            if (second == 'r' || second == 'w') {
                return Timeout(second == 'r');
            }
            break;
        case 'r':
            ReadPackets();
            return kContinue;
        case 'w':
            Values(1);
            ReadFromPrinter(c_.out, c_.device, c_.bound, kDefaultPacketSize, true);
            return kContinue;
        case 'i':
            PartialFile();
            return kContinue;
        case 'n':
            NpaTest();
            return kContinue;
        case 'v':
            PrintVersion(c_.out);
            return kContinue;
        default:
            break;
    }
    PrintUsage(c_.out);
    return kContinue;
}

std::vector<std::string> CCommandLine::Values(size_t limit) {
    std::vector<std::string> values;
    while (values.size() < limit && next_ < args_.size() && !IsSwitch(args_[next_])) {
        values.push_back(args_[next_++]);
    }
    return values;
}

int CCommandLine::HexString() {
    const std::vector<std::string> values = Values(args_.size());
    std::vector<uint8_t> bytes;
    for (const std::string& value : values) {
        if (value.size() != 2) {
            std::fprintf(c_.out, "Incorrect format for hexidecimal string.\n");
            return 0;
        }
        if (HexDigit(value[0]) < 0 || HexDigit(value[1]) < 0) {
            std::fprintf(c_.out, "\nError: Not a valid hexidecimal string\n");
            return 0;
        }
        bytes.push_back(static_cast<uint8_t>(HexDigit(value[0]) << 4 | HexDigit(value[1])));
    }
    if (bytes.size() > kMaxHexBytes) {
        std::fprintf(c_.out, "\nError: Hexidecimal string must be 80 bytes or less\n");
        return kContinue;
    }
    SendBytes(c_.out, c_.device, bytes.data(), bytes.size());
    return kContinue;
}

int CCommandLine::Timeout(bool read) {
    const std::vector<std::string> values = Values(1);
    if (values.empty()) {
        PrintUsage(c_.out);
        return kContinue;
    }
    return SetTimeout(c_.out, c_.device, values[0], read) ? kContinue : 1;
}

void CCommandLine::ReadPackets() {
    const std::vector<std::string> values = Values(1);
    uint64_t size = 0;
    if (values.empty() || !ParseDecimal(values[0], size) || size == 0) {
        PrintUsage(c_.out);
        size = kDefaultPacketSize;
    }
    ReadFromPrinter(c_.out, c_.device, c_.bound, size > kBlockSize ? kBlockSize : static_cast<size_t>(size),
                    false);
}

void CCommandLine::PartialFile() {
    const std::vector<std::string> values = Values(3);
    ByteRange range;
    if (values.size() < 3 || !ParseDecimal(values[1], range.start) || !ParseDecimal(values[2], range.stop) ||
        range.start >= range.stop) {
        PrintUsage(c_.out);
        return;
    }
    SendFile(c_.out, c_.device, values[0], &range);
}

void CCommandLine::NpaTest() {
    const std::vector<std::string> values = Values(2);
    if (values.size() < 2) {
        PrintUsage(c_.out);
        return;
    }
    RunNpaTest(c_.out, c_.device, c_.bound, values[0], values[1]);
}

}  // namespace

void PrintVersion(std::FILE* out) {
    std::fprintf(out, "\nUSBPROBE %s\n\n", kVersion);
}

void PrintUsage(std::FILE* out) {
    std::fprintf(out, "\nUSBPROBE %s\n", kVersion);
    for (const char* line : kUsageLines) {
        std::fputs(line, out);
    }
}

int RunProbe(const std::vector<std::string>& args, ProbeContext& context) {
    return CCommandLine(args, context).Run();
}

}  // namespace usbprobe
