#include "devlink/slc_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "platform/clock.h"
#include "platform/paths.h"

namespace devlink {

namespace {

constexpr uint32_t kDumpBytesPerLine = 16;

}  // namespace

std::string CSlcLog::FilePath() {
    return platform::HostPath("/var/tmp/QvxSlc32.log");
}

void CSlcLog::Log(uint32_t category, const char* format, ...) const {
    va_list args;
    va_start(args, format);
    LogV(category, format, args);
    va_end(args);
}

void CSlcLog::LogV(uint32_t category, const char* format, va_list args) const {
    if ((category & Level()) == 0) {
        return;
    }
    char message[kMaxLogMessage + 1];
    vsnprintf(message, sizeof message, format, args);
    WriteLine(message);
}

void CSlcLog::WriteLine(const char* message) const {
    platform::IClock& clock = platform::Clock();
    const platform::TimeOfDay now = clock.Now();
    const long ticks = clock.TickCount();
    char time[16];
    snprintf(time, sizeof time, "%02d:%02d:%02d", now.hour % 100, now.minute % 100, now.second % 100);
    char tickText[24];
    snprintf(tickText, sizeof tickText, "%ld", ticks);
    const std::string line = std::string(time) + " " + tickText + ": " + message + "\n";

    const int fd = open(FilePath().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        return;
    }
    // One write per line keeps lines whole when the reader thread logs at the same time.
    [[maybe_unused]] const ssize_t written = write(fd, line.data(), line.size());
    close(fd);
}

void CSlcLog::HexDump(const uint8_t* buffer, uint32_t count) const {
    if ((Level() & kLogDump) == 0) {
        return;
    }
    const uint32_t total = buffer ? count % 65536 : 0;
    for (uint32_t start = 0; start < total; start += kDumpBytesPerLine) {
        std::string line;
        std::string text;
        for (uint32_t i = start; i < start + kDumpBytesPerLine; ++i) {
            if (i < total) {
                char hex[4];
                snprintf(hex, sizeof hex, "%02X ", buffer[i]);
                line += hex;
                text += (buffer[i] >= 0x20 && buffer[i] <= 0x7E) ? static_cast<char>(buffer[i]) : '.';
            } else {
                line += "   ";
            }
        }
        line += " | " + text;
        Log(kLogDump, "%s", line.c_str());
    }
    Log(kLogDump, "%s", "");
}

void CSlcLog::Empty() const {
    const int fd = open(FilePath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0) {
        close(fd);
    }
}

CSlcLog& ProcessLog() {
    static CSlcLog log;
    return log;
}

}  // namespace devlink

void SlcLog(uint32_t category, const char* format, ...) {
    va_list args;
    va_start(args, format);
    devlink::ProcessLog().LogV(category, format, args);
    va_end(args);
}

void SlcLogHexDump(const uint8_t* buffer, uint32_t count) {
    devlink::ProcessLog().HexDump(buffer, count);
}
