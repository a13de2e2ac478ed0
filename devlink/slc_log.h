#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <string>

namespace devlink {

// Categories of the trace log, bits of the LoggingLevel registry value.
constexpr uint32_t kLogEntry = 1;  // entry to the port manager's operations and their results
constexpr uint32_t kLogSteps = 2;  // steps of the transports and of the response reader
constexpr uint32_t kLogDump = 16;  // hex dumps of commands and replies, and their headings

constexpr size_t kMaxLogMessage = 1024;

// The device link's trace log. The file is opened for every message, so it is complete at any moment, and
// never through a symbolic link, since it lives in a folder that every user may write.
class CSlcLog {
  public:
    uint32_t Level() const { return level_.load(std::memory_order_relaxed); }
    void SetLevel(uint32_t level) { level_.store(level, std::memory_order_relaxed); }

    // One line "hh:mm:ss ticks: message\n" when the category is enabled; longer messages are cut.
    void Log(uint32_t category, const char* format, ...) const __attribute__((format(printf, 3, 4)));
    void LogV(uint32_t category, const char* format, va_list args) const
        __attribute__((format(printf, 3, 0)));
    // Lines of 16 bytes in hexadecimal and as characters, then an empty line; the count is taken modulo
    // 65536.
    void HexDump(const uint8_t* buffer, uint32_t count) const;
    void Empty() const;

    static std::string FilePath();

  private:
    void WriteLine(const char* message) const;

    std::atomic<uint32_t> level_{0};
};

// The log of the process-wide device link.
CSlcLog& ProcessLog();

}  // namespace devlink

void SlcLog(uint32_t category, const char* format, ...) __attribute__((format(printf, 2, 3)));
void SlcLogHexDump(const uint8_t* buffer, uint32_t count);
