#include "usbprobe/npa_test.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <vector>

#include "usbprobe/bounded_task.h"
#include "usbprobe/hex_format.h"
#include "usbprobe/host_path.h"
#include "usbprobe/npa_script.h"
#include "usbprobe/transfer.h"
#include "usbprobe/usb_device.h"

namespace usbprobe {

namespace {

// A test file is a short script; anything larger is refused rather than read into memory.
constexpr off_t kMaxScriptSize = 16 * 1024 * 1024;
constexpr size_t kReplyCapacity = 64;
constexpr char kBadHex[] = "\nError: Not a valid hexidecimal string\n";

bool LoadScript(std::FILE* out, const std::string& path, std::string& text) {
    const int fd = open(UnderRoot(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(out, "The file, %s, cannot be opened\n", path.c_str());
        return false;
    }
    struct stat info {};
    bool ok = false;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        std::fprintf(out, "Could not determine file size.\n");
    } else if (info.st_size > kMaxScriptSize) {
        std::fprintf(out, "Could not allocate memory.\n");
    } else {
        text.resize(static_cast<size_t>(info.st_size));
        ok = read(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        if (!ok) {
            std::fprintf(out, "Error reading file.\n");
        }
    }
    close(fd);
    return ok;
}

std::string TrimmedRight(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.pop_back();
    }
    return text;
}

// Waits for one key: without line editing when stdin is a terminal; end of input goes on at once.
void WaitForKey() {
    termios saved{};
    const bool terminal = isatty(STDIN_FILENO) != 0 && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios raw = saved;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    }
    char key = 0;
    while (read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
    }
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    }
}

class CNpaRun {
  public:
    CNpaRun(std::FILE* out, CUsbDevice& device, const WaitBound& bound, const std::string& resultsPath)
        : out_(out), device_(device), bound_(bound), resultsPath_(resultsPath) {}

    void Directive(char letter, const std::string& argument);

  private:
    void Command(const std::string& text);
    void Prompt(const std::string& text);
    void Response(const std::string& expected);
    void CheckResponse(const std::string& expected, const std::vector<PatternEntry>& pattern,
                       CCancelToken& token);
    void WriteResult(std::FILE* results, const std::string& expected, bool passed, const uint8_t* reply,
                     size_t count);

    std::FILE* out_;
    CUsbDevice& device_;
    const WaitBound& bound_;
    std::string resultsPath_;
    std::string testName_;
    bool headerWritten_ = false;
};

void CNpaRun::Directive(char letter, const std::string& argument) {
    switch (letter) {
        case '#':
            testName_ = argument;
            break;
        case 'C':
        case 'c':
            Command(TrimmedRight(argument));
            break;
        case 'F':
        case 'f':
            SendFile(out_, device_, TrimmedRight(argument), nullptr);
            break;
        case 'P':
        case 'p':
            Prompt(argument);
            break;
        default:
            Response(TrimmedRight(argument));
            break;
    }
}

void CNpaRun::Command(const std::string& text) {
    std::vector<uint8_t> bytes;
    if (!ParseHexBytes(text, bytes)) {
        std::fprintf(out_, "%s", kBadHex);
        return;
    }
    SendBytes(out_, device_, bytes.data(), bytes.size());
}

void CNpaRun::Prompt(const std::string& text) {
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
    WaitForKey();
}

void CNpaRun::Response(const std::string& expected) {
    std::vector<PatternEntry> pattern;
    if (!ParsePattern(expected, pattern)) {
        std::fprintf(out_, "%s", kBadHex);
        return;
    }
    const bool finished =
        RunBounded([&](CCancelToken& token) { CheckResponse(expected, pattern, token); }, bound_);
    if (!finished) {
        std::fprintf(out_, "Printer had no data to return.\n");
    }
}

void CNpaRun::CheckResponse(const std::string& expected, const std::vector<PatternEntry>& pattern,
                            CCancelToken& token) {
    std::FILE* results = std::fopen(UnderRoot(resultsPath_).c_str(), "a");
    if (results == nullptr) {
        if (token.Claim()) {
            std::fprintf(out_, "\nFile could not be opened!\n");
        }
        return;
    }
    uint8_t reply[kReplyCapacity] = {};
    size_t got = 0;
    if (OpenPipe(out_, device_)) {
        const int error = ReadReply(out_, device_, reply, kReplyCapacity, got, token);
        if (error == kErrorCancelled) {
            std::fclose(results);
            return;
        }
        if (error == 0) {
            std::fprintf(out_, "Received %d bytes.\n", static_cast<int>(got));
            HexDump(out_, reply, got);
            std::fprintf(out_, "\n");
        }
    } else if (!token.Claim()) {
        std::fclose(results);
        return;
    }
    WriteResult(results, expected, MatchResponse(pattern, reply, got), reply, got);
    std::fclose(results);
}

void CNpaRun::WriteResult(std::FILE* results, const std::string& expected, bool passed, const uint8_t* reply,
                          size_t count) {
    if (!headerWritten_) {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        std::fprintf(results, "%s", ResultsHeader(local).c_str());
        headerWritten_ = true;
    }
    if (passed) {
        std::fprintf(results, "\nTest Passed:\t\t%s", testName_.c_str());
        return;
    }
    std::fprintf(results, "\nTEST FAILED:\t\t%s\n", testName_.c_str());
    std::fprintf(results, "Expected: %s \n", expected.c_str());
    std::fprintf(results, "received: %s \n", HexText(reply, count).c_str());
}

}  // namespace

void RunNpaTest(std::FILE* out, CUsbDevice& device, const WaitBound& bound, const std::string& inputPath,
                const std::string& resultsPath) {
    std::string text;
    if (!LoadScript(out, inputPath, text)) {
        return;
    }
    CNpaRun run(out, device, bound, resultsPath);
    ScanScript(text, [&](char letter, const std::string& argument) { run.Directive(letter, argument); });
}

}  // namespace usbprobe
