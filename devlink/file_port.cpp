#include "devlink/file_port.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>

#include "devlink/npa_packet.h"
#include "devlink/slc.h"
#include "platform/paths.h"

namespace devlink {

namespace {

struct WriteOutcome {
    size_t written = 0;
    int error = 0;  // errno of the failed call; 0 when all went out
};

// A short write is retried, so a record counts as written only when every byte went out.
WriteOutcome WriteAll(IRecordSink& sink, const uint8_t* data, size_t size) {
    WriteOutcome outcome;
    while (outcome.written < size) {
        const ssize_t n = sink.Write(data + outcome.written, size - outcome.written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            outcome.error = n < 0 ? errno : EIO;
            break;
        }
        outcome.written += static_cast<size_t>(n);
    }
    return outcome;
}

int WriteFd(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n < 0 ? errno : EIO;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

}  // namespace

CPortFile::~CPortFile() {
    Close();
}

int CPortFile::Open(const std::string& path, bool emptyFirst) {
    Close();
    const int flags = O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | (emptyFirst ? O_TRUNC : 0);
    fd_ = open(path.c_str(), flags, 0666);
    return fd_ < 0 ? errno : 0;
}

void CPortFile::Close() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
}

ssize_t CPortFile::Write(const uint8_t* data, size_t size) {
    return write(fd_, data, size);
}

int SendNPAStart(IRecordSink& sink) {
    return WriteAll(sink, npa::kNpaStart.data(), npa::kNpaStart.size()).error == 0 ? 0 : -1;
}

int FileSendCommand(const CSlcLog& log, IRecordSink& port, const uint8_t* command, uint32_t length,
                    uint32_t* replyLength) {
    const size_t size = length & 0xFFFF;
    if (size > npa::kMaxCommandSize) {
        log.Log(kLogSteps, "FileSendCommand(): command too large!\n");
        return SLC_SEND_TOOLARGE;
    }
    uint8_t record[npa::kMaxCommandSize];
    std::copy_n(command, size, record);
    if (size > npa::kFlagsOffset && (record[npa::kFlagsOffset] & npa::kFlagResponseRequested) != 0) {
        log.Log(kLogSteps, "FileSendCommand(): response requested, tweaking command buffer\n");
        npa::ClearResponseRequested({record, size});
    }
    if (const int start = SendNPAStart(port); start != 0) {
        log.Log(kLogSteps, "SendNPAStart() returned %d\n", start);
        return SLC_SEND_WRITEFAIL;
    }
    const WriteOutcome outcome = WriteAll(port, record, size);
    if (outcome.error == 0) {
        log.Log(kLogSteps, "Successfully wrote %d bytes\n", static_cast<int>(outcome.written));
        return SLC_OK;
    }
    if (outcome.written > 0) {
        log.Log(kLogSteps, "FileSendCommand(): Error %d, but wrote %d bytes\n", outcome.error,
                static_cast<int>(outcome.written));
    }
    if (replyLength) {
        *replyLength = 0;
    }
    return SLC_SEND_WRITEFAIL;
}

int FileOffline(const CSlcLog& log, IRecordSink& file, uint8_t offline) {
    if (const int start = SendNPAStart(file); start != 0) {
        log.Log(kLogSteps, "SendNPAStart() returned %d\n", start);
        return SLC_OFFLINE_WRITEFAIL;
    }
    const auto& record = offline ? npa::kOfflineRecord : npa::kOnlineRecord;
    const WriteOutcome outcome = WriteAll(file, record.data(), record.size());
    if (outcome.error == 0) {
        log.Log(kLogSteps, "FileOffline(): Successfully wrote %d bytes\n", static_cast<int>(outcome.written));
        return SLC_OK;
    }
    if (outcome.written > 0) {
        log.Log(kLogSteps, "FileOffline(): Error %d, but wrote %d bytes\n", outcome.error,
                static_cast<int>(outcome.written));
    }
    return SLC_OFFLINE_WRITEFAIL;
}

std::string SpoolFileName(const std::string& tempFolder, const std::string& portName, uint32_t unique) {
    char number[16];
    snprintf(number, sizeof number, "%X", unique);
    return tempFolder + "/" + portName.substr(0, 3) + number + ".TMP";
}

std::string OfflineFileBeside(const std::string& path) {
    const size_t slash = path.rfind('/');
    return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "offline.npa";
}

std::string ParallelDevicePath(const std::string& portName) {
    unsigned number = 0;
    const char* first = portName.data() + std::min<size_t>(3, portName.size());
    const char* last = portName.data() + portName.size();
    const auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc() || end != last || number == 0) {
        return {};
    }
    return platform::HostPath("/dev/lp" + std::to_string(number - 1));
}

int CopyFileToPort(const std::string& file, const std::string& portName) {
    const std::string device = ParallelDevicePath(portName);
    if (device.empty()) {
        return ENOENT;
    }
    const int source = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0) {
        return errno;
    }
    // O_APPEND: a device ignores it, and a regular file standing in for the port keeps both copies.
    const int port = open(device.c_str(), O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC);
    int error = port < 0 ? errno : 0;
    uint8_t buffer[4096];
    while (error == 0) {
        const ssize_t n = read(source, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = n < 0 ? errno : 0;
            break;
        }
        error = WriteFd(port, buffer, static_cast<size_t>(n));
    }
    if (port >= 0) {
        close(port);
    }
    close(source);
    return error;
}

void ParQuorvexDosPort(const CSlcLog& log, const std::string& portName) {
    log.Log(kLogSteps, "ParQuorvexDosPort(xxx, %s)\n", portName.c_str());
}

}  // namespace devlink
